#include "hf/modem/channel_plan.h"
#include "hf/modem/modulator.h"
#include "hf/modem/receiver.h"
#include "hf/modem/tests/modem_test_util.h"

#include <gtest/gtest.h>

#include <limits>

using namespace hf::modem;
using namespace modemtest;

TEST(Receiver, SpectrumShowsATonePeakAndLevelFollowsInput)
{
    for (double rate : {11025.0, 48000.0}) {
        Receiver receiver(rate);
        Modulator m(*modeFromName("psk63"), rate, 1230);
        const auto tone = m.tune(1.0);
        receiver.process(tone.data(), tone.size());
        std::vector<float> spectrum;
        ASSERT_TRUE(receiver.takeSpectrum(spectrum));
        EXPECT_FALSE(receiver.takeSpectrum(spectrum)); // nothing new since
        receiver.process(tone.data(), tone.size());
        int updates = 0;
        // About 12 updates a second: at least 10.
        for (std::size_t i = 0; i < tone.size(); i += 256) {
            receiver.process(tone.data() + i, std::min<std::size_t>(256, tone.size() - i));
            updates += receiver.takeSpectrum(spectrum) ? 1 : 0;
        }
        EXPECT_GE(updates, 10);
        ASSERT_EQ(spectrum.size(), static_cast<std::size_t>(Receiver::kSpectrumBins));
        const auto peak = std::max_element(spectrum.begin(), spectrum.end()) - spectrum.begin();
        EXPECT_NEAR(static_cast<double>(peak) * Receiver::kSpectrumStep, 1230.0, 10.0);
        EXPECT_NEAR(receiver.levelDb(), -1.9, 1.0); // amplitude 0.8
        EXPECT_GT(receiver.level(), 90);
    }
}

TEST(Receiver, ChannelSettingsChangeWhileRunningAndBadOnesAreRefused)
{
    Receiver receiver(11025);
    applyChannelPlan(receiver, 2100);
    EXPECT_DOUBLE_EQ(receiver.carrier(13), 2200.0);
    EXPECT_DOUBLE_EQ(receiver.carrier(20), 2040.0);
    EXPECT_FALSE(receiver.setMode(25, "bpsk", 62.5));
    EXPECT_FALSE(receiver.setMode(3, "qpsk-U", 62.5));
    EXPECT_FALSE(receiver.setCarrier(3, 5000));
    EXPECT_EQ(receiver.state(-1), -1);

    // Park a PSK63 channel away from the signal, then move it onto the signal mid-stream.
    Modulator m(*modeFromName("psk63"), 11025, 1700);
    const auto audio = pad(m.modulate(frame("N0CALL>APSK63:moved")), 11025, 0.5, 1.0);
    receiver.setMode(24, "BPSK", 63);
    receiver.setCarrier(24, 900);
    const std::size_t half = 2000;
    receiver.process(audio.data(), half);
    receiver.setCarrier(24, 1700);
    receiver.process(audio.data() + half, audio.size() - half);
    EXPECT_NE(receiver.takeText(24).find(frame("N0CALL>APSK63:moved")), std::string::npos);
    EXPECT_EQ(receiver.takeText(24), "");
}

TEST(Receiver, TwoSignalsOnTwoChannelsAtOnce)
{
    const double rate = 48000;
    Modulator a(*modeFromName("psk63"), rate, 1000);
    Modulator b(*modeFromName("mfsk16"), rate, 2000);
    auto sa = pad(a.modulate(frame("N0CALL>APSK63:one")), rate, 0.3, 1.0);
    auto sb = pad(b.modulate(frame("N0CALL>APSK16:two")), rate, 0.3, 1.0);
    sa.resize(std::max(sa.size(), sb.size()), 0.0f);
    for (std::size_t i = 0; i < sb.size(); ++i)
        sa[i] = 0.5f * (sa[i] + sb[i]);
    Receiver receiver(rate);
    applyChannelPlan(receiver, 2000);
    receiver.setCarrier(3, 1000);
    std::string t3;
    std::string t9;
    for (std::size_t i = 0; i < sa.size(); i += 137) {
        receiver.process(sa.data() + i, std::min<std::size_t>(137, sa.size() - i));
        t3 += receiver.takeText(3);
        t9 += receiver.takeText(9);
    }
    EXPECT_NE(t3.find(frame("N0CALL>APSK63:one")), std::string::npos) << t3;
    EXPECT_NE(t9.find(frame("N0CALL>APSK16:two")), std::string::npos) << t9;
}

TEST(Receiver, GarbageInputDoesNotPoisonTheChannels)
{
    const double rate = 11025;
    std::vector<float> junk(5000, std::numeric_limits<float>::quiet_NaN());
    for (std::size_t i = 0; i < junk.size(); i += 3)
        junk[i] = (i % 2) != 0 ? std::numeric_limits<float>::infinity() : 1e30f;
    Modulator m(*modeFromName("psk63"), rate, 1500);
    const auto audio = pad(m.modulate(frame("N0CALL>APSK63:after junk")), rate, 0.5, 1.0);
    Receiver receiver(rate);
    applyChannelPlan(receiver, 1500);
    receiver.process(junk.data(), junk.size());
    receiver.process(audio.data(), audio.size());
    EXPECT_NE(receiver.takeText(3).find(frame("N0CALL>APSK63:after junk")), std::string::npos);
    std::vector<float> spectrum;
    ASSERT_TRUE(receiver.takeSpectrum(spectrum));
    for (float v : spectrum)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(receiver.levelDb()));
}
