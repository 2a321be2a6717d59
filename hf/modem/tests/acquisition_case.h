#pragma once

#include "hf/modem/modulator.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace modemtest {

/// A transmission after a random stretch of noise, as on the air: 0.5..10 s of white noise, then
/// the frame sent up to 40 Hz off 1500 Hz, at 11025 or 48000 Hz, then a second of noise. All
/// drawn from `seed`; `snrDb` in 2500 Hz.
struct AcquisitionCase {
    double rate = 0.0;
    double lead = 0.0;
    double offset = 0.0;
    std::string body; ///< must come out whole
    std::vector<float> audio;
};

/// The same with the rate, the lead and the offset given; the noise and the text from `seed`.
/// With `missed` > 0 the transmission is heard from its middle, as by a receiver tuned to it
/// while it is under way: the frame follows about four seconds of other text, and the first
/// `missed` seconds (the preamble and some of that text) never reach the receiver.
inline AcquisitionCase transmissionAfterNoise(const hf::modem::ModeConfig& mode, unsigned seed, double snrDb,
                                              double rate, double lead, double offset, std::mt19937& rng,
                                              double missed = 0.0)
{
    AcquisitionCase c;
    c.rate = rate;
    c.lead = lead;
    c.offset = offset;
    c.body = "N0CALL>APRS,WIDE1-1::DK0XYZ-7 :acquisition test " + std::to_string(seed);
    // Text at about nine bits a character: a bit a symbol, two for MFSK16.
    const double charactersIn4s =
        4.0 * mode.baud * (mode.modulation == hf::modem::Modulation::Mfsk ? 2.0 : 1.0) / 9.0;
    std::string before;
    while (missed > 0.0 && static_cast<double>(before.size()) < charactersIn4s)
        before += "the quick brown fox jumps over the lazy dog ";
    hf::modem::Modulator modulator(mode, c.rate, 1500.0 + c.offset, 0.5);
    auto signal = modulator.modulate(before + "~" + c.body + "\t~   \r\n");
    signal.erase(signal.begin(),
                 signal.begin() + static_cast<std::ptrdiff_t>(
                                      std::min(signal.size(), static_cast<std::size_t>(missed * c.rate))));
    double power = 0.0;
    for (float v : signal)
        power += static_cast<double>(v) * v;
    power /= static_cast<double>(std::max<std::size_t>(signal.size(), 1));
    c.audio.assign(static_cast<std::size_t>(c.lead * c.rate), 0.0f);
    c.audio.insert(c.audio.end(), signal.begin(), signal.end());
    c.audio.resize(c.audio.size() + static_cast<std::size_t>(c.rate), 0.0f);
    std::normal_distribution<double> g(
        0.0, std::sqrt(power / std::pow(10.0, snrDb / 10.0) * (c.rate / 2.0) / 2500.0));
    for (auto& v : c.audio)
        v = static_cast<float>(v + g(rng));
    return c;
}

inline AcquisitionCase acquisitionCase(const hf::modem::ModeConfig& mode, unsigned seed, double snrDb,
                                       double missed = 0.0)
{
    std::mt19937 rng(seed);
    const double rate = (rng() & 1) != 0 ? 11025.0 : 48000.0;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const double lead = 0.5 + 9.5 * uniform(rng);
    const double offset = -40.0 + 80.0 * uniform(rng);
    return transmissionAfterNoise(mode, seed, snrDb, rate, lead, offset, rng, missed);
}

/// A frame `offset` Hz off after 0.5..5 s of noise (drawn from `seed`), at 11025 Hz.
inline AcquisitionCase offsetAfterNoise(const hf::modem::ModeConfig& mode, unsigned seed, double snrDb,
                                        double offset)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const double lead = 0.5 + 4.5 * uniform(rng);
    return transmissionAfterNoise(mode, seed, snrDb, 11025.0, lead, offset, rng);
}

} // namespace modemtest
