#pragma once
// What the TNC line handler does to one received line, as pure functions over bytes: the
// copy for the internet, the monitor display entry and the packet's source call.

#include <QByteArray>
#include <QDateTime>

namespace links {

/// The line handler's view of the received lines: a line is one monitored packet in text
/// form, ending CR LF as the TNC prints it (the links add CR LF where the bearer has none).

/// The copy of `line` to hand to APRS-IS (without line end), or empty when the line must
/// not be gated: it holds ":cmd" (a command prompt echo), has no ">", is shorter than 21
/// or longer than 256 characters (line end not counted), or is internet traffic already
/// ("TCPIP" in the copy, "TCPXX" in the line). The TNC's UI markers are taken out so the
/// information follows the path after one ":": ": <UI>" and ": <<UI>>" when followed by
/// ":", then every "<<UI>>" and "<UI>" with a blank in front of it if there is one; every CR
/// and LF is removed, so the copy is one line.
QByteArray internetCopy(const QByteArray& line);

/// The time-stamp field of the monitor: UTC date and time "YYYY-MM-DD HH:MM:SS" and two
/// blanks (22 characters).
QByteArray monitorTimeStamp(const QDateTime& utc);

/// The text appended to the "TNC traffic" monitor for `line`. In "TNC Command" mode the
/// line as the TNC sent it; otherwise the time-stamp field, the line without CR LF pairs,
/// and one CR LF.
QByteArray monitorEntry(const QByteArray& line, bool tncCommandMode, const QDateTime& utc);

/// The packet's source call: the text before the first ">" (the whole line when there is
/// none), blanks and line ends trimmed.
QByteArray sourceOf(const QByteArray& line);

/// What may be written to a text-mode TNC in converse mode: `bytes` without any control byte
/// other than the CR that ends a line (Ctrl-C would put the TNC in command mode and turn the
/// rest into a command), so no text a station chose can command our TNC.
QByteArray converseText(const QByteArray& bytes);

/// `line` without a trailing CR LF / CR / LF.
QByteArray withoutLineEnd(const QByteArray& line);

} // namespace links
