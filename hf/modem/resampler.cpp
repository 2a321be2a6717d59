#include "hf/modem/resampler.h"

#include "hf/modem/fir.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hf::modem {

Resampler::Resampler(double inRate, double outRate, double cutoff, int taps)
    : m_taps(taps), m_nominalStep(inRate / outRate), m_step(inRate / outRate)
{
    if (!(inRate > 0.0) || !(outRate > 0.0) || taps < 2 || !(cutoff > 0.0) || cutoff >= inRate / 2.0)
        throw std::invalid_argument("Resampler: bad rates, cutoff or length");
    const auto total = static_cast<std::size_t>(taps * kPhases);
    const std::vector<float> proto = designLowpass(total, cutoff / (inRate * kPhases));
    m_bank.assign(total, 0.0f);
    for (int p = 0; p < kPhases; ++p)
        for (int k = 0; k < taps; ++k)
            m_bank[static_cast<std::size_t>(p * taps + k)] =
                proto[static_cast<std::size_t>(k * kPhases + p)] * static_cast<float>(kPhases);
    m_buffer.assign(static_cast<std::size_t>(2 * taps), Complex{});
}

void Resampler::process(Complex x, std::vector<Complex>& out)
{
    m_buffer[static_cast<std::size_t>(m_pos)] = x;
    m_buffer[static_cast<std::size_t>(m_pos + m_taps)] = x;
    m_pos = m_pos + 1 == m_taps ? 0 : m_pos + 1;
    m_next -= 1.0;
    // Window: oldest at m_pos, newest at m_pos + taps - 1. Tap k of a phase multiplies the sample
    // k places back from the newest; a larger phase means an earlier instant.
    const Complex* newest = m_buffer.data() + m_pos + m_taps - 1;
    while (m_next <= 0.0) {
        const double back = std::min(-m_next, 0.999999);
        const int phase = std::min(static_cast<int>(std::lround(back * kPhases)), kPhases - 1);
        const float* h = m_bank.data() + phase * m_taps;
        float re = 0.0f;
        float im = 0.0f;
        for (int k = 0; k < m_taps; ++k) {
            re += h[k] * newest[-k].real();
            im += h[k] * newest[-k].imag();
        }
        out.emplace_back(re, im);
        m_next += m_step;
    }
}

void Resampler::shift(double delay)
{
    m_next += delay;
}

void Resampler::reset()
{
    std::fill(m_buffer.begin(), m_buffer.end(), Complex{});
    m_pos = 0;
    m_next = 0.0;
    m_step = m_nominalStep;
}

} // namespace hf::modem
