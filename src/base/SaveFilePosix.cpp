#include "base/SaveFile.h"

#include "base/FileDescriptor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Makes the folder's entry for a file just renamed there durable; a
// file system that cannot sync folders has nothing more to do.
void SyncFolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const TFileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
        fsync(fd.get());
    }
}

} // namespace

// The lock is held until the descriptor closes, which is after the rename,
// so a program starting meanwhile can tell this file from a leftover.
struct TSaveFile::TImpl {
    TFileDescriptor fd;
};

TSaveFile::TSaveFile(const std::string& target)
    : m_target(target)
    , m_name(target + kSuffixStart + std::string(kSuffixLetters, 'X'))
    , m_impl(std::make_unique<TImpl>())
{
    m_impl->fd = TFileDescriptor(mkostemp(m_name.data(), O_CLOEXEC));
    if (m_impl->fd.Valid()) {
        flock(m_impl->fd.get(), LOCK_EX);
    }
}

TSaveFile::~TSaveFile()
{
    if (m_impl->fd.Valid() && !m_committed) {
        unlink(m_name.c_str());
    }
}

bool TSaveFile::Valid() const
{
    return m_impl->fd.Valid();
}

bool TSaveFile::Write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_impl->fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool TSaveFile::Commit(unsigned mode, TDurability durability)
{
    // Renamed while still open, so the lock covers the file until it has
    // its final name.
    const int fd = m_impl->fd.get();
    const bool durable = durability == TDurability::PowerCut;
    if (fchmod(fd, static_cast<mode_t>(mode)) != 0 || (durable && fsync(fd) != 0)
        || std::rename(m_name.c_str(), m_target.c_str()) != 0) {
        return false;
    }
    m_committed = true;
    // The data is on disk already, or need not be; closing can lose
    // nothing more.
    m_impl->fd = TFileDescriptor();
    if (durable) {
        SyncFolderOf(m_target);
    }
    return true;
}

bool RemoveIfAbandoned(const std::string& path)
{
    const TFileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    return fd.Valid() && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && flock(fd.get(), LOCK_EX | LOCK_NB) == 0
        && unlink(path.c_str()) == 0;
}
