#pragma once

#include <string>

// Sets the process's file creation mask (umask) for its lifetime, as a shell
// or a desktop session would have it. Windows has neither the mask nor
// permission bits (a file takes its folder's rights), so there it is not
// Supported() and does nothing.
class TFileCreationMask {
public:
    explicit TFileCreationMask(unsigned mask);
    ~TFileCreationMask();
    TFileCreationMask(const TFileCreationMask&) = delete;
    TFileCreationMask& operator=(const TFileCreationMask&) = delete;

    static bool Supported();
    // A file's permission bits; 0 when it has none or is not there.
    static unsigned ModeOf(const std::string& path);

private:
    unsigned m_saved = 0;
};

// For GTEST_SKIP() where the mask is not supported.
inline constexpr const char* kNoFileCreationMask
    = "Windows has no umask and no permission bits: a file takes its folder's rights";
