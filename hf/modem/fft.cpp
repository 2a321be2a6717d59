#include "hf/modem/fft.h"

#include <stdexcept>
#include <utility>

namespace hf::modem {

Fft::Fft(int size) : m_size(size)
{
    if (size < 2 || (size & (size - 1)) != 0)
        throw std::invalid_argument("Fft: size must be a power of two");
    m_twiddle.resize(static_cast<std::size_t>(size / 2));
    for (int i = 0; i < size / 2; ++i)
        m_twiddle[static_cast<std::size_t>(i)] = std::polar(1.0f, static_cast<float>(-kTwoPi * i / size));
    m_bitReverse.resize(static_cast<std::size_t>(size));
    int bits = 0;
    while ((1 << bits) < size)
        ++bits;
    for (int i = 0; i < size; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        m_bitReverse[static_cast<std::size_t>(i)] = r;
    }
}

void Fft::transform(std::vector<Complex>& data) const
{
    if (static_cast<int>(data.size()) != m_size)
        throw std::invalid_argument("Fft: wrong data size");
    for (int i = 0; i < m_size; ++i) {
        const int r = m_bitReverse[static_cast<std::size_t>(i)];
        if (r > i)
            std::swap(data[static_cast<std::size_t>(i)], data[static_cast<std::size_t>(r)]);
    }
    for (int len = 2; len <= m_size; len <<= 1) {
        const int half = len / 2;
        const int stride = m_size / len;
        for (int start = 0; start < m_size; start += len) {
            for (int k = 0; k < half; ++k) {
                const Complex w = m_twiddle[static_cast<std::size_t>(k * stride)];
                Complex& a = data[static_cast<std::size_t>(start + k)];
                Complex& b = data[static_cast<std::size_t>(start + k + half)];
                const Complex t = b * w;
                b = a - t;
                a += t;
            }
        }
    }
}

} // namespace hf::modem
