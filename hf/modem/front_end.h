#pragma once

#include "hf/modem/fir.h"

#include <vector>

namespace hf::modem {

/// The receive front end shared by all channels: the audio band around `centre()` is mixed to
/// zero, low-pass filtered and decimated once to a low complex working rate (3675 Hz from
/// 11025, 4000 Hz from 48000), covering about centre +-1450 Hz (150..3050 Hz of audio).
class FrontEnd {
public:
    /// `sampleRate` in Hz, 8000..192000. Throws std::invalid_argument otherwise.
    explicit FrontEnd(double sampleRate);

    /// Feeds real samples; appends the working-rate output to `out`.
    void process(const float* samples, std::size_t count, std::vector<Complex>& out);
    void reset();

    double sampleRate() const { return m_sampleRate; }
    double workRate() const { return m_workRate; }
    /// Audio frequency that lands on 0 Hz in the working signal.
    static constexpr double centre() { return 1600.0; }

private:
    double m_sampleRate;
    int m_factor;
    double m_workRate;
    MixDecimator m_decimator;
};

} // namespace hf::modem
