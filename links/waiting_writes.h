#pragma once
#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace links {

/// What the station wrote to its TNC while the device was gone (unplugged, the TNC switched
/// off), kept for when it is back: acks and messages that would otherwise be lost. Bounded in
/// bytes (the oldest whole writes give way) and in age (a write that waited too long is
/// stale: a beacon or ack hours late only costs air time).
class WaitingWrites {
public:
    static constexpr qsizetype kMaxBytes = 4096;

    /// Keeps `bytes`, written at `nowMs` (any monotonic ms count).
    void add(const QByteArray& bytes, qint64 nowMs);
    /// Everything kept that is at most `maxAgeMs` old at `nowMs`, in the order written; the
    /// queue is empty afterwards.
    QByteArray take(qint64 nowMs, qint64 maxAgeMs);
    void clear()
    {
        m_writes.clear();
        m_bytes = 0;
    }
    bool isEmpty() const { return m_writes.isEmpty(); }
    qsizetype size() const { return m_bytes; }

private:
    struct Write {
        QByteArray bytes;
        qint64 atMs;
    };
    QList<Write> m_writes;
    qsizetype m_bytes = 0;
};

} // namespace links
