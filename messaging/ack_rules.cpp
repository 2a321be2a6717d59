#include "ack_rules.h"

#include "byte_text.h"
#include "message_composer.h"

namespace messaging {

namespace {

constexpr qsizetype kLongestMessageNumber = 5;

QByteArrayView leadingDigits(QByteArrayView text)
{
    qsizetype n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9')
        ++n;
    return text.first(n);
}

QByteArrayView withoutLeadingZeros(QByteArrayView digits)
{
    qsizetype n = 0;
    while (n < digits.size() && digits[n] == '0')
        ++n;
    return digits.sliced(n);
}

} // namespace

bool isAcknowledgement(QByteArrayView text)
{
    QByteArrayView message = text;
    if (message.startsWith(':')) {
        const qsizetype fieldEnd = message.indexOf(':', 1);
        if (fieldEnd > 0)
            message = message.sliced(fieldEnd + 1);
    }
    if (!message.startsWith(QByteArrayView("ack")))
        return false;
    // The number: 1 to 5 letters or digits, then the end of the text (blanks and line ends
    // aside) or the "}" of a reply-ack.
    const QByteArrayView rest = message.sliced(3);
    const auto isNumberChar = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    qsizetype n = 0;
    while (n < rest.size() && isNumberChar(rest[n]))
        ++n;
    if (n < 1 || n > kLongestMessageNumber)
        return false;
    const QByteArrayView after = rest.sliced(n);
    return after.startsWith('}') || after.trimmed().isEmpty();
}

int ackNumberFrom(QByteArrayView text)
{
    if (!isAcknowledgement(text))
        return 0;
    const qsizetype at = text.indexOf(QByteArrayView("ack"));
    const QByteArrayView digits = withoutLeadingZeros(leadingDigits(text.sliced(at + 3)));
    if (digits.isEmpty() || digits.size() > 5)
        return 0;
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

bool hasNumericValue(QByteArrayView numberText)
{
    return !withoutLeadingZeros(leadingDigits(numberText)).isEmpty();
}

QByteArray ackReplyNumber(QByteArrayView numberText)
{
    const QByteArrayView digits = withoutLeadingZeros(leadingDigits(numberText));
    return digits.isEmpty() ? numberText.toByteArray() : digits.toByteArray();
}

QByteArray ackPayload(QByteArrayView senderCall, QByteArrayView ackText)
{
    return detail::join({":", padAddressee(senderCall), ":ack", ackText});
}

QByteArray vhfAckPayload(QByteArrayView senderCall, QByteArrayView numberText)
{
    return ackPayload(senderCall, ackReplyNumber(numberText)) + '\r';
}

QByteArray hfAckPayload(QByteArrayView senderCall, QByteArrayView numberText)
{
    QByteArray payload = ackPayload(senderCall, ackReplyNumber(numberText));
    if (hasNumericValue(numberText))
        payload += '\r';
    return payload;
}

QByteArray aprsIsAckLine(QByteArrayView aprsIsCall, QByteArrayView senderCall, QByteArrayView numberText)
{
    return detail::join({aprsIsCall, ">APSK63:", ackPayload(senderCall, numberText)});
}

} // namespace messaging
