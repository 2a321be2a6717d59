#pragma once

#include <QByteArray>
#include <QList>

namespace packet {

/// Splits the output of a text-mode TNC into monitored lines, one packet each.
///
/// Lines end with CR, LF or CR LF (a CR LF split across two reads is one end). Returned
/// lines carry no line end; empty lines are skipped. An unfinished line is kept for the
/// next feed; one that grows past kMaxLine bytes is returned in kMaxLine pieces.
///
/// Two-line packets. Some TNCs print the header and the information on separate lines:
///     N0CALL>APRS,WIDE1-1 <UI>:
///     >hello
/// A line is such a header when, with trailing blanks and tabs removed, it ends with a UI
/// marker followed by ":" and holds a ">" before the marker. A UI marker is "<UI" then
/// either ">" or a blank or "," and any text without "<" or ">" then ">" ("<UI>", "<UI R>",
/// "<UI C P>", "<UI pid=F0>"), or the same doubled as "<<UI ...>>". The header is held and
/// joined, with nothing in between, to the next non-empty line:
///     N0CALL>APRS,WIDE1-1 <UI>:>hello
/// which is the line the TNC gives when it prints both on one line (and what the line
/// handler saw when both arrived within one gathering period). If the next line is itself
/// such a header, the held one is returned alone (empty information) and the new one held.
class MonitorLineSplitter {
public:
    /// Longest line in bytes; longer input is cut into pieces of this size.
    static constexpr qsizetype kMaxLine = 4096;

    /// Every line completed by `data`, in order.
    QList<QByteArray> feed(const QByteArray& data);

    /// Returns what is still pending and forgets it: the unfinished line (a prompt such as
    /// "cmd:" has no line end) and a held header, joined by the same rule. Call it when
    /// the TNC has been quiet for a gathering period.
    QList<QByteArray> flush();

    /// True when an unfinished line or a held header is waiting.
    bool hasPending() const { return !m_partial.isEmpty() || !m_header.isEmpty(); }

    void reset();

    /// True when `line` is a header whose information follows on the next line.
    static bool isSplitHeader(const QByteArray& line);

private:
    void completeLine(const QByteArray& line, QList<QByteArray>& out);

    QByteArray m_partial; ///< unfinished line, at most kMaxLine bytes
    QByteArray m_header;  ///< header line waiting for its information line
};

} // namespace packet
