#pragma once
// Rules that keep a received packet one record wherever it goes: a packet is data, never
// structure. Whatever bytes a station, a server or a local program sent, what we write to a
// server, a local program, a log or a TNC stays one line, or is not written at all.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace packet {

/// The longest packet (line end not counted) passed on to APRS-IS or a local program.
inline constexpr qsizetype kMaxGatedPacketLength = 256;

/// `packet` without its trailing CR and LF bytes.
QByteArrayView withoutLineEnd(QByteArrayView packet);

/// True when `packet`, its trailing line end removed, holds no CR, LF or NUL: passed on as a
/// line it stays one line.
bool isOneLine(QByteArrayView packet);

/// The packet for display and logs: every byte below 0x20 other than TAB, and 0x7F, is shown
/// as "<0xNN>" so that it cannot break the record it stands in.
QByteArray escapedControlBytes(QByteArrayView packet);

/// The line an igate sends to APRS-IS for a packet heard on the air (the packet text
/// SOURCE>DEST,PATH:INFO, line end optional), without its own line end: the q construct
/// ",qAR," + `igateCall` follows the path. Nothing (nullopt) when the packet must not be
/// gated: no igate call is known, it is not one line, longer than kMaxGatedPacketLength, has no ">" before a
/// ":", its path holds NOGATE or RFONLY, or it is a third-party packet (information starting with "}").
std::optional<QByteArray> igateLine(QByteArrayView packet, QByteArrayView igateCall);

} // namespace packet
