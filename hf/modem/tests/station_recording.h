#pragma once

#include "hf/modem/dsp_types.h"
#include "hf/modem/modulator.h"
#include "hf/modem/resampler.h"
#include "hf/modem/tests/modem_test_util.h"
#include "hf/modem/wav_file.h"

#include <cmath>
#include <random>
#include <stdexcept>
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

/// Builds a recording as a receiver hears it: `leadSeconds` of noise first (a receiver listens
/// to noise until someone transmits), then each transmission at its own SNR with 1.5 s of noise
/// after it, all in one stream of seeded white noise.
class RecordingBuilder {
public:
    RecordingBuilder(double rate, unsigned seed, double leadSeconds = 3.0) : m_rng(seed)
    {
        m_recording.rate = rate;
        gap(leadSeconds);
    }
    std::mt19937& rng() { return m_rng; }
    double rate() const { return m_recording.rate; }

    /// Appends `signal` (its keyed part measured for the level) at `snrDb` in 2500 Hz.
    void add(std::vector<float> signal, double snrDb, std::string body)
    {
        const double rate = m_recording.rate;
        const double wanted = kNoiseRms * kNoiseRms * std::pow(10.0, snrDb / 10.0) * 2500.0 / (rate / 2.0);
        const auto gain = static_cast<float>(std::sqrt(wanted / signalPower(signal)));
        for (auto& v : signal)
            v *= gain;
        m_recording.audio.insert(m_recording.audio.end(), signal.begin(), signal.end());
        m_recording.bodies.push_back(std::move(body));
        gap(1.5);
    }

    StationRecording finish()
    {
        std::normal_distribution<double> g(0.0, kNoiseRms);
        for (auto& v : m_recording.audio)
            v = static_cast<float>(v + g(m_rng));
        return std::move(m_recording);
    }

private:
    static constexpr double kNoiseRms = 0.05;
    void gap(double seconds)
    {
        m_recording.audio.resize(m_recording.audio.size() +
                                 static_cast<std::size_t>(seconds * m_recording.rate));
    }

    std::mt19937 m_rng;
    StationRecording m_recording;
};

/// A frame body of 60..120 characters that names its mode, offset and run.
inline std::string stationBody(int n, const RecordedFrame& fr, unsigned seed, std::mt19937& rng)
{
    std::string body = "N0CALL-" + std::to_string(n) + ">APSK63,WIDE2-1::DK0XYZ-7 :" + fr.mode + " " +
                       std::to_string(static_cast<int>(fr.offset)) + " Hz, run " + std::to_string(seed);
    while (body.size() < 60 + rng() % 40)
        body += " de N0CALL";
    return body;
}

/// Frame `n` of a recording, sent by this program's modulator as a message send does, with an
/// HF audio frequency of `f`.
inline void addModulatedFrame(RecordingBuilder& b, int n, const RecordedFrame& fr, unsigned seed, double f)
{
    std::string body = stationBody(n, fr, seed, b.rng());
    hf::modem::Modulator modulator(*hf::modem::modeFromName(fr.mode), b.rate(), f + fr.offset, 0.5);
    auto signal = modulator.modulate(frame(body));
    b.add(std::move(signal), targetSnr(fr.mode) + fr.aboveTarget, std::move(body));
}

/// Several frames sent by this program's modulator, one after the other in seeded noise, each
/// at its own level, with an HF audio frequency of `f`.
inline StationRecording stationRecording(const std::vector<RecordedFrame>& frames, double rate, double f,
                                         unsigned seed)
{
    RecordingBuilder b(rate, seed);
    int n = 0;
    for (const RecordedFrame& fr : frames)
        addModulatedFrame(b, ++n, fr, seed, f);
    return b.finish();
}

/// A reference recording of tests/data/hf moved to another sample rate and audio frequency:
/// mixed down from its carrier, low-pass resampled and mixed up to `to`. The independent
/// generator's waveform is otherwise left as it is.
inline std::vector<float> movedRecording(const hf::modem::WavAudio& wav, double carrier, double rate,
                                         double to)
{
    using hf::modem::Complex;
    const double inRate = wav.sampleRate;
    hf::modem::Resampler resampler(inRate, rate, 700.0, static_cast<int>(inRate / 90.0) | 1);
    hf::modem::Nco down;
    down.setFrequency(-carrier / inRate);
    std::vector<Complex> base;
    for (float x : wav.samples)
        resampler.process(static_cast<Complex>(static_cast<double>(x) * down.next()), base);
    hf::modem::Nco up;
    up.setFrequency(to / rate);
    std::vector<float> out(base.size());
    for (std::size_t i = 0; i < base.size(); ++i)
        out[i] = 2.0f * (base[i] * static_cast<Complex>(up.next())).real();
    return out;
}

/// A transmission of a station recording made by the independent generator of tests/data/hf
/// (`file`, recorded at `carrier` Hz, sending `body`), or by this program's modulator when
/// `file` is null (the GMSK modes, which only this program defines).
struct IndependentFrame {
    const char* file;
    double carrier;
    const char* body;
    RecordedFrame frame;
};

/// Noise in front of the station check's first frame: a station sends its start-up beacon
/// soon after it starts (about 5 s on GMSK-250 with preamble and postamble) and hears nothing
/// while it transmits.
constexpr double kStationCheckLeadSeconds = 15.0;

/// The frames of the station check: the modes the default channel plan receives, on and off
/// the HF audio frequency, 1 dB above each mode's target.
inline const std::vector<IndependentFrame>& stationCheckFrames()
{
    static const std::vector<IndependentFrame> frames = {
        {"psk63-48k-1500.wav", 1500, "N0CALL>APSK63:=4807.03N/01131.00E>PSK63 reference", {"psk63", 0}},
        {"psk63-48k-1500.wav", 1500, "N0CALL>APSK63:=4807.03N/01131.00E>PSK63 reference", {"psk63", 30}},
        {"psk250-11k-2100.wav", 2100, "N0CALL-7>APSK25,WIDE2-1:>PSK250 reference status", {"psk250", 0}},
        {"mfsk16-11k-2100.wav", 2100, "N0CALL>APSK16::N1CALL   :ack12", {"mfsk16", 0}},
        {"mfsk16-11k-2100.wav", 2100, "N0CALL>APSK16::N1CALL   :ack12", {"mfsk16", -35}},
        {nullptr, 0, nullptr, {"gmsk250", 0}},
        {nullptr, 0, nullptr, {"gmsk250", 50}},
    };
    return frames;
}

/// `frames` in seeded noise, with an HF audio frequency of `f`, after `leadSeconds` of noise.
/// Throws when a reference recording cannot be read.
inline StationRecording independentRecording(const std::vector<IndependentFrame>& frames, double rate,
                                             double f, unsigned seed, double leadSeconds = 3.0)
{
    RecordingBuilder b(rate, seed, leadSeconds);
    int n = 0;
    for (const IndependentFrame& fr : frames) {
        ++n;
        if (fr.file == nullptr) {
            addModulatedFrame(b, n, fr.frame, seed, f);
            continue;
        }
        const auto wav = hf::modem::readWavFile(dataPath(fr.file));
        if (!wav)
            throw std::runtime_error("cannot read " + dataPath(fr.file));
        b.add(movedRecording(*wav, fr.carrier, rate, f + fr.frame.offset),
              targetSnr(fr.frame.mode) + fr.frame.aboveTarget, fr.body);
    }
    return b.finish();
}

} // namespace modemtest
