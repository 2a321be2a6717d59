#pragma once

#include "hf/modem/receiver.h"

#include <array>
#include <string_view>

namespace hf::modem {

/// The station's 25-channel receive plan: mode, rate and squelch written at start-up, and each
/// channel's parking place as an offset in Hz from the HF audio frequency.
struct ChannelPlanEntry {
    std::string_view mode;
    double rate;
    int squelch;
    double offset; ///< Hz from the HF audio frequency
};

/// Channel 0 is the transmit channel; the program sets it from the transmit option (GMSK-250 when
/// the window opens), which is what this table holds for it.
inline constexpr std::array<ChannelPlanEntry, Receiver::kChannels> kChannelPlan = {{
    {"GMSK", 250, 1500, 0},        {"bpsk", 250, 1500, 0},        {"GMSK", 250, 1500, 0},
    {"bpsk", 62.5, 600, 0},        {"GMSK", 250, 1500, 0},        {"GMSK", 250, 1500, -25},
    {"GMSK", 250, 1500, 25},       {"GMSK", 250, 1500, -50},      {"GMSK", 250, 1500, 50},
    {"mfsk-U", 15.625, 1000, 0},   {"mfsk-U", 15.625, 1000, 0},   {"GMSK", 250, 1500, -75},
    {"GMSK", 250, 1500, 75},       {"GMSK", 250, 1500, 100},      {"GMSK", 250, 1500, -100},
    {"mfsk-U", 15.625, 1000, 45},  {"mfsk-U", 15.625, 1000, -15}, {"mfsk-U", 15.625, 1000, 30},
    {"mfsk-U", 15.625, 1000, -45}, {"mfsk-U", 15.625, 1000, 60},  {"mfsk-U", 15.625, 1000, -60},
    {"mfsk-U", 15.625, 1000, 75},  {"mfsk-U", 15.625, 1000, 75},  {"mfsk-U", 15.625, 1000, -30},
    {"bpsk", 62.5, 600, 0},
}};

/// Writes the whole plan around HF audio frequency `f` (Hz) into `receiver`.
inline void applyChannelPlan(Receiver& receiver, double f)
{
    for (int ch = 0; ch < Receiver::kChannels; ++ch) {
        const auto& e = kChannelPlan[static_cast<std::size_t>(ch)];
        receiver.setMode(ch, e.mode, e.rate);
        receiver.setSquelch(ch, e.squelch);
        receiver.setCarrier(ch, f + e.offset);
    }
}

} // namespace hf::modem
