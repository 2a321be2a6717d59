#pragma once

#include <complex>
#include <numbers>

namespace hf::modem {

using Complex = std::complex<float>;

constexpr double kTwoPi = 2.0 * std::numbers::pi;

/// Numerically controlled oscillator: a unit phasor rotated by a frequency in cycles per sample.
/// The phasor is renormalised regularly so long runs keep unit amplitude.
class Nco {
public:
    /// `cyclesPerSample`: frequency divided by the sample rate (may be negative).
    void setFrequency(double cyclesPerSample) { m_step = std::polar(1.0, kTwoPi * cyclesPerSample); }
    /// Current phasor, then advances one sample.
    std::complex<double> next()
    {
        const std::complex<double> out = m_phasor;
        m_phasor *= m_step;
        if (++m_count >= 512) {
            m_count = 0;
            m_phasor /= std::abs(m_phasor);
        }
        return out;
    }
    void reset()
    {
        m_phasor = {1.0, 0.0};
        m_count = 0;
    }

private:
    std::complex<double> m_phasor{1.0, 0.0};
    std::complex<double> m_step{1.0, 0.0};
    int m_count = 0;
};

} // namespace hf::modem
