#pragma once
#include <QByteArray>
#include <QList>

namespace position {

/// Cuts the byte stream of a GPS receiver into NMEA sentences. A sentence runs from "$" to
/// the two checksum characters after "*", or to the line end when it has no "*"; it is
/// returned without the line end. The reader keeps at most one partial sentence of at most
/// kMaxSentenceBytes, so a stream that never completes a sentence (noise, a wrong baud rate,
/// a receiver that stops mid-sentence) cannot grow memory.
class NmeaReader {
public:
    /// NMEA 0183 allows 82 characters including "$" and CR LF; some receivers send a little
    /// more, anything longer is noise.
    static constexpr qsizetype kMaxSentenceBytes = 128;

    /// Adds received bytes; returns the sentences completed by them, oldest first.
    QList<QByteArray> feed(const QByteArray& bytes);
    /// Drops a partial sentence (after the port is reopened).
    void reset();
    /// Bytes of the partial sentence held for the next feed().
    qsizetype pendingBytes() const { return m_partial.size(); }

private:
    QByteArray m_partial;    // empty, or starts with '$'
    int m_checksumLeft = -1; // characters of the checksum still to come after '*'
};

} // namespace position
