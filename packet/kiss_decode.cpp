// Kiss::decode, unescape and substituteDigipeaterAlias: received frame -> packet text.
#include "packet/kiss_codec.h"

#include <QList>

namespace packet {
namespace {

constexpr qsizetype kBlock = 7;      // one address: 6 characters + SSID byte
constexpr qsizetype kFirstDigi = 14; // index of the first digipeater block
constexpr qsizetype kMaxDigis = 8;

int byteAt(const QByteArray& frame, qsizetype i)
{
    return static_cast<unsigned char>(frame[i]);
}

/// n / 2 rounded half to even (n may be negative).
int halveToEven(int n)
{
    const int floorHalf = (n - (n & 1)) / 2;
    if ((n & 1) == 0)
        return floorHalf;
    return (floorHalf % 2 == 0) ? floorHalf : floorHalf + 1;
}

/// The 6 shifted characters of the address at `offset`, trailing spaces removed.
QByteArray decodeCall(const QByteArray& frame, qsizetype offset)
{
    QByteArray call;
    call.reserve(6);
    for (qsizetype i = 0; i < 6; ++i)
        call.append(static_cast<char>(halveToEven(byteAt(frame, offset + i))));
    while (call.endsWith(' '))
        call.chop(1);
    return call;
}

/// The SSID of the address whose SSID byte is at `offset`: its 4 SSID bits (bits 1..4). The
/// C/H bit, the two reserved bits and the extension bit are not part of it, so any byte gives
/// 0..15.
int ssidAt(const QByteArray& frame, qsizetype offset)
{
    return (byteAt(frame, offset) >> 1) & 0x0F;
}

void appendSsid(QByteArray& text, int ssid)
{
    if (ssid > 0) {
        text.append('-');
        text.append(QByteArray::number(ssid));
    }
}

/// Index of the first `c` at or after `from`, accepted only at from + 7k, k = 0..8.
qsizetype findAligned(const QByteArray& frame, char c, qsizetype from)
{
    const qsizetype at = frame.indexOf(c, from);
    if (at < 0)
        return -1;
    const qsizetype offset = at - from;
    if (offset % kBlock != 0 || offset / kBlock > kMaxDigis)
        return -1;
    return at;
}

} // namespace

void Kiss::unescape(QByteArray& frame)
{
    if (!frame.contains(kFesc))
        return;
    QByteArray out;
    out.reserve(frame.size());
    for (qsizetype i = 0; i < frame.size(); ++i) {
        const char c = frame[i];
        if (c != kFesc) {
            out.append(c);
            continue;
        }
        if (++i >= frame.size())
            break; // a FESC as the last byte is dropped
        if (frame[i] == kTfend)
            out.append(kFend);
        else if (frame[i] == kTfesc)
            out.append(kFesc);
        // FESC followed by anything else: both bytes are dropped
    }
    frame = out;
}

void Kiss::substituteDigipeaterAlias(QByteArray& path, int& repeatCount, const QByteArray& alias,
                                     const QByteArray& ownCall)
{
    if (alias.isEmpty() || path.isEmpty())
        return;
    const QByteArray lead = path.left(1); // the decoder's leading ","
    QList<QByteArray> entries = path.mid(1).split(',');
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QByteArray& entry = entries[i];
        const bool used = entry.endsWith('*');
        if ((used ? entry.chopped(1) : entry) != alias)
            continue;
        // Only the first entry naming us counts, and only when it is the next hop.
        if (used || (i > 0 && !entries[i - 1].endsWith('*')))
            return;
        entries[i] = ownCall + '*';
        ++repeatCount;
        path = lead + entries.join(',');
        return;
    }
}

KissDecodeResult Kiss::decode(const QByteArray& received, const QByteArray& ownCall)
{
    // Stuffing is undone before the address is measured, so that an escaped byte in the
    // address cannot shift the control and PID bytes off their 7-byte grid.
    QByteArray frame = received;
    unescape(frame);

    // Control byte 03 at position 15 + 7k, PID F0 at 16 + 7k (positions from 1), k 0..8.
    const qsizetype control = findAligned(frame, '\x03', kFirstDigi);
    if (control < 0 || findAligned(frame, '\xF0', kFirstDigi + 1) < 0)
        return {};
    const qsizetype digis = (control - kFirstDigi) / kBlock;

    QByteArray destination = decodeCall(frame, 0);
    appendSsid(destination, ssidAt(frame, 6));

    QByteArray source = decodeCall(frame, 7);
    appendSsid(source, ssidAt(frame, 13));

    QByteArray path;
    int repeatCount = 0;
    for (qsizetype d = 0; d < digis; ++d) {
        const qsizetype offset = kFirstDigi + d * kBlock;
        path.append(',');
        path.append(decodeCall(frame, offset));
        appendSsid(path, ssidAt(frame, offset + 6));
        if (byteAt(frame, offset + 6) & 0x80) { // H bit: has been repeated
            ++repeatCount;
            path.append('*');
        }
    }

    const QByteArray info = ':' + frame.mid(control + 2); // after control and PID

    KissDecodeResult result;
    if (digis == 0) {
        result.text = source + '>' + destination + info;
        return result;
    }

    const int before = repeatCount;
    substituteDigipeaterAlias(path, repeatCount, ownCall, ownCall);
    if (repeatCount != before)
        result.digipeat = DigipeatRequest{destination, source, path.mid(1), info.mid(1)};

    // Only the last repeated entry keeps its "*" in the text.
    for (int drop = repeatCount - 1; drop > 0; --drop) {
        const qsizetype star = path.indexOf('*');
        if (star < 0)
            break;
        path.remove(star, 1);
    }

    result.text = source + '>' + destination + path + info;
    return result;
}

} // namespace packet
