#pragma once

// How long the modulator's audio for a text lasts, without making it: what a transmit watchdog
// needs to know to let a long frame finish.

#include "hf/modem/mode.h"

#include <string_view>

namespace hf::modem {

/// Seconds of audio Modulator::modulate() makes for `text` in `mode` (preamble, the text's
/// code words, postamble or the MFSK framing and flush), to within a few symbols.
double airTimeSeconds(const ModeConfig& mode, std::string_view text);

} // namespace hf::modem
