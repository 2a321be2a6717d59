#include "hf/modem/fir.h"

#include <cmath>
#include <string>
#include <stdexcept>

namespace hf::modem {

std::vector<float> designLowpass(std::size_t taps, double cutoff)
{
    if (taps == 0 || !(cutoff > 0.0 && cutoff < 0.5))
        throw std::invalid_argument("designLowpass: bad length or cutoff");
    std::vector<double> h(taps);
    const double mid = static_cast<double>(taps - 1) / 2.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < taps; ++i) {
        const double t = static_cast<double>(i) - mid;
        const double sinc = t == 0.0 ? 2.0 * cutoff : std::sin(kTwoPi * cutoff * t) / (std::numbers::pi * t);
        const double x = taps == 1 ? 0.5 : static_cast<double>(i) / static_cast<double>(taps - 1);
        const double window = 0.42 - 0.5 * std::cos(kTwoPi * x) + 0.08 * std::cos(2.0 * kTwoPi * x);
        h[i] = sinc * window;
        sum += h[i];
    }
    std::vector<float> out(taps);
    for (std::size_t i = 0; i < taps; ++i)
        out[i] = static_cast<float>(h[i] / sum);
    return out;
}

namespace {

/// `shape` at the middle of each of `length` samples across (0, 1), normalised to unity DC gain.
template <typename Shape> std::vector<float> pulse(std::size_t length, Shape shape, const char* name)
{
    if (length == 0)
        throw std::invalid_argument(std::string(name) + ": empty");
    std::vector<double> h(length);
    double sum = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        h[i] = shape((static_cast<double>(i) + 0.5) / static_cast<double>(length));
        sum += h[i];
    }
    std::vector<float> out(length);
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<float>(h[i] / sum);
    return out;
}

} // namespace

std::vector<float> hannPulse(std::size_t length)
{
    return pulse(
        length, [](double x) { return 0.5 - 0.5 * std::cos(kTwoPi * x); }, "hannPulse");
}

std::vector<float> halfSinePulse(std::size_t length)
{
    return pulse(
        length, [](double x) { return std::sin(kTwoPi * x / 2.0); }, "halfSinePulse");
}

ComplexFir::ComplexFir(std::vector<float> taps) : m_taps(std::move(taps))
{
    if (m_taps.empty())
        throw std::invalid_argument("ComplexFir: no taps");
    m_buffer.assign(2 * m_taps.size(), Complex{});
}

Complex ComplexFir::process(Complex x)
{
    const std::size_t n = m_taps.size();
    m_buffer[m_pos] = x;
    m_buffer[m_pos + n] = x;
    m_pos = m_pos + 1 == n ? 0 : m_pos + 1;
    // Oldest sample at m_pos, newest at m_pos + n - 1.
    float re = 0.0f;
    float im = 0.0f;
    const Complex* w = m_buffer.data() + m_pos;
    for (std::size_t i = 0; i < n; ++i) {
        re += m_taps[i] * w[i].real();
        im += m_taps[i] * w[i].imag();
    }
    return {re, im};
}

void ComplexFir::reset()
{
    std::fill(m_buffer.begin(), m_buffer.end(), Complex{});
    m_pos = 0;
}

MixDecimator::MixDecimator(std::vector<float> taps, double shift, int factor)
    : m_taps(std::move(taps)), m_factor(factor), m_shift(shift)
{
    if (m_taps.empty() || factor < 1)
        throw std::invalid_argument("MixDecimator: bad taps or factor");
    m_buffer.assign(2 * m_taps.size(), Complex{});
    m_nco.setFrequency(-shift);
}

bool MixDecimator::process(float x, Complex& out)
{
    const std::size_t n = m_taps.size();
    const std::complex<double> lo = m_nco.next();
    const Complex v{static_cast<float>(x * lo.real()), static_cast<float>(x * lo.imag())};
    m_buffer[m_pos] = v;
    m_buffer[m_pos + n] = v;
    m_pos = m_pos + 1 == n ? 0 : m_pos + 1;
    if (++m_phase < m_factor)
        return false;
    m_phase = 0;
    float re = 0.0f;
    float im = 0.0f;
    const Complex* w = m_buffer.data() + m_pos;
    for (std::size_t i = 0; i < n; ++i) {
        re += m_taps[i] * w[i].real();
        im += m_taps[i] * w[i].imag();
    }
    out = {re, im};
    return true;
}

void MixDecimator::reset()
{
    std::fill(m_buffer.begin(), m_buffer.end(), Complex{});
    m_pos = 0;
    m_phase = 0;
    m_nco.reset();
    m_nco.setFrequency(-m_shift);
}

} // namespace hf::modem
