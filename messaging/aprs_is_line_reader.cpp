#include "messaging/aprs_is_line_reader.h"

namespace messaging {

QList<QByteArray> AprsIsLineReader::feed(QByteArrayView bytes, QList<QByteArray>* comments)
{
    QList<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        if (!m_discarding) {
            m_partial += bytes.sliced(pos, end - pos);
            if (m_partial.size() > kMaxLineLength) {
                m_partial.clear();
                m_discarding = true;
            }
        }
        if (end == bytes.size())
            break;
        finishLine(lines, comments);
        pos = end + 1;
    }
    return lines;
}

void AprsIsLineReader::finishLine(QList<QByteArray>& out, QList<QByteArray>* comments)
{
    // A line holding NUL is no APRS-IS packet; passed on, the NUL would cut a record short.
    if (!m_discarding && !m_partial.isEmpty() && !m_partial.contains('\0')) {
        if (!m_partial.startsWith('#'))
            out.append(m_partial);
        else if (comments)
            comments->append(m_partial);
    }
    m_partial.clear();
    m_discarding = false;
}

void AprsIsLineReader::reset()
{
    m_partial.clear();
    m_discarding = false;
}

} // namespace messaging
