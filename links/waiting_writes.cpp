#include "links/waiting_writes.h"

namespace links {

void WaitingWrites::add(const QByteArray& bytes, qint64 nowMs)
{
    if (bytes.isEmpty() || bytes.size() > kMaxBytes)
        return;
    while (m_bytes + bytes.size() > kMaxBytes) {
        m_bytes -= m_writes.front().bytes.size();
        m_writes.removeFirst();
    }
    m_writes.append({bytes, nowMs});
    m_bytes += bytes.size();
}

QByteArray WaitingWrites::take(qint64 nowMs, qint64 maxAgeMs)
{
    QByteArray out;
    for (const Write& w : std::as_const(m_writes)) {
        if (nowMs - w.atMs <= maxAgeMs)
            out += w.bytes;
    }
    clear();
    return out;
}

} // namespace links
