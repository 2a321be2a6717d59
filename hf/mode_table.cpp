#include "hf/mode_table.h"

#include <cmath>
#include <limits>

namespace hf {

using station::TransmitMode;

QByteArray mfskMode(bool lsb)
{
    return lsb ? QByteArray("mfsk-L") : QByteArray("mfsk-U");
}

std::optional<ModeSetting> selectionSetting(TransmitMode mode, bool lsb)
{
    switch (mode) {
    case TransmitMode::Psk63:
        return ModeSetting{"BPSK", 62.5, 500, "APSK63"};
    case TransmitMode::Psk250:
        return ModeSetting{"BPSK", 250, 1500, "APSK25"};
    case TransmitMode::Qpsk125:
        return ModeSetting{"qpsk-U", 125, 1000, "APSK14"};
    case TransmitMode::Qpsk250:
        return ModeSetting{"qpsk-U", 250, std::nullopt, "APSK27"};
    case TransmitMode::Mfsk16:
        return ModeSetting{mfskMode(lsb), 15.625, 500, "APSK16"};
    case TransmitMode::Gmsk63:
        return ModeSetting{"GMSK", 63, 500, "APSK64"};
    case TransmitMode::Gmsk250:
        return ModeSetting{"GMSK", 250, 1500, "APSK26"};
    case TransmitMode::Ax25Psk63:
        return ModeSetting{"BPSK", 62.5, 500, "APSK63"};
    case TransmitMode::Ax25Mfsk:
        return ModeSetting{mfskMode(lsb), 15.625, 1000, "APSK16"};
    case TransmitMode::Ax25Gmsk:
        return ModeSetting{"GMSK", 250, 500, "APSK26"};
    case TransmitMode::Tnc:
    case TransmitMode::Ax25:
    case TransmitMode::AprsIs:
        break;
    }
    return std::nullopt;
}

std::optional<ModeSetting> sendSetting(TransmitMode mode, bool lsb)
{
    switch (mode) {
    case TransmitMode::Mfsk16:
    case TransmitMode::Ax25Mfsk:
        return ModeSetting{mfskMode(lsb), 15.625, std::nullopt, "APSK16"};
    case TransmitMode::Psk63:
    case TransmitMode::Ax25Psk63:
        return ModeSetting{"BPSK", 62.5, std::nullopt, "APSK63"};
    case TransmitMode::Qpsk125:
        return ModeSetting{"qpsk-U", 125, std::nullopt, "APSK14"};
    case TransmitMode::Psk250:
        return ModeSetting{"BPSK", 250, std::nullopt, "APSK25"};
    case TransmitMode::Qpsk250:
        return ModeSetting{"qpsk-U", 250, std::nullopt, "APSK27"};
    case TransmitMode::Gmsk63:
        return ModeSetting{"GMSK", 62.5, std::nullopt, "APSK64"};
    case TransmitMode::Gmsk250:
    case TransmitMode::Ax25Gmsk:
        return gmsk250Setting();
    case TransmitMode::Tnc:
    case TransmitMode::Ax25:
    case TransmitMode::AprsIs:
        break;
    }
    return std::nullopt;
}

ModeSetting gmsk250Setting()
{
    return ModeSetting{"GMSK", 250, std::nullopt, "APSK26"};
}

ChannelPlanEntry channelPlan(int ch)
{
    if (ch == 0)
        return {QByteArray(), 250, 600};
    if (ch == 1)
        return {"bpsk", 250, 1500};
    if (ch == 3 || ch == 24)
        return {"bpsk", 62.5, 600};
    if (ch == 9 || ch == 10 || (ch >= 15 && ch <= 23))
        return {"mfsk-U", 15.625, 1000};
    return {"GMSK", 250, 1500}; // 2, 4..8, 11..14
}

CarrierPlanEntry carrierPlan(int ch)
{
    using R = CarrierRule;
    static constexpr CarrierPlanEntry Plan[25] = {
        {R::Always, 0},     {R::ChannelOne, 0}, {R::FollowsOne, 0}, {R::FollowsOne, 0}, {R::Reparked, 0},
        {R::Reparked, -25}, {R::Reparked, 25},  {R::Reparked, -50}, {R::Reparked, 50},  {R::Always, 0},
        {R::FollowsOne, 0}, {R::Reparked, -75}, {R::Reparked, 75},  {R::Reparked, 100}, {R::Reparked, -100},
        {R::Reparked, 45},  {R::Always, -15},   {R::Always, 30},    {R::Reparked, -45}, {R::Reparked, 60},
        {R::Reparked, -60}, {R::Reparked, 75},  {R::Reparked, 75},  {R::Always, -30},   {R::Always, 0}};
    return ch >= 0 && ch < 25 ? Plan[ch] : CarrierPlanEntry{};
}

int squelchOffset(int ch)
{
    if (ch == 0 || ch == 2 || ch == 3 || ch == 9 || ch == 10)
        return 250;
    if (ch == 1 || (ch >= 4 && ch <= 8) || ch == 11 || ch == 12 || ch == 23)
        return 1300;
    if (ch >= 13 && ch <= 22)
        return 750;
    return 0; // 24
}

int roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(value); // default rounding mode: to nearest, ties to even
    if (r >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

int indicatorChannel(TransmitMode mode)
{
    switch (mode) {
    case TransmitMode::Mfsk16:
        return 9;
    case TransmitMode::Psk63:
        return 2;
    case TransmitMode::Qpsk125:
        return 17;
    case TransmitMode::Psk250:
        return 4;
    case TransmitMode::Qpsk250:
        return 24;
    case TransmitMode::Gmsk63:
        return 6;
    case TransmitMode::Ax25Mfsk:
        return 20;
    case TransmitMode::Gmsk250:
        return 8;
    default:
        return -1;
    }
}

} // namespace hf
