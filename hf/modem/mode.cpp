#include "hf/modem/mode.h"

#include <cmath>

namespace hf::modem {

namespace {

bool near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

} // namespace

std::optional<ModeConfig> modeFromChannel(std::string_view mode, double rate)
{
    ModeConfig m;
    if (mode == "bpsk" || mode == "BPSK") {
        m.modulation = Modulation::Bpsk;
        if (near(rate, 63.0))
            rate = 62.5;
        if (!near(rate, 62.5) && !near(rate, 250.0))
            return std::nullopt;
    } else if (mode == "qpsk-U" || mode == "qpsk-L") {
        m.modulation = Modulation::Qpsk;
        m.reversed = mode == "qpsk-L";
        if (!near(rate, 125.0) && !near(rate, 250.0))
            return std::nullopt;
    } else if (mode == "mfsk-U" || mode == "mfsk-L") {
        m.modulation = Modulation::Mfsk;
        m.reversed = mode == "mfsk-L";
        if (!near(rate, 15.625))
            return std::nullopt;
    } else if (mode == "GMSK" || mode == "gmsk") {
        m.modulation = Modulation::Gmsk;
        if (near(rate, 63.0))
            rate = 62.5;
        if (!near(rate, 62.5) && !near(rate, 250.0))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    m.baud = rate;
    return m;
}

std::optional<ModeConfig> modeFromName(std::string_view name, bool lsb)
{
    if (name == "psk63")
        return ModeConfig{Modulation::Bpsk, 62.5, false};
    if (name == "psk250")
        return ModeConfig{Modulation::Bpsk, 250.0, false};
    if (name == "qpsk125")
        return ModeConfig{Modulation::Qpsk, 125.0, lsb};
    if (name == "qpsk250")
        return ModeConfig{Modulation::Qpsk, 250.0, lsb};
    if (name == "mfsk16")
        return ModeConfig{Modulation::Mfsk, 15.625, lsb};
    if (name == "gmsk63")
        return ModeConfig{Modulation::Gmsk, 62.5, false};
    if (name == "gmsk250")
        return ModeConfig{Modulation::Gmsk, 250.0, false};
    return std::nullopt;
}

std::string modeName(const ModeConfig& mode)
{
    const std::string rate = near(mode.baud, 62.5) ? "63" : std::to_string(std::lround(mode.baud));
    switch (mode.modulation) {
    case Modulation::Bpsk:
        return "PSK" + rate;
    case Modulation::Qpsk:
        return "QPSK" + rate + (mode.reversed ? "-L" : "");
    case Modulation::Mfsk:
        return std::string("MFSK16") + (mode.reversed ? "-L" : "");
    case Modulation::Gmsk:
        return "GMSK" + rate;
    }
    return "?";
}

} // namespace hf::modem
