#include "position/nmea_reader.h"

namespace position {

QList<QByteArray> NmeaReader::feed(const QByteArray& bytes)
{
    QList<QByteArray> sentences;
    for (const char c : bytes) {
        if (c == '$') {
            // A new start abandons whatever partial sentence came before it.
            m_partial = QByteArray(1, '$');
            m_checksumLeft = -1;
            continue;
        }
        if (m_partial.isEmpty())
            continue; // between sentences
        if (c == '\r' || c == '\n') {
            sentences.append(m_partial);
            reset();
            continue;
        }
        if (m_partial.size() >= kMaxSentenceBytes) {
            reset(); // too long for a sentence: wait for the next "$"
            continue;
        }
        m_partial += c;
        if (m_checksumLeft > 0) {
            if (--m_checksumLeft == 0) {
                sentences.append(m_partial);
                reset();
            }
        } else if (c == '*') {
            m_checksumLeft = 2;
        }
    }
    return sentences;
}

void NmeaReader::reset()
{
    m_partial.clear();
    m_checksumLeft = -1;
}

} // namespace position
