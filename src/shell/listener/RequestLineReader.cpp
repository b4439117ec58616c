#include "shell/listener/RequestLineReader.h"

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
    std::string line = m_buffer.substr(0, m_lineLength);
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return line;
}
