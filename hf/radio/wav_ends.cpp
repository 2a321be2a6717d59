#include "hf/radio/wav_ends.h"

#include <algorithm>

namespace hf::radio {

bool WavInput::prepare(const AudioRequest& request, QString& error)
{
    // Reopened after a restart, the recording carries on where it was: it plays once.
    if (!m_reader.isOpen() && !m_atEnd) {
        const int channel = request.inputChannel == 2 ? 1 : 0;
        if (!m_reader.open(m_path.toStdString(), channel)) {
            error =
                QStringLiteral("cannot read %1: %2").arg(m_path, QString::fromStdString(m_reader.error()));
            return false;
        }
    }
    if (!m_reader.isOpen())
        return true; // played to its end: silence at the rate it had
    const int fileRate = m_reader.sampleRate();
    const int rate = fileRate >= 8000 && fileRate <= 192000 ? fileRate : request.sampleRate;
    if (rate != m_convertedTo) {
        m_converter = std::make_unique<hf::modem::RateConverter>(fileRate, rate);
        m_convertedTo = rate;
    }
    return true;
}

void WavInput::produce(float* out, std::size_t count)
{
    constexpr std::size_t kBlock = 4096;
    while (m_pending.size() < count && m_reader.isOpen()) {
        m_block.resize(kBlock);
        m_block.resize(m_reader.read(m_block.data(), kBlock));
        m_converter->process(m_block.data(), m_block.size(), m_pending);
        if (m_block.size() < kBlock) {
            m_reader.close();
            m_atEnd = true;
        }
    }
    const std::size_t n = std::min(count, m_pending.size());
    std::copy_n(m_pending.begin(), n, out);
    std::fill(out + n, out + count, 0.0f);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
}

bool WavOutput::prepare(const AudioRequest& request, QString& error)
{
    if (m_writer.isOpen()) { // restarted: keep appending to the same recording
        if (request.sampleRate == m_rate)
            return true;
        m_writer.close();
    }
    if (!m_writer.open(m_path.toStdString(), request.sampleRate)) {
        error = QStringLiteral("cannot write %1: %2").arg(m_path, QString::fromStdString(m_writer.error()));
        return false;
    }
    m_rate = request.sampleRate;
    m_written = 0;
    m_limit = static_cast<std::size_t>(kMaxSeconds * m_rate);
    m_writer.flush();
    return true;
}

void WavOutput::play(const float* samples, std::size_t count)
{
    const std::size_t n = std::min(count, m_limit - std::min(m_limit, m_written));
    if (n == 0 || !m_writer.write(samples, n))
        return;
    m_written += n;
}

void WavOutput::endOfTransmission()
{
    pending(); // what is due has been played
    m_writer.flush();
}

} // namespace hf::radio
