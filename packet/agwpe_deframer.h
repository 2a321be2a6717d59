#pragma once

#include "packet/agwpe_frame.h"

#include <QByteArray>
#include <QList>

namespace packet {

/// Cuts AGWPE frames out of a TCP byte stream by the header's data-length field. One read
/// may hold several frames or part of one; an unfinished frame is kept for the next read.
/// A header announcing more than kMaxDataLength bytes cannot come from a sane server: the
/// stream is out of step, so everything buffered is dropped and cutting starts afresh with
/// the next read.
class AgwpeDeframer {
public:
    /// Largest data length accepted, in bytes.
    static constexpr quint32 kMaxDataLength = 64 * 1024;

    /// Every frame completed by `data`, in order of arrival.
    QList<AgwpeFrame> feed(const QByteArray& data);

    /// Forgets any unfinished frame (for a new connection).
    void reset() { m_buffer.clear(); }

    /// Bytes held for the unfinished frame; never more than header + kMaxDataLength.
    qsizetype pendingBytes() const { return m_buffer.size(); }

    /// Reads the header fields and data of one complete frame starting at `bytes[0]`.
    /// `bytes` must hold at least AgwpeFrame::kHeaderSize + `dataLength` bytes.
    static AgwpeFrame parseFrame(const char* bytes, quint32 dataLength);

private:
    QByteArray m_buffer;
};

} // namespace packet
