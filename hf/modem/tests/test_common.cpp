#include "hf/modem/fft.h"
#include "hf/modem/fir.h"
#include "hf/modem/mfsk_interleaver.h"
#include "hf/modem/mode.h"
#include "hf/modem/wav_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>
#include <numeric>

using namespace hf::modem;

namespace {

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(WavFile, RoundTripKeepsRateAndSamples)
{
    const std::string path = ::testing::TempDir() + "/skylark-roundtrip.wav";
    for (int rate : {11025, 48000}) {
        WavAudio in;
        in.sampleRate = rate;
        for (int i = 0; i < 10001; ++i)
            in.samples.push_back(static_cast<float>(std::sin(i * 0.01)) * 0.9f);
        in.samples.push_back(1.5f); // clipped
        ASSERT_TRUE(writeWavFile(path, in));
        EXPECT_EQ(fileBytes(path).size(), 44u + 2u * in.samples.size()); // 16-bit mono PCM
        const auto out = readWavFile(path);
        ASSERT_TRUE(out);
        EXPECT_EQ(out->sampleRate, rate);
        ASSERT_EQ(out->samples.size(), in.samples.size());
        for (std::size_t i = 0; i + 1 < in.samples.size(); ++i)
            EXPECT_NEAR(out->samples[i], in.samples[i], 1e-4);
        EXPECT_NEAR(out->samples.back(), 1.0f, 1e-4);
        // Read a block at a time, the same samples arrive; at most what is asked for is taken.
        WavReader reader;
        ASSERT_TRUE(reader.open(path));
        std::vector<float> block(777);
        std::size_t total = 0;
        while (const std::size_t n = reader.read(block.data(), block.size())) {
            EXPECT_NEAR(block[0], in.samples[total], 1e-4);
            total += n;
        }
        EXPECT_EQ(total, in.samples.size());
        EXPECT_TRUE(reader.rewind());
        EXPECT_EQ(reader.read(block.data(), 1), 1u);
        const auto capped = readWavFile(path, 0, 100);
        ASSERT_TRUE(capped);
        EXPECT_EQ(capped->samples.size(), 100u);
    }
    std::remove(path.c_str());
}

TEST(WavFile, RejectsMalformedFilesAndMissingChannels)
{
    const std::string path = ::testing::TempDir() + "/skylark-malformed.wav";
    ASSERT_TRUE(writeWavFile(path, WavAudio{11025, std::vector<float>(100, 0.25f)}));
    const auto good = fileBytes(path);
    std::remove(path.c_str());
    ASSERT_TRUE(parseWav(good.data(), good.size()));
    // Every truncation parses to nothing or to fewer samples, never crashes.
    for (std::size_t n = 0; n < good.size(); ++n) {
        const auto r = parseWav(good.data(), n);
        if (r) {
            EXPECT_LE(r->samples.size(), 100u);
        }
    }
    EXPECT_FALSE(parseWav(good.data(), good.size(), 1)); // mono: no second channel
    EXPECT_FALSE(parseWav(good.data(), good.size(), -1));
    const std::string junk = "RIFF\xff\xff\xff\xffWAVEjunk and more junk";
    EXPECT_FALSE(parseWav(reinterpret_cast<const std::uint8_t*>(junk.data()), junk.size()));
    auto zeroRate = good;
    zeroRate[24] = zeroRate[25] = zeroRate[26] = zeroRate[27] = 0; // sample rate 0
    EXPECT_FALSE(parseWav(zeroRate.data(), zeroRate.size()));
    EXPECT_FALSE(parseWav(nullptr, 0));
    EXPECT_FALSE(readWavFile(::testing::TempDir() + "/skylark-no-such-file.wav"));
}

TEST(WavFile, RateConverterKeepsAToneAndItsLevel)
{
    for (auto [from, to] : {std::pair{48000, 11025}, std::pair{22050, 48000}, std::pair{44100, 11025}}) {
        SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
        std::vector<float> in(static_cast<std::size_t>(from));
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<float>(0.5 * std::sin(kTwoPi * 1000.0 * static_cast<double>(i) / from));
        RateConverter converter(from, to);
        std::vector<float> out;
        for (std::size_t i = 0; i < in.size(); i += 1000)
            converter.process(in.data() + i, std::min<std::size_t>(1000, in.size() - i), out);
        EXPECT_NEAR(static_cast<double>(out.size()), to, 2.0);
        // Past the filter's start-up, a 1000 Hz tone of amplitude 0.5 at the new rate.
        double re = 0.0;
        double im = 0.0;
        double power = 0.0;
        const std::size_t first = out.size() / 4;
        for (std::size_t i = first; i < out.size(); ++i) {
            re += out[i] * std::cos(kTwoPi * 1000.0 * static_cast<double>(i) / to);
            im += out[i] * std::sin(kTwoPi * 1000.0 * static_cast<double>(i) / to);
            power += static_cast<double>(out[i]) * out[i];
        }
        const auto n = static_cast<double>(out.size() - first);
        EXPECT_NEAR(2.0 * std::hypot(re, im) / n, 0.5, 0.02);
        EXPECT_NEAR(power / n, 0.125, 0.01); // nothing else in it
    }
}

TEST(Fir, LowpassHasUnityGainAtDcAndStopsHighFrequencies)
{
    const auto h = designLowpass(101, 0.1);
    EXPECT_NEAR(std::accumulate(h.begin(), h.end(), 0.0), 1.0, 1e-6);
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = 0; i < h.size(); ++i) {
        re += h[i] * std::cos(kTwoPi * 0.25 * static_cast<double>(i));
        im += h[i] * std::sin(kTwoPi * 0.25 * static_cast<double>(i));
    }
    EXPECT_LT(std::hypot(re, im), 1e-3);
    EXPECT_THROW(designLowpass(0, 0.1), std::invalid_argument);
    EXPECT_THROW(designLowpass(11, 0.6), std::invalid_argument);
}

