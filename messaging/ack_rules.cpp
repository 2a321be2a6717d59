#include "messaging/ack_rules.h"

#include "messaging/byte_text.h"
#include "messaging/message_composer.h"

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

bool isLetterOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/// Length of the run of letters and digits at the start of `text`.
qsizetype letterDigitRun(QByteArrayView text)
{
    qsizetype n = 0;
    while (n < text.size() && isLetterOrDigit(text[n]))
        ++n;
    return n;
}

} // namespace

bool isValidMessageNumber(QByteArrayView numberText)
{
    const qsizetype number = letterDigitRun(numberText);
    if (number < 1 || number > 5)
        return false;
    if (number == numberText.size())
        return true;
    const QByteArrayView replyAck = numberText.sliced(number);
    if (replyAck.front() != '}')
        return false;
    const qsizetype reply = letterDigitRun(replyAck.sliced(1));
    return reply <= 5 && reply == replyAck.size() - 1;
}

bool isAcknowledgeableCall(QByteArrayView call)
{
    if (call.isEmpty() || call.size() > 9)
        return false;
    for (const char c : call)
        if (!isLetterOrDigit(c) && c != '-')
            return false;
    return true;
}

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
    const qsizetype n = letterDigitRun(rest);
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
