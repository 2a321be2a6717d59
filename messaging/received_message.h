#pragma once

// Classification of one received packet line, the same for the three bearers: a message to
// this station, an acknowledgement to it, a bulletin, a weather bulletin, a group message, a
// remote-control code. The result says what the receive step must do (texts to append, ack to
// send, ack number to check, remote switch, receive log); the step does it.
//
// Keys. The own key is "::" + own callsign filling the addressee field (followed by a blank or
// the field's closing ":"): a message for G4ABCD is not one for G4ABC. The base key is "::" +
// the callsign before its SSID, followed by a blank, ":" or "-": it catches messages to any
// SSID of the station, which are shown in the messages box but only those with the own key are
// logged and acknowledged.
//
// Input is one packet in the packet text form (SOURCE>DEST,PATH:INFO) without its line end:
// a monitored TNC line, the body of an HF frame, or one line of the APRS-IS stream
// (AprsIsLineReader). Every head and list entry produced ends in CR LF.

#include "messaging/message_composer.h"

#include <QByteArray>
#include <QByteArrayView>

namespace messaging {

enum class Bearer {
    Tnc,    ///< VHF TNC: MyCall, readVhfAck / sendVhfAck
    Hf,     ///< HF modem: HF callsign, readHfAck / sendHfAck
    AprsIs, ///< APRS-IS server: APRS-IS callsign, readAprsIsAck / sendAprsIsAck
};

/// The station's identity as far as classification needs it.
struct StationIdentity {
    QByteArray callsign;      ///< the bearer's own callsign (MyCall, HF callsign, APRS-IS call)
    QByteArray groupCall;     ///< group callsign; empty empties the group list
    QByteArray remoteCall;    ///< remote-control callsign ("NOCALL" disables remote control)
    QByteArray remoteOnCode;  ///< transmit-ON code, e.g. "Relay keying open"
    QByteArray remoteOffCode; ///< transmit-OFF code, e.g. "Relay keying close"
};

/// Background the messages box gets from this line.
enum class MessagesBackground { Unchanged, White, Yellow };

/// Remote-control code found in a message to this station. Both can be found in one message;
/// then ON is applied first and OFF second, as they are tested in that order.
struct RemoteCommand {
    bool transmitOn = false;  ///< call remoteIgateOn
    bool transmitOff = false; ///< call remoteIgateOff
};

struct ReceivedMessage {
    QByteArray source; ///< sender: text before the first ">" (TNC: trimmed; HF: cut at "*",
                       ///< inner source of a relayed packet, empty without ">"; APRS-IS: whole
                       ///< line without ">")
    /// The text from the ":" that opens the addressee field of our own key on (":CALL     :text
    /// {12"); the whole line when the line does not hold our key. This is the text the ack
    /// receiver reads (receivedPacketText / receivedMessageText).
    QByteArray addressedText;
    QByteArray addressee;     ///< addressee field of addressedText, trailing spaces removed
                              ///< (empty when the line holds no "::" addressee field)
    QByteArray messageText;   ///< text after the addressee field, before "{"
    QByteArray messageNumber; ///< text after the first "{" of addressedText (empty when none)

    bool toUs = false;  ///< the line holds the own key (never with an empty callsign)
    bool isAck = false; ///< addressed to us and isAcknowledgement(): pass to the ack receiver
    int ackNumber = 0;  ///< ackNumberFrom(addressedText) when isAck

    /// Head for messagesText (empty: nothing to show). Built for a message to the base
    /// callsign that holds no ":ack".
    QByteArray messageHead;
    MessagesBackground background = MessagesBackground::Unchanged;

    QByteArray bulletinEntry;    ///< entry for bulletinList ("::BLN"), empty when none
    QByteArray nwsEntry;         ///< entry for nwsList ("::NWS-"), empty when none
    QByteArray groupEntry;       ///< normalised entry for groupList, empty when none
    bool clearGroupList = false; ///< the group callsign is empty: empty groupList

    bool receiveLog = false; ///< addressed to us: call logReceivedMessage (callsign = source)
    bool sendAck = false;    ///< addressed to us with "{" and a valid message number
                             ///< (isValidMessageNumber) from a sender we can address
                             ///< (isAcknowledgeableCall): call the bearer's ack sender
    QByteArray ackToSend;    ///< TNC: vhfAckPayload; HF: hfAckPayload (after CALL + unproto);
                             ///< APRS-IS: aprsIsAckLine; empty when !sendAck

    RemoteCommand remote;
};

/// Classifies `line` received on `bearer`. `timeText` is the time stamp that starts heads and
/// list entries (the HF head carries none). Trailing CR/LF on `line` are ignored.
ReceivedMessage classifyLine(Bearer bearer, QByteArrayView line, const StationIdentity& station,
                             QByteArrayView timeText);

/// The source of a packet carried inside another (addIgatedVhfSource, igatedSource): the text after the
/// first "}", up to its first ">", blanks trimmed. Empty when the packet holds no "}".
QByteArray innerSource(QByteArrayView packet);

/// The group-list entry for `text` (timeText + " " + text + CR LF), or empty when it holds
/// "ack". The APRS-IS form also blanks the server's ",TCPIP*,qAC," and ",TCPIP*," path parts.
QByteArray groupListEntry(QByteArrayView timeText, QByteArrayView text, bool fromAprsIs);

/// The base callsign used for the second message key: the callsign before "-". On HF a
/// callsign without "-" gives an empty base, so the key "::" matches every message (the HF
/// messages box then monitors all message traffic heard); elsewhere it is the whole callsign.
QByteArray baseCallsign(QByteArrayView callsign, Bearer bearer);

} // namespace messaging
