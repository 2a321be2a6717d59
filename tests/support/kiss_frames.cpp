#include "kiss_frames.h"

#include <QByteArrayList>

namespace testsupport {

namespace {
QByteArray ax25Address(const QByteArray& call, bool last, bool commandBit)
{
    const qsizetype dash = call.indexOf('-');
    const QByteArray base = (dash < 0 ? call : call.left(dash)).leftJustified(6, ' ');
    const int ssid = dash < 0 ? 0 : call.mid(dash + 1).toInt();
    QByteArray out;
    for (char c : base)
        out += static_cast<char>(c << 1);
    return out + static_cast<char>((commandBit ? 0xE0 : 0x60) | ssid << 1 | (last ? 1 : 0));
}
} // namespace

QByteArray kissUiFrame(const QByteArray& source, const QByteArray& destination, const QByteArray& path,
                       const QByteArray& info)
{
    const QByteArrayList hops = path.split(',');
    QByteArray frame = ax25Address(destination, false, true) + ax25Address(source, path.isEmpty(), false);
    for (qsizetype i = 0; !path.isEmpty() && i < hops.size(); ++i)
        frame += ax25Address(hops[i], i + 1 == hops.size(), false);
    frame += "\x03\xF0" + info;
    frame.replace("\xDB", "\xDB\xDD").replace("\xC0", "\xDB\xDC");
    return "\xC0" + QByteArray(1, '\0') + frame + "\xC0";
}

} // namespace testsupport
