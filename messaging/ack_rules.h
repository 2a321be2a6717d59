#pragma once

// Acknowledgements: reading the number of a received "ack", and building the acknowledgement
// that answers a received numbered message, per bearer.
//
// A received message's own number is not an acknowledgement. Only the ack receivers (readVhfAck,
// readHfAck, readAprsIsAck) set lastAckNumber, from the digits after "ack"; the ack senders
// (sendVhfAck, sendHfAck, sendAprsIsAck) never touch it. So a message that happens to carry the same
// number as our pending message does not end our retry wait: the two stations count their
// numbers independently, and stopping our retries on someone else's number would give up a
// message that was never confirmed.

#include <QByteArray>
#include <QByteArrayView>

namespace messaging {

/// Whether `text` (a message text, or the received text from the addressee field on,
/// ":CALL     :ack5") is an acknowledgement: the message text starts with "ack" and a number.
/// "ack" elsewhere in a text ("on track5 now") makes no acknowledgement.
bool isAcknowledgement(QByteArrayView text);

/// The number of an acknowledgement: the leading decimal digits right after its "ack"
/// ("ack05" gives 5). A text that is no acknowledgement, or no digits there, gives 0; a value
/// too large for the message-number range gives 0 as well (it can never match a pending
/// number).
int ackNumberFrom(QByteArrayView text);

/// The number our ack receiver compares with the pending messageNumber; a pending number of 0
/// means no message is waiting, and matches nothing.
inline bool ackMatches(int ackNumber, int pendingMessageNumber)
{
    return pendingMessageNumber > 0 && ackNumber == pendingMessageNumber;
}

/// True when `numberText` (the text after a message's "{", line end removed) is a message
/// number a station may send: 1 to 5 letters and digits, optionally followed by "}" and a
/// reply-ack of up to 5 letters and digits. Only such a number is acknowledged: anything else
/// would put what the sender chose (control bytes, a second line) into our transmission.
bool isValidMessageNumber(QByteArrayView numberText);

/// True when `call` can be the addressee of our acknowledgement: 1 to 9 letters, digits and
/// "-", as an APRS addressee field holds. A sender field holding anything else (control bytes,
/// a whole line without ">") is not a station to answer.
bool isAcknowledgeableCall(QByteArrayView call);

/// What follows "ack" in the reply to a message numbered `numberText` (the text after its "{",
/// line end removed): when the text starts with digits of non-zero value, those digits without
/// leading zeros ("07" gives "7"); otherwise the text as received.
QByteArray ackReplyNumber(QByteArrayView numberText);

/// True when ackReplyNumber() took the numeric form.
bool hasNumericValue(QByteArrayView numberText);

/// ":" + padded senderCall + ":ack" + ackText.
QByteArray ackPayload(QByteArrayView senderCall, QByteArrayView ackText);

/// VHF acknowledgement payload (sendVhfAck): ackPayload(sender, ackReplyNumber(numberText)) + CR.
/// The CR is the TNC line end; it is added in both forms, since the numberText given here no
/// longer holds the line end it was received with.
QByteArray vhfAckPayload(QByteArrayView senderCall, QByteArrayView numberText);

/// HF acknowledgement body payload (sendHfAck), put after CALL + unproto: ackPayload with the
/// numeric value followed by CR, or the text as received without CR.
QByteArray hfAckPayload(QByteArrayView senderCall, QByteArrayView numberText);

/// APRS-IS acknowledgement line without line end (sendAprsIsAck): aprsIsCall + ">APSK63:" +
/// ackPayload(sender, numberText), the number text as received.
QByteArray aprsIsAckLine(QByteArrayView aprsIsCall, QByteArrayView senderCall, QByteArrayView numberText);

} // namespace messaging
