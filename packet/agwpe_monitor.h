#pragma once
// AGWPE monitoring: the request that switches it on and the packet line of a monitor frame.

#include "packet/agwpe_frame.h"

#include <QByteArray>

#include <optional>

namespace packet {

/// One 36-byte header, data kind 'm', radio port 0, everything else zero. Send it once per
/// connection: servers treat 'm' as a toggle (a second one switches monitoring off again)
/// and one request covers every radio port.
QByteArray agwpeMonitorRequest();

/// The packet line of a monitor frame, ending CR LF, or nullopt when the frame carries no
/// received UI packet.
///
/// Only kind 'U' (a monitored unnumbered frame) is used, and only when its text names a
/// UI frame ("<UI"). Kind 'T' is our own transmission echoed back by the server and is
/// not a received packet; 'I' and 'S' are connected-mode frames, not APRS; every other
/// kind is a reply to some other request.
///
/// The monitor text looks like (server prefixes such as " 1:" and fields such as " PF=0"
/// vary, so it is read loosely):
///     " 1:Fm NOCALL-1 To APRS Via WIDE1-1 <UI pid=F0 Len=11 PF=0 >[18:21:46]\r>hello\r\0"
/// Text: the data without NUL, CR and LF bytes. The header part is the text before its
/// first "]" (end of the time stamp) and must contain "<UI"; the information is the text
/// after that "]". The path is what lies between "Via " and "<UI" in the header part,
/// blanks trimmed. The calls come from the frame header's fields, not from the text:
///     CALLFROM>CALLTO[,PATH]:INFO CR LF
/// The server drops the "has been repeated" marks from the Via list, so the path carries
/// no "*".
std::optional<QByteArray> agwpeMonitorLine(const AgwpeFrame& frame);

} // namespace packet
