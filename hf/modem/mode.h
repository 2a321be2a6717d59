#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hf::modem {

enum class Modulation { Bpsk, Qpsk, Mfsk, Gmsk };

/// One on-air mode: modulation, symbol rate and sideband.
struct ModeConfig {
    Modulation modulation = Modulation::Bpsk;
    double baud = 62.5;    ///< symbols per second: 62.5, 125, 250 or 15.625
    bool reversed = false; ///< QPSK: +-90 degrees swapped; MFSK: tones descending

    bool operator==(const ModeConfig&) const = default;
};

/// Channel mode string and rate as the program writes them: "bpsk"/"BPSK", "qpsk-U"/"qpsk-L",
/// "mfsk-U"/"mfsk-L", "GMSK"/"gmsk"; rate 15.625, 62.5, 63 (= 62.5), 125 or 250.
/// Returns nothing for a combination the modem does not have.
std::optional<ModeConfig> modeFromChannel(std::string_view mode, double rate);

/// Command-line names: psk63 psk250 qpsk125 qpsk250 mfsk16 gmsk63 gmsk250; `lsb` selects the
/// reversed QPSK/MFSK variant.
std::optional<ModeConfig> modeFromName(std::string_view name, bool lsb = false);

/// Short name for messages and tables, e.g. "PSK63", "QPSK250-L", "MFSK16".
std::string modeName(const ModeConfig& mode);

} // namespace hf::modem
