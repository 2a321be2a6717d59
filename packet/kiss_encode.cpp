// Kiss::encode: packet fields -> KISS-framed AX.25 UI frame.
#include "packet/kiss_codec.h"

#include <QList>

namespace packet {
namespace {

constexpr qsizetype kCallLength = 6; // AX.25 address: 6 characters + 1 SSID byte
constexpr qsizetype kMaxDigis = 8;
constexpr int kMaxSsid = 15;

const char* const kDestSsidMessage =
    "Your Destination SSID is greater than 15. This is not allowed. Please change your "
    "Destination SSID to be a number that is lower than 16.";
const char* const kDestLengthMessage =
    "Your Destination Call Sign has more than 6 Characters. This is not allowed. Please change "
    "your Destination Call Sign to have no more than 6 Characters Max.";
const char* const kSourceSsidMessage =
    "Your MYCall SSID is greater than 15. This is not allowed. Please change your MYcall SSID "
    "to be a number that is lower than 16.";
const char* const kSourceLengthMessage =
    "Your MyCall Sign has more than 6 Characters. This is not allowed. Please change your "
    "MyCall Sign to have no more than 6 Characters Max.";
const char* const kDigiCountMessage =
    "You cannot have more than 8 Digipeater Call Signs. Please Reduce the number of "
    "Digipeaters.";
const char* const kDigiSsidMessage =
    "One or more of your Digipeater SSID is greater than 15. This is not allowed. Please change "
    "the offending Digipeater SSID to be a number that is lower than 16.";
const char* const kDigiLengthMessage =
    "One or more of Your Digipeater Call Sign has more than 6 Characters. This is not allowed. "
    "Please change your Digipeater Call Sign to have no more than 6 Characters Max.";

struct Address {
    QByteArray call; ///< text before the first "-", not padded
    int ssid = 0;    ///< leading digits after the first "-"; saturates above 15
    bool repeated = false;
};

/// CALL or CALL-SSID. The SSID is the value of the leading digits after the first "-"
/// (none gives 0); large numbers saturate so that they still fail the 0..15 check.
Address parseAddress(const QByteArray& text)
{
    Address a;
    const qsizetype dash = text.indexOf('-');
    if (dash < 0) {
        a.call = text;
        return a;
    }
    a.call = text.left(dash);
    for (qsizetype i = dash + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        a.ssid = a.ssid * 10 + (text[i] - '0');
        if (a.ssid > 999)
            a.ssid = 999;
    }
    return a;
}

/// Appends the 6 address characters, each shifted left one bit, padded with spaces.
void appendCall(QByteArray& out, const QByteArray& call)
{
    for (qsizetype i = 0; i < kCallLength; ++i) {
        const unsigned c = i < call.size() ? static_cast<unsigned char>(call[i]) : 0x20u;
        out.append(static_cast<char>((c << 1) & 0xFFu));
    }
}

char ssidByte(unsigned base, int ssid)
{
    return static_cast<char>(base + 2u * static_cast<unsigned>(ssid));
}

/// Everything between the two FENDs is stuffed: C0 -> DB DC, DB -> DB DD.
void appendStuffed(QByteArray& out, const QByteArray& body)
{
    for (const char c : body) {
        if (c == kFend) {
            out.append(kFesc);
            out.append(kTfend);
        } else if (c == kFesc) {
            out.append(kFesc);
            out.append(kTfesc);
        } else {
            out.append(c);
        }
    }
}

KissEncodeResult failure(const char* message)
{
    KissEncodeResult r;
    r.message = QString::fromLatin1(message);
    return r;
}

} // namespace

KissEncodeResult Kiss::encode(const QByteArray& destination, const QByteArray& source, const QByteArray& path,
                              const QByteArray& info)
{
    const Address dest = parseAddress(destination);
    if (dest.ssid > kMaxSsid)
        return failure(kDestSsidMessage);
    if (dest.call.size() > kCallLength)
        return failure(kDestLengthMessage);

    const Address src = parseAddress(source);
    if (src.ssid > kMaxSsid)
        return failure(kSourceSsidMessage);
    if (src.call.size() > kCallLength)
        return failure(kSourceLengthMessage);

    QList<Address> digis;
    if (!path.isEmpty()) {
        const QList<QByteArray> entries = path.split(',');
        if (entries.size() > kMaxDigis)
            return failure(kDigiCountMessage);
        for (QByteArray entry : entries) {
            const bool repeated = entry.contains('*');
            if (repeated)
                entry.chop(1); // the "*" is written last: "WIDE2-1*"
            Address a = parseAddress(entry);
            a.repeated = repeated;
            if (a.ssid > kMaxSsid)
                return failure(kDigiSsidMessage);
            if (a.call.size() > kCallLength)
                return failure(kDigiLengthMessage);
            digis.append(a);
        }
    }

    QByteArray body;
    body.reserve(7 * (2 + digis.size()) + 2 + info.size());
    appendCall(body, dest.call);
    body.append(ssidByte(0xE0, dest.ssid)); // command bit and both reserved bits
    appendCall(body, src.call);
    body.append(ssidByte(digis.isEmpty() ? 0x61 : 0x60, src.ssid)); // 01: end of address
    for (qsizetype i = 0; i < digis.size(); ++i) {
        const Address& d = digis[i];
        appendCall(body, d.call);
        unsigned base = 0x60;
        if (d.repeated)
            base += 0x80; // H bit: has been repeated
        if (i == digis.size() - 1)
            base += 0x01;
        body.append(ssidByte(base, d.ssid));
    }
    body.append('\x03'); // control: UI frame
    body.append('\xF0'); // PID: no layer 3
    body.append(info);

    KissEncodeResult r;
    r.frame.reserve(body.size() * 2 + 3);
    r.frame.append(kFend);
    r.frame.append('\0'); // KISS command: data frame, port 0
    appendStuffed(r.frame, body);
    r.frame.append(kFend);
    return r;
}

} // namespace packet
