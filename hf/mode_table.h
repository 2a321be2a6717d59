#pragma once

// The HF modes: what each "Transmit" option writes to the modem's channel 0, the tocall of
// its packets, the 25-channel receive plan and the squelch offsets. Pure tables.

#include "station/station_state.h"

#include <QByteArray>

#include <optional>

namespace hf {

/// Channel 0 set-up for one transmit option.
struct ModeSetting {
    QByteArray mode;            ///< modem channel mode, e.g. "GMSK", "mfsk-L"
    double rate = 0.0;          ///< baud
    std::optional<int> squelch; ///< written when the option is selected; none = unchanged
    QByteArray tocall;          ///< destination of every HF packet sent in this mode
};

/// What selecting `mode` writes to channel 0 (squelch, mode, rate); nullopt for the options
/// that leave the modem alone ("TNC", "AX.25", "APRS-IS").
std::optional<ModeSetting> selectionSetting(station::TransmitMode mode, bool lsb);

/// The mode and rate written to channel 0 just before each send in `mode`; nullopt when the
/// option does not send on the modem (nothing is queued then). "GMSK-63" sends at 62.5 baud
/// although selecting it sets 63.
std::optional<ModeSetting> sendSetting(station::TransmitMode mode, bool lsb);

/// The setting every digipeat and every APRS-IS-to-HF gated packet goes out in: GMSK 250.
ModeSetting gmsk250Setting();

/// "mfsk-L" with "LSB Tx mode" ticked, otherwise "mfsk-U".
QByteArray mfskMode(bool lsb);

/// Receive channel plan entry written at start-up.
struct ChannelPlanEntry {
    QByteArray mode; ///< empty for channel 0 (its mode follows the transmit option)
    double rate = 0.0;
    int squelch = 0;
};
ChannelPlanEntry channelPlan(int channel);

/// How a channel's carrier is kept on each periodic modem event.
enum class CarrierRule {
    Always,     ///< set to F + offset on every event
    Reparked,   ///< set to F + offset only while the channel is idle
    FollowsOne, ///< set to channel 1's carrier on every event
    ChannelOne, ///< the remembered carrier R (channel 1 itself)
};
struct CarrierPlanEntry {
    CarrierRule rule = CarrierRule::Always;
    int offsetHz = 0; ///< from the HF audio frequency F
};
CarrierPlanEntry carrierPlan(int channel);

/// The five MFSK channels that follow "LSB Tx mode".
inline constexpr int kMfskChannels[] = {9, 10, 16, 17, 23};

/// Offset added to level / 4 for a channel's squelch when the level meter reports a level.
int squelchOffset(int channel);

/// Whole hertz (or level) from a double: nearest integer, halves to the even neighbour.
int roundHalfEven(double value);

/// The channel whose state colours a transmit option on every periodic event, or -1.
int indicatorChannel(station::TransmitMode mode);

} // namespace hf
