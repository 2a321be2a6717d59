#pragma once

// A second-order IIR notch on the received audio, to take out one interfering carrier.

#include <cmath>
#include <numbers>

namespace hf::radio {

class NotchFilter {
public:
    /// `hz` the notch frequency (0, below 50 Hz or near half the rate: off), `sampleRate` in Hz.
    /// The notch is about 60 Hz wide at -3 dB.
    void set(double hz, double sampleRate)
    {
        m_on = hz >= 50 && hz < sampleRate / 2 - 100;
        if (!m_on)
            return;
        const double w = 2 * std::numbers::pi * hz / sampleRate;
        const double bw = 2 * std::numbers::pi * 60.0 / sampleRate;
        const double r = 1.0 - bw / 2;
        m_b1 = -2 * std::cos(w);
        m_a1 = -2 * r * std::cos(w);
        m_a2 = r * r;
        // Unity gain far from the notch: normalised at half the sample rate.
        m_gain = (1 - m_a1 + m_a2) / (2 - m_b1);
        m_x1 = m_x2 = m_y1 = m_y2 = 0;
    }
    bool on() const { return m_on; }
    void process(float* samples, std::size_t count)
    {
        if (!m_on)
            return;
        for (std::size_t i = 0; i < count; ++i) {
            const double x = samples[i];
            const double y = m_gain * (x + m_b1 * m_x1 + m_x2) - m_a1 * m_y1 - m_a2 * m_y2;
            m_x2 = m_x1;
            m_x1 = x;
            m_y2 = m_y1;
            m_y1 = std::isfinite(y) ? y : 0.0;
            samples[i] = static_cast<float>(m_y1);
        }
    }

private:
    bool m_on = false;
    double m_b1 = 0, m_a1 = 0, m_a2 = 0, m_gain = 1;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

} // namespace hf::radio
