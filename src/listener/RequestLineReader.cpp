#include "listener/RequestLineReader.h"

#include <utility>

TRequestLineReader::TRequestLineReader(size_t maxLine)
    : m_maxLine(maxLine)
{
}

TRequestLineReader::TStatus TRequestLineReader::Feed(std::string_view bytes)
{
    if (m_status != TStatus::NeedMore || bytes.empty()) {
        return m_status;
    }
    m_receivedAny = true;
    const size_t searchFrom = m_buffer.size();
    m_buffer.append(bytes);
    const size_t zero = m_buffer.find('\0', searchFrom);
    if (zero != std::string::npos) {
        m_lineLength = zero;
        m_status = zero > m_maxLine ? TStatus::TooLong : TStatus::Complete;
    } else if (m_buffer.size() > m_maxLine) {
        m_status = TStatus::TooLong;
    }
    return m_status;
}

std::string TRequestLineReader::TakeLine()
{
    // The buffer itself becomes the line; what came after the zero byte is
    // cut off unread.
    std::string line = std::exchange(m_buffer, std::string());
    line.resize(m_lineLength);
    return line;
}