TEST(Fft, ToneLandsInItsBin)
{
    Fft fft(64);
    std::vector<Complex> x(64);
    for (int i = 0; i < 64; ++i)
        x[static_cast<std::size_t>(i)] = std::polar(1.0f, static_cast<float>(kTwoPi * 5 * i / 64));
    fft.transform(x);
    for (int k = 0; k < 64; ++k)
        EXPECT_NEAR(std::abs(x[static_cast<std::size_t>(k)]), k == 5 ? 64.0 : 0.0, 1e-3) << k;
    EXPECT_THROW(Fft(48), std::invalid_argument);
}

TEST(MfskInterleaver, ReceiveUndoesTransmitAfterThirtyGroups)
{
    MfskInterleaver<int> tx(true);
    MfskInterleaver<int> rx(false);
    std::vector<std::array<int, 4>> sent;
    unsigned lfsr = 0xACE1u;
    for (int g = 0; g < 100; ++g) {
        std::array<int, 4> group{};
        for (auto& b : group) {
            lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
            b = static_cast<int>(lfsr & 1u);
        }
        sent.push_back(group);
        const auto out = rx.process(tx.process(group));
        if (g >= 30) {
            EXPECT_EQ(out, sent[static_cast<std::size_t>(g - 30)]) << g;
        }
    }
}

TEST(MfskInterleaver, SingleStageSpreadsAGroupDiagonally)
{
    // One bit in row 0 leaves the transmit side at once (column 3), a bit in row 3 three groups
    // later: over ten stages a bit entering row i comes out after 10*(3-i)... differently per row.
    MfskInterleaver<int> tx(true);
    std::vector<std::array<int, 4>> out;
    out.push_back(tx.process({1, 0, 0, 0}));
    for (int g = 0; g < 40; ++g)
        out.push_back(tx.process({0, 0, 0, 0}));
    int ones = 0;
    for (const auto& g : out)
        ones += g[0] + g[1] + g[2] + g[3];
    EXPECT_EQ(ones, 1);
    EXPECT_EQ(out[0][0], 1); // row 0 is read at column 3 in every stage: no delay
}

TEST(Mode, ChannelStringsAndNames)
{
    struct Row {
        const char* mode;
        double rate;
        bool ok;
        Modulation modulation;
        double baud;
        bool reversed;
    };
    const Row rows[] = {
        {"bpsk", 62.5, true, Modulation::Bpsk, 62.5, false},
        {"BPSK", 63, true, Modulation::Bpsk, 62.5, false},
        {"BPSK", 250, true, Modulation::Bpsk, 250, false},
        {"qpsk-U", 125, true, Modulation::Qpsk, 125, false},
        {"qpsk-L", 250, true, Modulation::Qpsk, 250, true},
        {"mfsk-U", 15.625, true, Modulation::Mfsk, 15.625, false},
        {"mfsk-L", 15.625, true, Modulation::Mfsk, 15.625, true},
        {"GMSK", 63, true, Modulation::Gmsk, 62.5, false},
        {"GMSK", 250, true, Modulation::Gmsk, 250, false},
        {"GMSK", 125, false, Modulation::Gmsk, 0, false},
        {"qpsk-U", 62.5, false, Modulation::Qpsk, 0, false},
        {"rtty", 45.45, false, Modulation::Bpsk, 0, false},
    };
    for (const auto& r : rows) {
        const auto m = modeFromChannel(r.mode, r.rate);
        ASSERT_EQ(m.has_value(), r.ok) << r.mode << " " << r.rate;
        if (!m)
            continue;
        EXPECT_EQ(m->modulation, r.modulation);
        EXPECT_DOUBLE_EQ(m->baud, r.baud);
        EXPECT_EQ(m->reversed, r.reversed);
    }
    EXPECT_TRUE(modeFromName("psk63"));
    EXPECT_TRUE(modeFromName("gmsk250"));
    EXPECT_TRUE(modeFromName("mfsk16", true)->reversed);
    EXPECT_FALSE(modeFromName("psk31"));
}
