#pragma once

#include "hf/modem/dsp_types.h"

#include <cstddef>
#include <vector>

namespace hf::modem {

/// Windowed-sinc low-pass (Blackman window), unity gain at DC.
/// `cutoff`: -6 dB point in cycles per sample (0 < cutoff < 0.5); `taps` >= 1.
std::vector<float> designLowpass(std::size_t taps, double cutoff);

/// Hann-window pulse of `length` samples normalised to unity DC gain (the matched filter of the
/// raised-cosine PSK pulse when `length` is two symbols).
std::vector<float> hannPulse(std::size_t length);

/// Half a sine period of `length` samples normalised to unity DC gain (MSK's pulse on each of
/// its two rails).
std::vector<float> halfSinePulse(std::size_t length);

/// Real-coefficient FIR filter over complex samples, one output per input.
class ComplexFir {
public:
    explicit ComplexFir(std::vector<float> taps);
    Complex process(Complex x);
    void reset();
    std::size_t length() const { return m_taps.size(); }

private:
    std::vector<float> m_taps;
    std::vector<Complex> m_buffer; // twice the length, so a window is always contiguous
    std::size_t m_pos = 0;
};

/// Mixes a real signal down by a fixed frequency and low-pass filters and decimates it, computing
/// only the outputs that are kept (one per `factor` inputs).
class MixDecimator {
public:
    /// `shift`: frequency moved to 0, cycles per input sample; `factor` >= 1.
    MixDecimator(std::vector<float> taps, double shift, int factor);
    /// Feeds one real sample; returns true and sets `out` when an output is due.
    bool process(float x, Complex& out);
    void reset();

private:
    std::vector<float> m_taps;
    std::vector<Complex> m_buffer;
    std::size_t m_pos = 0;
    int m_factor;
    int m_phase = 0;
    double m_shift;
    Nco m_nco;
};

} // namespace hf::modem
