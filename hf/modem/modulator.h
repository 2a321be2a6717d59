#pragma once

#include "hf/modem/mode.h"

#include <string_view>
#include <vector>

namespace hf::modem {

/// Turns text into audio for one mode at one carrier: preamble, the text, postamble, exactly as
/// the modes are defined on the air. Output samples are in -1..+1 (peak `amplitude`), ramped at
/// key-down and key-up so there are no clicks.
class Modulator {
public:
    /// `sampleRate` in Hz (8000..192000; 11025 and 48000 are the sound-card rates; other values
    /// simulate a sender whose clock is off); `carrier` in Hz, centre of the signal
    /// (200..3500); `amplitude` 0..1. Throws std::invalid_argument on bad values.
    Modulator(ModeConfig mode, double sampleRate, double carrier, double amplitude = 0.8);

    /// Whole transmission of `text` (any byte values).
    std::vector<float> modulate(std::string_view text);
    /// Steady carrier at the carrier frequency for `seconds` (tune), ramped at both ends.
    std::vector<float> tune(double seconds) const;

    const ModeConfig& mode() const { return m_mode; }
    double sampleRate() const { return m_sampleRate; }
    double carrier() const { return m_carrier; }

private:
    std::vector<float> renderPhaseSymbols(const std::vector<int>& quarterTurns) const;
    std::vector<float> renderMfsk(const std::vector<int>& tones) const;
    std::vector<float> renderGmsk(const std::vector<int>& bits) const;
    int preambleSymbols() const;

    ModeConfig m_mode;
    double m_sampleRate;
    double m_carrier;
    double m_amplitude;
};

} // namespace hf::modem
