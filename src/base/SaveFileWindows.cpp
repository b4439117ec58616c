#include "base/SaveFile.h"

#include <windows.h>

#include <algorithm>
#include <random>

namespace {

std::string RandomLetters(size_t count)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random { std::random_device {}() };
    std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
    std::string letters;
    for (size_t i = 0; i < count; ++i) {
        letters += kLetters[pick(random)];
    }
    return letters;
}

} // namespace

// Opened without any sharing, so no other process can open or delete the
// file while it is being written. Windows cannot rename a file that is open
// this way, so it is closed just before the move.
struct TSaveFile::TImpl {
    HANDLE file = INVALID_HANDLE_VALUE;

    void Close()
    {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
        }
    }
};

TSaveFile::TSaveFile(const std::string& target)
    : m_target(target)
    , m_impl(std::make_unique<TImpl>())
{
    // CREATE_NEW never takes over an existing file; a name already taken
    // is retried with other letters.
    for (int attempt = 0; attempt < 100 && m_impl->file == INVALID_HANDLE_VALUE; ++attempt) {
        m_name = target + kSuffixStart + RandomLetters(kSuffixLetters);
        m_impl->file = CreateFileA(m_name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_impl->file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
}

TSaveFile::~TSaveFile()
{
    const bool created = m_impl->file != INVALID_HANDLE_VALUE;
    m_impl->Close();
    if (created && !m_committed) {
        DeleteFileA(m_name.c_str());
    }
}

bool TSaveFile::Valid() const
{
    return m_impl->file != INVALID_HANDLE_VALUE;
}

bool TSaveFile::Write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(m_impl->file, bytes.data() + done, chunk, &written, nullptr)) {
            return false;
        }
        done += written;
    }
    return true;
}

bool TSaveFile::Commit(unsigned, TDurability durability)
{
    // Windows has no permission bits to give beyond read-only, which a file
    // being saved never has.
    const bool durable = durability == TDurability::PowerCut;
    if (durable && !FlushFileBuffers(m_impl->file)) {
        return false;
    }
    m_impl->Close();
    // Write-through returns only once the move itself is on disk.
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (!MoveFileExA(m_name.c_str(), m_target.c_str(), flags)) {
        DeleteFileA(m_name.c_str());
        return false;
    }
    m_committed = true;
    return true;
}

bool RemoveIfAbandoned(const std::string& path)
{
    // A save in progress holds its file without sharing, so deleting it
    // fails; folders and links are never taken for a leftover.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES
        || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return false;
    }
    return DeleteFileA(path.c_str()) != 0;
}
