#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Collects the bytes of one request line: everything before the first zero
// byte, CR and LF included. Fed as bytes arrive; bytes after the zero byte
// are never looked at, so a second request on the connection is ignored.
class TRequestLineReader {
public:
    enum class TStatus { NeedMore, Complete, TooLong };

    static constexpr size_t kMaxRequestLine = 16384;

    explicit TRequestLineReader(size_t maxLine = kMaxRequestLine);

    // TooLong as soon as more than maxLine bytes stand before the first zero
    // byte, or have arrived without one.
    TStatus Feed(std::string_view bytes);

    TStatus Status() const { return m_status; }
    // True once any byte has arrived, zero bytes included.
    bool ReceivedAny() const { return m_receivedAny; }
    // The line without its zero byte; only meaningful after Complete.
    std::string TakeLine();

private:
    size_t m_maxLine;
    std::string m_buffer;
    size_t m_lineLength = 0;
    bool m_receivedAny = false;
    TStatus m_status = TStatus::NeedMore;
};
