#include "wav_ends.h"

#include "pcm16.h"

#include "hf/modem/wav_file.h"

#include <QtEndian>

#include <algorithm>

namespace hf::radio {

bool WavInput::prepare(QString& error)
{
    if (!m_samples.empty()) { // reopened after a restart: the recording plays once
        return true;
    }
    // The reader itself bounds what a hostile header can make it allocate.
    auto wav = hf::modem::readWavFile(m_path.toStdString());
    if (!wav || wav->samples.empty()) {
        error = QStringLiteral("cannot read %1 (16-bit mono PCM WAV expected)").arg(m_path);
        return false;
    }
    m_rate = wav->sampleRate;
    m_samples = std::move(wav->samples);
    m_pos = 0;
    return true;
}

void WavInput::produce(float* out, std::size_t count)
{
    const std::size_t n = std::min(count, m_samples.size() - std::min(m_pos, m_samples.size()));
    std::copy_n(m_samples.begin() + static_cast<std::ptrdiff_t>(m_pos), n, out);
    std::fill(out + n, out + count, 0.0f);
    m_pos += n;
}

WavOutput::~WavOutput()
{
    if (m_file.isOpen())
        writeHeader();
}

bool WavOutput::prepare(const AudioRequest& request, QString& error)
{
    if (m_file.isOpen()) { // restarted: keep appending to the same recording
        if (request.sampleRate == m_rate)
            return true;
        writeHeader();
        m_file.close();
    }
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    m_rate = request.sampleRate;
    m_written = 0;
    m_limit = static_cast<std::size_t>(kMaxSeconds * m_rate);
    writeHeader();
    return true;
}

void WavOutput::play(const float* samples, std::size_t count)
{
    const std::size_t n = std::min(count, m_limit - std::min(m_limit, m_written));
    if (n == 0 || !m_file.isOpen())
        return;
    m_file.seek(static_cast<qint64>(44 + 2 * m_written));
    m_file.write(encodePcm16(samples, n));
    m_written += n;
}

void WavOutput::endOfTransmission()
{
    pending(); // what is due has been played
    writeHeader();
    m_file.flush();
}

void WavOutput::writeHeader()
{
    if (!m_file.isOpen())
        return;
    const auto dataBytes = static_cast<quint32>(2 * m_written);
    QByteArray h;
    auto u32 = [&h](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    auto u16 = [&h](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    h.append("RIFF");
    u32(36 + dataBytes);
    h.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(static_cast<quint32>(m_rate));
    u32(static_cast<quint32>(m_rate) * 2);
    u16(2);
    u16(16);
    h.append("data");
    u32(dataBytes);
    m_file.seek(0);
    m_file.write(h);
}

} // namespace hf::radio
