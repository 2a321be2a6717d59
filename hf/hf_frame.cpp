#include "hf/hf_frame.h"

#include "hf/modem/frame_check.h"

namespace hf {

QByteArray endFlagFor(FrameSender sender)
{
    switch (sender) {
    case FrameSender::Message:
    case FrameSender::LocalRelay:
    case FrameSender::AprsIsGate:
        return QByteArray(kEndFlagLong);
    case FrameSender::Beacon:
    case FrameSender::GpsBeacon:
    case FrameSender::Ack:
    case FrameSender::Digipeat:
        break;
    }
    return QByteArray(kEndFlagShort);
}

std::uint16_t crc16Modbus(QByteArrayView data)
{
    return modem::crc16Modbus(std::string_view(data.data(), static_cast<std::size_t>(data.size())));
}

QByteArray checkField(QByteArrayView body)
{
    const auto digits =
        modem::checkDigits(std::string_view(body.data(), static_cast<std::size_t>(body.size())));
    return QByteArray(digits.data(), static_cast<qsizetype>(digits.size()));
}

QByteArray buildFrame(QByteArrayView rawBody, QByteArrayView endFlag)
{
    // Every receiver ends the body at the first "~": one left in would spoil the frame.
    QByteArray body = rawBody.toByteArray();
    body.removeIf([](char c) { return c == '~'; });
    QByteArray frame;
    frame.reserve(body.size() + endFlag.size() + 20);
    frame += kPreamble;
    frame += kStartFlag;
    frame += body;
    frame += checkField(body);
    frame += '\t';
    frame += endFlag;
    frame += "\r\n";
    return frame;
}

QByteArray buildFrame(QByteArrayView body, FrameSender sender)
{
    return buildFrame(body, endFlagFor(sender));
}

ParsedFrame parseFrame(QByteArrayView frameText)
{
    ParsedFrame parsed;
    qsizetype start = frameText.indexOf(QByteArrayView("...~"));
    if (start >= 0) {
        start += 4;
    } else {
        start = frameText.indexOf('~');
        if (start < 0) {
            parsed.computedCheck = checkField({});
            return parsed;
        }
        ++start;
    }
    qsizetype end = frameText.indexOf('~', start);
    if (end < 0)
        end = frameText.size();

    QByteArray r = frameText.sliced(start, end - start).toByteArray();
    r.replace('\t', QByteArray());
    const qsizetype checkLen = qMin<qsizetype>(4, r.size());
    parsed.receivedCheck = r.right(checkLen);
    parsed.body = r.left(r.size() - checkLen);
    parsed.computedCheck = checkField(parsed.body);
    parsed.good = parsed.receivedCheck.contains(parsed.computedCheck);
    return parsed;
}

} // namespace hf
