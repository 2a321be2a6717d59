#pragma once

#include "hf/modem/modulator.h"
#include "hf/modem/tests/modem_test_util.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace modemtest {

/// One transmission of a station recording: mode, Hz off the HF audio frequency, SNR above the
/// mode's 2 % character-error target.
struct RecordedFrame {
    const char* mode;
    double offset;
    double aboveTarget = 1.0;
};

/// SNR (dB in 2500 Hz) at which each mode is meant to reach 2 % character errors.
inline double targetSnr(const std::string& mode)
{
    if (mode == "psk63")
        return -8.5;
    if (mode == "psk250" || mode == "qpsk250" || mode == "gmsk250")
        return mode == "psk250" ? -2.0 : -1.0;
    if (mode == "qpsk125")
        return -3.0;
    if (mode == "mfsk16")
        return -14.0;
    return -7.0; // gmsk63
}

struct StationRecording {
    double rate = 0.0;
    std::vector<float> audio;
    std::vector<std::string> bodies; ///< one per frame, in order
};

/// Several frames one after the other in one stream of seeded white noise (3 s of it first, as
/// a receiver listens to noise until someone transmits, and 1.5 s between frames), each frame
/// sent as a message send does, with a body of 60..120 characters, at its own level.
inline StationRecording stationRecording(const std::vector<RecordedFrame>& frames, double rate, double f,
                                         unsigned seed)
{
    StationRecording r;
    r.rate = rate;
    std::mt19937 rng(seed);
    const double noiseRms = 0.05;
    const auto gap = [&](double seconds) {
        r.audio.resize(r.audio.size() + static_cast<std::size_t>(seconds * rate));
    };
    gap(3.0);
    int n = 0;
    for (const RecordedFrame& fr : frames) {
        const auto mode = *hf::modem::modeFromName(fr.mode);
        std::string body = "N0CALL-" + std::to_string(++n) + ">APSK63,WIDE2-1::DK0XYZ-7 :" + fr.mode + " " +
                           std::to_string(static_cast<int>(fr.offset)) + " Hz, run " + std::to_string(seed);
        while (body.size() < 60 + rng() % 40)
            body += " de N0CALL";
        hf::modem::Modulator modulator(mode, rate, f + fr.offset, 0.5);
        auto signal = modulator.modulate(frame(body));
        const double snr = targetSnr(fr.mode) + fr.aboveTarget;
        const double wanted = noiseRms * noiseRms * std::pow(10.0, snr / 10.0) * 2500.0 / (rate / 2.0);
        const auto gain = static_cast<float>(std::sqrt(wanted / signalPower(signal)));
        for (auto& v : signal)
            v *= gain;
        r.audio.insert(r.audio.end(), signal.begin(), signal.end());
        r.bodies.push_back(body);
        gap(1.5);
    }
    std::normal_distribution<double> g(0.0, noiseRms);
    for (auto& v : r.audio)
        v = static_cast<float>(v + g(rng));
    return r;
}

} // namespace modemtest
