#pragma once

#include "hf/modem/mfsk_interleaver.h"
#include "hf/modem/viterbi.h"

#include <algorithm>
#include <array>

namespace hf::modem {

/// How well MFSK16 symbols read on one tone set fit the convolutional code: their soft bits go
/// through a deinterleaver and two decoders one coded bit apart (a receiver does not know which
/// coded bit a symbol starts with); the better decoder's best-path gain per coded bit, averaged
/// over about 16 symbols, is the fit: near 1 on a clean signal on the right tones, about 0.17 on
/// noise, well under the right tone set's on a tone set one or more bins off. Symbols whose
/// strongest tone repeats within two symbols (a steady tone or a carrier, which fit the code
/// like a run of zeros) leave the average as it is.
class MfskCodeFit {
public:
    MfskCodeFit();

    /// One symbol: its four soft bits (-1..1, the first bit first) and its strongest tone.
    void push(const std::array<float, 4>& soft, int strongestTone);
    double fit() const
    {
        return std::max(m_gain[0] / std::max(m_size[0], 1e-9), m_gain[1] / std::max(m_size[1], 1e-9));
    }
    /// Whether enough hopping symbols have passed the deinterleaver for fit() to mean anything.
    bool ready() const { return m_counted >= kReady; }
    void reset();

private:
    MfskInterleaver<float> m_deinterleaver{false};
    std::array<ViterbiDecoder, 2> m_decoders;
    std::array<double, 2> m_gain{};
    std::array<double, 2> m_size{}; // what a path that fits every bit would gain
    float m_pending = 0.0f;
    long long m_coded = 0;
    std::array<int, 2> m_lastTones{-1, -1};
    static constexpr int kReady = 48; // the deinterleaver's 30 symbols and some more
    int m_counted = 0;
};

} // namespace hf::modem
