#pragma once

// Splits the APRS-IS server's byte stream into packet lines. A server read may hold several
// lines, keep-alive and other server comments (lines starting with "#"), and end in the middle
// of a line; the partial line is kept for the next read.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace messaging {

class AprsIsLineReader {
public:
    /// Longest line kept; APRS-IS lines are at most 512 bytes. A longer line is dropped whole
    /// (the text up to its line end is discarded).
    static constexpr qsizetype kMaxLineLength = 1024;

    /// Adds received bytes and returns the complete packet lines in them, without line ends
    /// (CR LF, LF or a lone CR all end a line). Empty lines, server comment lines ("#...") and
    /// lines holding NUL are skipped; the comment lines go to `comments` when given.
    QList<QByteArray> feed(QByteArrayView bytes, QList<QByteArray>* comments = nullptr);

    /// The partial line waiting for its end.
    const QByteArray& partialLine() const { return m_partial; }
    /// Forgets the partial line (call when the connection closes).
    void reset();

private:
    void finishLine(QList<QByteArray>& out, QList<QByteArray>* comments);

    QByteArray m_partial;
    bool m_discarding = false; ///< inside an over-long line, dropping up to its end
};

} // namespace messaging
