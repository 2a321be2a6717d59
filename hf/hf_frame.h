#pragma once

// The HF text frame that carries one APRS packet over the sound-card modes:
//
//   ".........." "~" <packet text> <4 upper-case hex digits of CRC-16/MODBUS> TAB "~" + 2 or 3
//   spaces CR LF
//
// Everything here works on 8-bit text (one byte per character); no encoding is applied.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

namespace hf {

/// Ten full stops: lets the receiver's decoder settle before the start flag.
inline constexpr char kPreamble[] = "..........";
inline constexpr char kStartFlag[] = "~";
/// End flag of messages, relayed local-program packets and APRS-IS-to-HF gated packets.
inline constexpr char kEndFlagLong[] = "~   ";
/// End flag of beacons, GPS beacons, acknowledgements and digipeats.
inline constexpr char kEndFlagShort[] = "~  ";

/// Who builds a frame; the end flag's spacing depends on it.
enum class FrameSender {
    Message,    ///< transmitOnHf
    LocalRelay, ///< localToHfRelayTimer, lines from the local program port
    AprsIsGate, ///< aprsIsToHfTimer, APRS-IS messages gated onto HF
    Beacon,     ///< sendFixedBeacon
    GpsBeacon,  ///< sendGpsBeacon
    Ack,        ///< sendHfAck
    Digipeat,   ///< digipeatOnHf
};

/// The end flag ("~" and two or three spaces) used by `sender`.
QByteArray endFlagFor(FrameSender sender);

/// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final inversion) over the
/// bytes of `data`. "123456789" gives 0x4B37; no bytes give 0xFFFF.
std::uint16_t crc16Modbus(QByteArrayView data);

/// The check field of a body: its CRC as exactly four upper-case hexadecimal digits.
QByteArray checkField(QByteArrayView body);

/// Preamble + start flag + body + check field + TAB + `endFlag` + CR LF. Every "~" is taken out
/// of the body first (the receiver cuts a body at "~"), whoever built it: messages, RAYNET
/// fields, relayed and gated lines alike.
QByteArray buildFrame(QByteArrayView body, QByteArrayView endFlag);
/// The same with the end flag of `sender`.
QByteArray buildFrame(QByteArrayView body, FrameSender sender);

/// A completed frame taken apart.
struct ParsedFrame {
    QByteArray body;          ///< packet text (TABs removed), without the check field
    QByteArray receivedCheck; ///< the last four characters before the end flag (fewer if short)
    QByteArray computedCheck; ///< checkField(body)
    bool good = false;        ///< receivedCheck holds computedCheck
};

/// Takes apart the text of one completed frame (from FrameAssembler or a test):
/// the frame's text R runs from the start flag to the next "~" (a body holding "~" is thus cut
/// there); R is the text after the first "...~" when there is one, so that noise holding a "~"
/// in front of the preamble does not spoil the frame, and after the first "~" otherwise. Every
/// TAB is removed from R; its last four characters are the received check, the rest the body.
/// Text without any "~" gives an empty body and a bad check.
ParsedFrame parseFrame(QByteArrayView frameText);

} // namespace hf
