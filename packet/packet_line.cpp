#include "packet/packet_line.h"

namespace packet {

namespace {
bool breaksLine(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

/// Path entry without the "has been repeated" mark.
QByteArrayView withoutRepeatMark(QByteArrayView entry)
{
    return entry.endsWith('*') ? entry.chopped(1) : entry;
}

bool pathForbidsGating(QByteArrayView path)
{
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype comma = path.indexOf(',', start);
        if (comma < 0)
            comma = path.size();
        const QByteArrayView entry = withoutRepeatMark(path.sliced(start, comma - start));
        if (entry == QByteArrayView("NOGATE") || entry == QByteArrayView("RFONLY"))
            return true;
        start = comma + 1;
    }
    return false;
}
} // namespace

QByteArrayView withoutLineEnd(QByteArrayView packet)
{
    while (!packet.isEmpty() && (packet.back() == '\r' || packet.back() == '\n'))
        packet.chop(1);
    return packet;
}

bool isOneLine(QByteArrayView packet)
{
    for (const char c : withoutLineEnd(packet))
        if (breaksLine(c))
            return false;
    return true;
}

QByteArray escapedControlBytes(QByteArrayView packet)
{
    QByteArray out;
    out.reserve(packet.size());
    for (const char c : packet) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F) {
            out += "<0x";
            out += "0123456789ABCDEF"[u >> 4];
            out += "0123456789ABCDEF"[u & 15];
            out += '>';
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<QByteArray> igateLine(QByteArrayView rawPacket, QByteArrayView igateCall)
{
    const QByteArrayView packet = withoutLineEnd(rawPacket);
    if (igateCall.isEmpty() || !isOneLine(packet) || packet.size() > kMaxGatedPacketLength)
        return std::nullopt;
    const qsizetype gt = packet.indexOf('>');
    const qsizetype colon = packet.indexOf(':');
    if (gt <= 0 || colon < gt)
        return std::nullopt;
    const QByteArrayView info = packet.sliced(colon + 1);
    if (info.startsWith('}') || pathForbidsGating(packet.sliced(gt + 1, colon - gt - 1)))
        return std::nullopt;
    QByteArray line;
    line.reserve(packet.size() + igateCall.size() + 6);
    line += packet.first(colon);
    line += ",qAR,";
    line += igateCall;
    line += packet.sliced(colon);
    return line;
}

} // namespace packet
