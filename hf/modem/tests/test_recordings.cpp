// The reference recordings were made by a generator that shares no code with this modem:
// decoding them exactly is what puts us on the air with everyone else.
#include "hf/modem/channel_plan.h"
#include "hf/modem/demodulator.h"
#include "hf/modem/tests/modem_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace hf::modem;
using namespace modemtest;

namespace {

struct Recording {
    const char* file;
    const char* mode;
    double carrier;
    const char* body;
    bool clean;
    int planChannel;         // channel of the 25-channel plan that decodes it
    const char* channelMode; // channel 0 mode for QPSK (nullptr: plan as written)
    double channelRate;
};

const Recording kRecordings[] = {
    {"psk63-48k-1500.wav", "psk63", 1500, "N0CALL>APSK63:=4807.03N/01131.00E>PSK63 reference", true, 3,
     nullptr, 0},
    {"psk63-11k-2100-noisy.wav", "psk63", 2100, "N0CALL>APSK63::N1CALL   :noisy PSK63 at -6 dB{12", false, 24,
     nullptr, 0},
    {"psk250-11k-2100.wav", "psk250", 2100, "N0CALL-7>APSK25,WIDE2-1:>PSK250 reference status", true, 1,
     nullptr, 0},
    {"qpsk125-11k-2100.wav", "qpsk125", 2100, "N0CALL>APSK14::N1CALL-2 :QPSK125 reference{3", true, 0,
     "qpsk-U", 125},
    {"qpsk250-48k-1500.wav", "qpsk250", 1500, "N0CALL>APSK27:>QPSK250 reference", true, 0, "qpsk-U", 250},
    {"mfsk16-11k-2100.wav", "mfsk16", 2100, "N0CALL>APSK16::N1CALL   :ack12", true, 9, nullptr, 0},
    {"mfsk16-11k-1500-noisy.wav", "mfsk16", 1500, "N0CALL>APSK16:>MFSK16 at -10 dB", false, 10, nullptr, 0},
};

int tableSquelch(const ModeConfig& m)
{
    switch (m.modulation) {
    case Modulation::Bpsk:
    case Modulation::Gmsk:
        return m.baud > 100 ? 1500 : 500;
    case Modulation::Qpsk:
    case Modulation::Mfsk:
        return 1000;
    }
    return 1000;
}

std::string expectedText(const Recording& r)
{
    // The recordings end their frames with CR alone (no LF after it); the frame assembler only
    // needs the "~ " end flag.
    std::string text = frame(r.body);
    text.pop_back();
    if (std::string(r.mode) == "mfsk16")
        text = "\r\x02\r" + text + "\r\x04\r";
    return text;
}

} // namespace

TEST(Recordings, SingleDemodulatorDecodesEachExactly)
{
    for (const auto& r : kRecordings) {
        SCOPED_TRACE(r.file);
        const auto audio = readWavFile(dataPath(r.file));
        ASSERT_TRUE(audio);
        const auto mode = modeFromName(r.mode);
        ASSERT_TRUE(mode);
        Demodulator demod(audio->sampleRate, *mode, r.carrier, tableSquelch(*mode));
        auto samples = pad(audio->samples, audio->sampleRate, 0.0, 1.0);
        const std::string text = runDemodulator(demod, samples, 137);
        const std::string expected = expectedText(r);
        if (r.clean)
            EXPECT_EQ(text, expected);
        else
            EXPECT_NE(text.find(expected), std::string::npos) << text;
    }
}

namespace {

std::string decodeOnPlanChannel(const Recording& r, const WavAudio& audio)
{
    Receiver receiver(audio.sampleRate);
    applyChannelPlan(receiver, r.carrier);
    if (r.channelMode != nullptr) {
        EXPECT_TRUE(receiver.setMode(0, r.channelMode, r.channelRate));
        receiver.setSquelch(0, 1000);
    }
    auto samples = pad(audio.samples, audio.sampleRate, 0.0, 1.0);
    std::string text;
    for (std::size_t i = 0; i < samples.size(); i += 4096) {
        receiver.process(samples.data() + i, std::min<std::size_t>(4096, samples.size() - i));
        text += receiver.takeText(r.planChannel);
    }
    return text;
}

} // namespace

TEST(Recordings, MatchingChannelOfThePlanDecodesEach)
{
    for (const auto& r : kRecordings) {
        SCOPED_TRACE(r.file);
        const auto audio = readWavFile(dataPath(r.file));
        ASSERT_TRUE(audio);
        const std::string text = decodeOnPlanChannel(r, *audio);
        EXPECT_NE(text.find(expectedText(r)), std::string::npos) << text;
    }
}

// Recordings as other programs write them: converted by sox to 24-bit, float and stereo, and
// resampled to 22050 and 44100 Hz, decode to the same frames.
TEST(Recordings, AnyWavFormatDecodesToTheSameFrames)
{
    struct Conversion {
        const char* name;
        const char* soxOutput; // sox options for the output file
        const char* soxEffects;
        int channel;
    };
    const Conversion conversions[] = {
        {"24bit", "-b 24", "", 0},
        {"float", "-e floating-point -b 32", "", 0},
        {"stereo-right", "-c 2", "remix 0 1", 1}, // signal on the second channel only
        {"22050", "", "rate 22050", 0},
        {"44100", "-e floating-point -b 32", "rate 44100", 0},
    };
    const std::string dir = ::testing::TempDir();
    for (const auto& r : kRecordings) {
        if (!r.clean)
            continue;
        for (const auto& c : conversions) {
            SCOPED_TRACE(std::string(r.file) + " " + c.name);
            const std::string out = dir + "/skylark-" + c.name + "-" + r.file;
            const std::string command =
                "sox '" + dataPath(r.file) + "' " + c.soxOutput + " '" + out + "' " + c.soxEffects;
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            EXPECT_FALSE(readWavFile(out, 2)); // no third channel
            const auto audio = readWavFile(out, c.channel);
            ASSERT_TRUE(audio);
            EXPECT_NE(decodeOnPlanChannel(r, *audio).find(expectedText(r)), std::string::npos);
            std::remove(out.c_str());
        }
    }
}
