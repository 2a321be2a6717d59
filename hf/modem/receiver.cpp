#include "hf/modem/receiver.h"

#include <algorithm>
#include <cmath>

namespace hf::modem {

Receiver::Receiver(double sampleRate) : m_frontEnd(sampleRate)
{
    for (auto& c : m_channels) {
        c.demod = std::make_unique<ChannelDemodulator>(m_frontEnd.workRate(), FrontEnd::centre(),
                                                       ModeConfig{Modulation::Bpsk, 62.5, false}, 1500.0);
        c.demod->setSquelch(600);
    }
    m_fftWindow.resize(kFftSize);
    for (int i = 0; i < kFftSize; ++i)
        m_fftWindow[static_cast<std::size_t>(i)] =
            static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * (i + 0.5) / kFftSize));
    m_history.assign(kFftSize, Complex{});
    m_fftBuffer.resize(kFftSize);
    m_spectrumPeriod = static_cast<int>(m_frontEnd.workRate() / 12.0);
    m_spectrum.assign(kSpectrumBins, -120.0f);
}

bool Receiver::setMode(int channel, std::string_view mode, double rate)
{
    const auto config = modeFromChannel(mode, rate);
    return config && setMode(channel, *config);
}

bool Receiver::setMode(int channel, const ModeConfig& mode)
{
    if (!valid(channel))
        return false;
    m_channels[static_cast<std::size_t>(channel)].demod->setMode(mode);
    return true;
}

bool Receiver::setCarrier(int channel, double hz)
{
    if (!valid(channel) || !(hz >= 100.0 && hz <= 3900.0))
        return false;
    m_channels[static_cast<std::size_t>(channel)].demod->setCarrier(hz);
    return true;
}

bool Receiver::setSquelch(int channel, int level)
{
    if (!valid(channel))
        return false;
    m_channels[static_cast<std::size_t>(channel)].demod->setSquelch(level);
    return true;
}

bool Receiver::setEnabled(int channel, bool enabled)
{
    if (!valid(channel))
        return false;
    auto& c = m_channels[static_cast<std::size_t>(channel)];
    if (c.enabled && !enabled)
        c.demod->reset();
    c.enabled = enabled;
    return true;
}

int Receiver::state(int channel) const
{
    return valid(channel) ? m_channels[static_cast<std::size_t>(channel)].demod->state() : -1;
}

double Receiver::carrier(int channel) const
{
    return valid(channel) ? m_channels[static_cast<std::size_t>(channel)].demod->carrier() : 0.0;
}

int Receiver::quality(int channel) const
{
    return valid(channel) ? m_channels[static_cast<std::size_t>(channel)].demod->quality() : 0;
}

const ChannelDemodulator* Receiver::channel(int channel) const
{
    return valid(channel) ? m_channels[static_cast<std::size_t>(channel)].demod.get() : nullptr;
}

void Receiver::process(const float* samples, std::size_t count)
{
    // Work in slices so the working buffer stays small whatever the caller passes.
    constexpr std::size_t kSlice = 4096;
    for (std::size_t start = 0; start < count; start += kSlice) {
        const std::size_t n = std::min(kSlice, count - start);
        for (std::size_t i = 0; i < n; ++i) {
            const float x = samples[start + i];
            const double v = std::isfinite(x) ? std::clamp(static_cast<double>(x), -4.0, 4.0) : 0.0;
            m_powerSum += v * v;
        }
        m_powerCount += n;
        m_work.clear();
        m_frontEnd.process(samples + start, n, m_work);
        for (auto& c : m_channels) {
            if (!c.enabled)
                continue;
            m_text.clear();
            c.demod->process(m_work.data(), m_work.size(), m_text);
            c.pending += m_text;
            if (c.pending.size() > kMaxPending)
                c.pending.erase(0, c.pending.size() - kMaxPending);
        }
        for (const Complex& x : m_work)
            spectrumSample(x);
    }
}

std::string Receiver::takeText(int channel)
{
    if (!valid(channel))
        return {};
    std::string out;
    out.swap(m_channels[static_cast<std::size_t>(channel)].pending);
    return out;
}

void Receiver::spectrumSample(Complex x)
{
    m_history[m_historyPos] = x;
    m_historyPos = (m_historyPos + 1) % m_history.size();
    if (++m_sinceSpectrum < m_spectrumPeriod)
        return;
    m_sinceSpectrum = 0;
    for (std::size_t i = 0; i < m_history.size(); ++i)
        m_fftBuffer[i] = m_history[(m_historyPos + i) % m_history.size()] * m_fftWindow[i];
    m_fft.transform(m_fftBuffer);
    const double work = m_frontEnd.workRate();
    const double binHz = work / kFftSize;
    // Full-scale sine: amplitude 1 -> working amplitude 1 -> window sum kFftSize / 2.
    const double reference = (kFftSize / 2.0) * (kFftSize / 2.0);
    for (int b = 0; b < kSpectrumBins; ++b) {
        const double audio = b * kSpectrumStep;
        const double offset = (audio - FrontEnd::centre()) / binHz;
        auto index = static_cast<long>(std::lround(offset));
        index = (index % kFftSize + kFftSize) % kFftSize;
        const double p = std::norm(m_fftBuffer[static_cast<std::size_t>(index)]) / reference;
        m_spectrum[static_cast<std::size_t>(b)] = static_cast<float>(10.0 * std::log10(p + 1e-14));
    }
    m_spectrumFresh = true;
    if (m_powerCount > 0) {
        // Mean square of a full-scale sine is 0.5: call that 0 dBFS.
        m_levelDb = 10.0 * std::log10(2.0 * m_powerSum / static_cast<double>(m_powerCount) + 1e-14);
        m_powerSum = 0.0;
        m_powerCount = 0;
    }
}

bool Receiver::takeSpectrum(std::vector<float>& out)
{
    if (!m_spectrumFresh)
        return false;
    out = m_spectrum;
    m_spectrumFresh = false;
    return true;
}

int Receiver::level() const
{
    return static_cast<int>(std::lround(std::clamp((m_levelDb + 60.0) * 100.0 / 60.0, 0.0, 100.0)));
}

void Receiver::reset()
{
    m_frontEnd.reset();
    for (auto& c : m_channels) {
        c.demod->reset();
        c.pending.clear();
    }
    m_history.assign(kFftSize, Complex{});
    m_historyPos = 0;
    m_sinceSpectrum = 0;
    m_spectrumFresh = false;
    m_powerSum = 0.0;
    m_powerCount = 0;
}

} // namespace hf::modem
