#pragma once

#include "hf/modem/dsp_types.h"

#include <vector>

namespace hf::modem {

/// In-place radix-2 complex FFT of a fixed power-of-two size.
class Fft {
public:
    explicit Fft(int size);
    void transform(std::vector<Complex>& data) const;
    int size() const { return m_size; }

private:
    int m_size;
    std::vector<Complex> m_twiddle;
    std::vector<int> m_bitReverse;
};

} // namespace hf::modem
