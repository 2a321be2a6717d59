#include "messaging/message_composer.h"

#include "messaging/byte_text.h"

namespace messaging {

using detail::join;

namespace {

constexpr qsizetype kAddresseeFieldLength = 9;

bool isMessagingMode(OperatingMode mode)
{
    return mode == OperatingMode::AprsMessaging || mode == OperatingMode::Raynet;
}

void appendNumber(QByteArray& out, std::optional<int> number)
{
    if (number) {
        out += '{';
        out += QByteArray::number(*number);
    }
}

} // namespace

QByteArray padAddressee(QByteArrayView addressee)
{
    QByteArray field = addressee.toByteArray();
    if (field.size() >= 2 && field.size() <= 8)
        field += QByteArray(kAddresseeFieldLength - field.size(), ' ');
    return field;
}

QByteArray cleanMessageText(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != '~' && c != '{' && c != '|')
            out += c;
    return out;
}

qint16 nextMessageNumber(qint16 current)
{
    if (current < 1 || current >= 32767)
        return 1;
    return static_cast<qint16>(current + 1);
}

QByteArray raynetText(const RaynetFields& fields)
{
    return fields.data1 + ',' + fields.data2 + ',' + fields.data3 + ',';
}

QByteArray messagePayload(QByteArrayView addresseeField, QByteArrayView text, std::optional<int> number)
{
    QByteArray out;
    out.reserve(addresseeField.size() + text.size() + 8);
    out += ':';
    out += addresseeField;
    out += ':';
    out += text;
    appendNumber(out, number);
    return out;
}

QByteArray composePayload(OperatingMode mode, QByteArrayView addressee, QByteArrayView text,
                          const RaynetFields& raynet, std::optional<int> number)
{
    switch (mode) {
    case OperatingMode::AprsMessaging:
        return messagePayload(padAddressee(addressee), cleanMessageText(text), number);
    case OperatingMode::Raynet:
        return messagePayload(padAddressee(addressee), raynetText(raynet), number);
    case OperatingMode::TncCommand:
    case OperatingMode::PacketConverse:
        break;
    }
    return cleanMessageText(text);
}

QByteArray composeVhfPayload(OperatingMode mode, QByteArrayView addressee, QByteArrayView text,
                             const RaynetFields& raynet, std::optional<int> number)
{
    return composePayload(mode, addressee, text, raynet, number) + '\r';
}

QByteArray composeAprsIsLine(QByteArrayView aprsIsCall, OperatingMode mode, QByteArrayView addressee,
                             QByteArrayView text, const RaynetFields& raynet, std::optional<int> number)
{
    if (!isMessagingMode(mode))
        return {};
    return join({aprsIsCall, ">APSK63:", composePayload(mode, addressee, text, raynet, number)});
}

QByteArray composeHfBody(QByteArrayView hfCall, QByteArrayView unproto, OperatingMode mode,
                         QByteArrayView addressee, QByteArrayView text, const RaynetFields& raynet,
                         std::optional<int> number)
{
    return join({hfCall, unproto, composePayload(mode, addressee, text, raynet, number)});
}

QByteArray hfUnproto(QByteArrayView tocall, bool digipeatMe)
{
    QByteArray out = join({">", tocall});
    if (digipeatMe)
        out += ",WIDE2-1";
    out += ':';
    return out;
}

QByteArray vhfSendHead(QByteArrayView myCall, QByteArrayView vhfPayload)
{
    return join({" From: ", myCall, "  To ", vhfPayload, "\r\n"});
}

QByteArray aprsIsSendHead(QByteArrayView aprsIsCall, QByteArrayView addressee, QByteArrayView shownText,
                          std::optional<int> number)
{
    QByteArray head = join({"  From: ", aprsIsCall, "  To :", addressee, "  ", shownText});
    appendNumber(head, number);
    head += "\r\n";
    return head;
}

std::optional<QByteArray> transmitLogText(OperatingMode mode, QByteArrayView text, const RaynetFields& raynet)
{
    switch (mode) {
    case OperatingMode::AprsMessaging:
        return cleanMessageText(text) + '\r';
    case OperatingMode::Raynet:
        return raynetText(raynet) + '\r';
    case OperatingMode::TncCommand:
    case OperatingMode::PacketConverse:
        break;
    }
    return std::nullopt;
}

RemoteConfirmation remoteConfirmation(QByteArrayView aprsIsCall, QByteArrayView remoteCall, bool transmitOn,
                                      int number)
{
    RemoteConfirmation c;
    c.text = transmitOn ? "Confirm Relay keying open" : "Confirm Relay keying close";
    c.line = join({aprsIsCall, ">APSK63:", messagePayload(padAddressee(remoteCall), c.text, number)});
    c.head = aprsIsSendHead(aprsIsCall, remoteCall, c.text, number);
    return c;
}

} // namespace messaging
