#include "hf/radio/udp_input.h"

#include "hf/radio/pcm16.h"

#include <QNetworkDatagram>

#include <algorithm>

namespace hf::radio {

bool UdpInput::open(const AudioRequest& request, QString& error)
{
    m_rate = request.sampleRate;
    m_capacity = static_cast<std::size_t>(kBufferSeconds * m_rate);
    m_buffer.clear();
    m_buffer.reserve(m_capacity);
    if (m_socket.state() == QAbstractSocket::BoundState)
        return true;
    if (!m_socket.bind(QHostAddress::LocalHost, m_port)) {
        error = QStringLiteral("cannot listen on UDP port %1: %2").arg(m_port).arg(m_socket.errorString());
        return false;
    }
    return true;
}

std::ptrdiff_t UdpInput::read(float* out, std::size_t max)
{
    // Datagrams are taken as they are: a datagram holds whole samples; an odd last byte is
    // dropped. At most a bounded number per call, so a flood cannot hold the thread.
    for (int i = 0; i < 256 && m_socket.hasPendingDatagrams(); ++i) {
        const QNetworkDatagram d = m_socket.receiveDatagram(65536);
        if (m_buffer.size() >= m_capacity) // the receiver fell behind: drop the oldest
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_capacity / 2));
        decodePcm16(d.data(), m_buffer, m_capacity - m_buffer.size());
    }
    const std::size_t n = std::min(max, m_buffer.size());
    std::copy_n(m_buffer.begin(), n, out);
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<std::ptrdiff_t>(n);
}

} // namespace hf::radio
