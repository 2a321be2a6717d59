#include "packet/kiss_deframer.h"

#include "packet/kiss_codec.h"

namespace packet {

QList<QByteArray> KissDeframer::feed(const QByteArray& data)
{
    QList<QByteArray> frames;
    m_buffer.append(data);

    qsizetype start = m_buffer.indexOf(kFend);
    if (start < 0) {
        m_buffer.clear(); // no frame has started: noise
        return frames;
    }
    for (qsizetype end = m_buffer.indexOf(kFend, start + 1); end >= 0;
         end = m_buffer.indexOf(kFend, start + 1)) {
        // Bytes start+1 .. end-1: the command byte, then the frame.
        if (end - start > 2) {
            QByteArray frame = m_buffer.mid(start + 2, end - start - 2);
            if (frame.endsWith('\r'))
                frame.chop(1);
            if (!frame.isEmpty())
                frames.append(frame);
        }
        start = end;
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > kMaxPending)
        m_buffer.clear(); // runaway frame: resynchronise on the next FEND
    return frames;
}

} // namespace packet
