#pragma once

#include "hf/modem/dsp_types.h"

#include <memory>
#include <vector>

namespace hf::modem {

/// Arbitrary-ratio polyphase resampler with a low-pass built in: outputs are computed only at
/// the output instants, which may be moved (timing recovery) while it runs.
class Resampler {
public:
    /// `inRate`, `outRate` in Hz; `cutoff` in Hz (< both Nyquist limits);
    /// `taps`: filter length at the input rate.
    Resampler(double inRate, double outRate, double cutoff, int taps);

    /// Feeds one input sample; appends 0 or more outputs to `out`.
    void process(Complex x, std::vector<Complex>& out);
    /// Moves the following output instants later by `delay` input samples (negative: earlier).
    void shift(double delay);
    /// Scales the output step; `ratio` 1.0 = nominal.
    void setRateTrim(double ratio) { m_step = m_nominalStep * ratio; }
    void reset();

private:
    int m_taps;
    std::shared_ptr<const std::vector<float>> m_bank; // [phase][tap], the oldest sample's tap first
    std::vector<float> m_re; // the input's real and imaginary parts, each window stored twice
    std::vector<float> m_im;
    int m_pos = 0;
    double m_nominalStep;
    double m_step;
    double m_next = 0.0; // time of the next output relative to the newest input, input samples
};

} // namespace hf::modem
