#pragma once

// Received audio streamed over UDP by another program (an SDR receiver, for example):
// datagrams of 16-bit little-endian mono samples at the modem's sample rate, on 127.0.0.1.

#include "hf/radio/audio_end.h"

#include <QUdpSocket>

#include <vector>

namespace hf::radio {

class UdpInput final : public AudioInput {
public:
    /// Samples kept waiting for the receiver at most, in seconds; older ones are dropped.
    static constexpr double kBufferSeconds = 2.0;

    explicit UdpInput(quint16 port) : m_port(port) {}
    bool open(const AudioRequest& request, QString& error) override;
    int sampleRate() const override { return m_rate; }
    std::ptrdiff_t read(float* out, std::size_t max) override;
    QString name() const override { return QStringLiteral("UDP port %1").arg(m_port); }

private:
    QUdpSocket m_socket;
    std::vector<float> m_buffer;
    std::size_t m_capacity = 0;
    quint16 m_port;
    int m_rate = 0;
};

} // namespace hf::radio
