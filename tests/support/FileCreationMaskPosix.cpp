#include "support/FileCreationMask.h"

#include <sys/stat.h>

TFileCreationMask::TFileCreationMask(unsigned mask)
    : m_saved(umask(static_cast<mode_t>(mask)))
{
}

TFileCreationMask::~TFileCreationMask()
{
    umask(static_cast<mode_t>(m_saved));
}

bool TFileCreationMask::Supported()
{
    return true;
}

unsigned TFileCreationMask::ModeOf(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0;
}
