#pragma once

#include "hf/modem/mode.h"

#include <optional>
#include <string>
#include <vector>

namespace hf::modem {

/// Squelch of the transmit-mode table for a mode (what channel 0 gets when it is selected).
int tableSquelch(const ModeConfig& mode);
/// The program's channel mode string for an on-air mode ("bpsk", "qpsk-U", "mfsk-L", "GMSK").
std::string channelModeString(const ModeConfig& mode);

/// Decodes a recording on the station's 25-channel plan around `hfAudioFrequency`, the way the
/// command line's "decode --plan" does: channel 0 in `channel0` (default GMSK250) at the mode
/// table's squelch, every channel at `squelch` when given, one second of silence after the
/// audio so the last characters come out. Returns each channel's text.
std::vector<std::string> decodeWithPlan(const std::vector<float>& samples, double sampleRate,
                                        double hfAudioFrequency, std::optional<ModeConfig> channel0 = {},
                                        std::optional<int> squelch = {});

} // namespace hf::modem
