#include "hf/modem/front_end.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hf::modem {

namespace {

int decimationFor(double sampleRate)
{
    if (!(sampleRate >= 8000.0 && sampleRate <= 192000.0))
        throw std::invalid_argument("FrontEnd: sample rate out of range");
    // Working rate near 4 kHz but never below 3.6 kHz (the band is +-1450 Hz wide).
    return std::max(1, static_cast<int>(std::floor(sampleRate / 3600.0)));
}

std::vector<float> frontTaps(double sampleRate, int factor)
{
    const double work = sampleRate / factor;
    const double pass = 1450.0;
    const double stop = std::max(work - pass, pass + 200.0);
    // Blackman: transition about 5.5 / taps of the sample rate.
    const auto taps = static_cast<std::size_t>(std::ceil(5.5 * sampleRate / (stop - pass))) | 1u;
    return designLowpass(taps, (pass + stop) / 2.0 / sampleRate);
}

} // namespace

FrontEnd::FrontEnd(double sampleRate)
    : m_sampleRate(sampleRate), m_factor(decimationFor(sampleRate)), m_workRate(sampleRate / m_factor),
      m_decimator(frontTaps(sampleRate, m_factor), centre() / sampleRate, m_factor)
{
}

void FrontEnd::process(const float* samples, std::size_t count, std::vector<Complex>& out)
{
    Complex y;
    for (std::size_t i = 0; i < count; ++i) {
        // A broken source may deliver NaN or huge values: they would poison every filter for
        // good, so they become silence or are clipped.
        float x = samples[i];
        if (!std::isfinite(x))
            x = 0.0f;
        x = std::clamp(x, -4.0f, 4.0f);
        if (m_decimator.process(x, y))
            out.push_back(y * 2.0f); // restore the amplitude halved by taking one sideband
    }
}

void FrontEnd::reset()
{
    m_decimator.reset();
}

} // namespace hf::modem
