#pragma once

#include <QByteArray>
#include <QList>

namespace packet {

/// Cuts KISS frames out of a byte stream (serial TNC, KISS over TCP), keeping state
/// between reads.
///
/// A frame is whatever lies between two FENDs (C0). Bytes before the first FEND are line
/// noise and are dropped; back-to-back FENDs delimit nothing; the FEND that closes a frame
/// may also open the next one. Each frame is returned without its KISS command byte and
/// with one trailing CR removed, still byte-stuffed: exactly what Kiss::decode takes.
/// A frame holding only a command byte is skipped. The unfinished frame at the end of a
/// read is kept for the next one; when it exceeds kMaxPending bytes it is dropped and the
/// deframer waits for the next FEND.
class KissDeframer {
public:
    /// Longest unfinished frame kept, in bytes. An AX.25 frame is at most a few hundred
    /// bytes, doubled by stuffing in the worst case.
    static constexpr qsizetype kMaxPending = 64 * 1024;

    /// Every frame completed by `data`, in order of arrival.
    QList<QByteArray> feed(const QByteArray& data);

    /// Forgets any unfinished frame (for a new connection).
    void reset() { m_buffer.clear(); }

    /// Bytes held for the unfinished frame (its opening FEND included); 0 when idle.
    qsizetype pendingBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer; ///< empty, or an opening FEND and the frame so far
};

} // namespace packet
