#include "support/FileCreationMask.h"

TFileCreationMask::TFileCreationMask(unsigned) { }

TFileCreationMask::~TFileCreationMask() = default;

bool TFileCreationMask::Supported()
{
    return false;
}

unsigned TFileCreationMask::ModeOf(const std::string&)
{
    return 0;
}
