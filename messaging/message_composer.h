#pragma once

// Composition of outgoing APRS messages: the addressee field, text cleaning, message numbers,
// payloads per operating mode, the APRS-IS line and the heads shown in the messages box.
// All text is 8-bit (QByteArray, one byte per character).

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace messaging {

/// The main window's operating modes.
enum class OperatingMode {
    TncCommand,     ///< "TNC Command": raw line for the TNC
    AprsMessaging,  ///< "APRS Messaging"
    PacketConverse, ///< "Packet Converse": raw line in converse mode
    Raynet,         ///< "RAYNET messaging": three Data fields
};

/// The three Data fields of a RAYNET message (sent as typed, not cleaned).
struct RaynetFields {
    QByteArray data1;
    QByteArray data2;
    QByteArray data3;
};

/// The addressee field: an addressee of 2 to 8 characters is padded with spaces to 9; one of
/// 1, 9 or more characters is used unchanged (no padding, no truncation).
QByteArray padAddressee(QByteArrayView addressee);

/// Message text with every "~", "{" and "|" removed (they frame HF text, message numbers and
/// APRS fields).
QByteArray cleanMessageText(QByteArrayView text);

/// The next message number: current + 1, and 1 after 32767 (or from anything below 1), so a
/// number is always 1..32767, i.e. 1 to 5 decimal digits.
qint16 nextMessageNumber(qint16 current);

/// D1 + "," + D2 + "," + D3 + "," (the trailing comma is always there).
QByteArray raynetText(const RaynetFields& fields);

/// ":" + addressee field + ":" + text, then "{" + number when `number` is set.
QByteArray messagePayload(QByteArrayView addresseeField, QByteArrayView text, std::optional<int> number);

/// The payload of a send without line end: the message form in "APRS Messaging", the RAYNET
/// form in "RAYNET messaging" (both with "{" + number when `number` is set, i.e. "Normal" ACKs),
/// the cleaned text alone in "TNC Command" and "Packet Converse". `addressee` is as typed (it is
/// padded here); `text` is cleaned here.
QByteArray composePayload(OperatingMode mode, QByteArrayView addressee, QByteArrayView text,
                          const RaynetFields& raynet, std::optional<int> number);

/// The VHF payload: composePayload() + CR. In "TNC Command" and "Packet Converse" the number is
/// never appended.
QByteArray composeVhfPayload(OperatingMode mode, QByteArrayView addressee, QByteArrayView text,
                             const RaynetFields& raynet, std::optional<int> number);

/// The line for the APRS-IS server without line end: aprsIsCall + ">APSK63:" + payload. Only the
/// two messaging modes compose a line; the other modes give an empty result (nothing is sent).
QByteArray composeAprsIsLine(QByteArrayView aprsIsCall, OperatingMode mode, QByteArrayView addressee,
                             QByteArrayView text, const RaynetFields& raynet, std::optional<int> number);

/// The HF body: hfCall + unproto + composePayload(), e.g. CALL>APSK63::DEST     :text{n.
QByteArray composeHfBody(QByteArrayView hfCall, QByteArrayView unproto, OperatingMode mode,
                         QByteArrayView addressee, QByteArrayView text, const RaynetFields& raynet,
                         std::optional<int> number);

/// ">" + tocall + ":" or, with "Digipeat me", ">" + tocall + ",WIDE2-1:".
QByteArray hfUnproto(QByteArrayView tocall, bool digipeatMe);

/// Head of a VHF send for the messages box: " From: " + myCall + "  To " + payload (with its own
/// CR) + CR LF.
QByteArray vhfSendHead(QByteArrayView myCall, QByteArrayView vhfPayload);

/// Head of an APRS-IS send: "  From: " + aprsIsCall + "  To :" + addressee as typed + "  " +
/// text (cleaned; RAYNET: raynetText) + "{" + number when set + CR LF.
QByteArray aprsIsSendHead(QByteArrayView aprsIsCall, QByteArrayView addressee, QByteArrayView shownText,
                          std::optional<int> number);

/// Third field of the transmit-log record: the cleaned text + CR ("APRS Messaging") or
/// raynetText + CR ("RAYNET messaging"); no record in the other modes (nullopt).
std::optional<QByteArray> transmitLogText(OperatingMode mode, QByteArrayView text,
                                          const RaynetFields& raynet);

/// The confirmation a remote-control code gets over APRS-IS.
struct RemoteConfirmation {
    QByteArray line; ///< aprsIsCall + ">APSK63:" + ":" + padded remote call + ":" + text + "{" + n
    QByteArray head; ///< "  From: " + aprsIsCall + "  To :" + remote call + "  " + text + "{" + n
                     ///< + CR LF
    QByteArray text; ///< "Confirm Relay keying open" / "Confirm Relay keying close"
};
RemoteConfirmation remoteConfirmation(QByteArrayView aprsIsCall, QByteArrayView remoteCall, bool transmitOn,
                                      int number);

} // namespace messaging
