#include "packet/agwpe_deframer.h"

#include <QtEndian>

namespace packet {
namespace {

constexpr qsizetype kLengthOffset = 28;
constexpr qsizetype kCallSize = 10;

QByteArray callField(const char* field)
{
    qsizetype n = 0;
    while (n < kCallSize && field[n] != '\0')
        ++n;
    return QByteArray(field, n);
}

} // namespace

AgwpeFrame AgwpeDeframer::parseFrame(const char* bytes, quint32 dataLength)
{
    AgwpeFrame f;
    f.port = static_cast<quint8>(bytes[0]);
    f.kind = bytes[4];
    f.pid = static_cast<quint8>(bytes[6]);
    f.callFrom = callField(bytes + 8);
    f.callTo = callField(bytes + 18);
    f.data = QByteArray(bytes + AgwpeFrame::kHeaderSize, static_cast<qsizetype>(dataLength));
    return f;
}

QList<AgwpeFrame> AgwpeDeframer::feed(const QByteArray& data)
{
    QList<AgwpeFrame> frames;
    m_buffer.append(data);
    qsizetype pos = 0;
    while (m_buffer.size() - pos >= AgwpeFrame::kHeaderSize) {
        const char* header = m_buffer.constData() + pos;
        const quint32 length = qFromLittleEndian<quint32>(header + kLengthOffset);
        if (length > kMaxDataLength) {
            m_buffer.clear(); // out of step: start again with the next read
            return frames;
        }
        const qsizetype total = AgwpeFrame::kHeaderSize + static_cast<qsizetype>(length);
        if (m_buffer.size() - pos < total)
            break;
        frames.append(parseFrame(header, length));
        pos += total;
    }
    m_buffer.remove(0, pos);
    return frames;
}

} // namespace packet
