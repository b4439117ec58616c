#pragma once

#include <cstddef>
#include <memory>

// Makes every file write beyond a size fail part way (EFBIG), for root as
// well: a full disk, staged. Windows has no per-process file size limit, so
// there the limit is not Supported() and does nothing.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(size_t bytes);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

    static bool Supported();

private:
    struct TSaved;
    std::unique_ptr<TSaved> m_saved;
};

// For GTEST_SKIP() where the limit is not supported.
inline constexpr const char* kNoFileSizeLimit
    = "Windows has no per-process file size limit to stage a full disk with";
