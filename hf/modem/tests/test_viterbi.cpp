#include "hf/modem/mfsk_code_fit.h"
#include "hf/modem/mfsk_interleaver.h"
#include "hf/modem/viterbi.h"

#include <gtest/gtest.h>

#include <random>

using namespace hf::modem;

namespace {

struct Code {
    int k;
    unsigned p0;
    unsigned p1;
};

std::array<float, 4> scoresFor(float a, float b)
{
    // a, b: soft values of the two coded bits (positive = 1).
    return {-a - b, a - b, -a + b, a + b};
}

/// Best-scoring input block by trying every one (the encoder starts at zero).
std::vector<int> bruteForce(const Code& code, const std::vector<std::array<float, 4>>& scores)
{
    const int n = static_cast<int>(scores.size());
    double best = -1e30;
    std::vector<int> bestBits;
    for (unsigned v = 0; v < (1u << n); ++v) {
        ConvolutionalEncoder enc(code.k, code.p0, code.p1);
        double total = 0.0;
        std::vector<int> bits;
        for (int i = 0; i < n; ++i) {
            const int bit = static_cast<int>((v >> (n - 1 - i)) & 1u);
            bits.push_back(bit);
            total += scores[static_cast<std::size_t>(i)][static_cast<std::size_t>(enc.encode(bit))];
        }
        if (total > best) {
            best = total;
            bestBits = bits;
        }
    }
    return bestBits;
}

} // namespace

TEST(Viterbi, EncoderFollowsTheRegisterRule)
{
    // QPSK code: sr = ((sr << 1) | bit) & 0x1F, s = parity(sr & 0x17) | parity(sr & 0x19) << 1.
    ConvolutionalEncoder enc(5, 0x17, 0x19);
    EXPECT_EQ(enc.encode(1), 3); // sr=00001
    EXPECT_EQ(enc.encode(0), 1); // sr=00010: 0x17 -> 1, 0x19 -> 0
    EXPECT_EQ(enc.encode(0), 1); // sr=00100: 0x17 -> 1, 0x19 -> 0
    EXPECT_EQ(enc.encode(0), 2); // sr=01000: 0x17 -> 0, 0x19 -> 1
    EXPECT_EQ(enc.encode(0), 3); // sr=10000: both
    EXPECT_EQ(enc.encode(0), 0);
}

TEST(Viterbi, MatchesBruteForceOnShortNoisyBlocks)
{
    const Code codes[] = {{5, 0x17, 0x19}, {7, 0x6D, 0x4F}};
    std::mt19937 rng(42);
    std::normal_distribution<float> noise(0.0f, 0.9f);
    for (const auto& code : codes) {
        for (int trial = 0; trial < 20; ++trial) {
            const int n = 12;
            ConvolutionalEncoder enc(code.k, code.p0, code.p1);
            std::vector<std::array<float, 4>> scores;
            for (int i = 0; i < n; ++i) {
                const int s = enc.encode(static_cast<int>(rng() & 1u));
                const float a = ((s & 1) != 0 ? 1.0f : -1.0f) + noise(rng);
                const float b = ((s & 2) != 0 ? 1.0f : -1.0f) + noise(rng);
                scores.push_back(scoresFor(a, b));
            }
            const auto expected = bruteForce(code, scores);
            // The decoder does not assume a start state; give it the known zero start by
            // feeding a run of strong zero symbols first.
            ViterbiDecoder dec(code.k, code.p0, code.p1, 64);
            for (int i = 0; i < code.k; ++i)
                dec.push(scoresFor(-100.0f, -100.0f));
            for (const auto& s : scores)
                dec.push(s);
            auto got = dec.flush();
            got.erase(got.begin(), got.begin() + code.k);
            EXPECT_EQ(got, expected) << "K=" << code.k << " trial " << trial;
        }
    }
}

TEST(Viterbi, StreamingDecodesAfterItsDelayAndCorrectsErrors)
{
    ConvolutionalEncoder enc(7, 0x6D, 0x4F);
    ViterbiDecoder dec(7, 0x6D, 0x4F, 45);
    std::mt19937 rng(3);
    std::vector<int> sent;
    std::vector<int> got;
    for (int i = 0; i < 2000; ++i) {
        const int bit = static_cast<int>(rng() & 1u);
        sent.push_back(bit);
        const int s = enc.encode(bit);
        float a = (s & 1) != 0 ? 1.0f : -1.0f;
        float b = (s & 2) != 0 ? 1.0f : -1.0f;
        if (i % 17 == 0)
            a = -a; // a hard error every 17 symbols
        const int out = dec.push(scoresFor(a, b));
        if (i < 45) {
            EXPECT_EQ(out, -1);
        } else {
            got.push_back(out);
        }
    }
    for (int b : dec.flush())
        got.push_back(b);
    ASSERT_EQ(got.size(), sent.size());
    EXPECT_EQ(std::vector<int>(got.begin() + 10, got.end()), std::vector<int>(sent.begin() + 10, sent.end()));
}

TEST(MfskCodeFit, ReadsCodedSymbolsHighNoiseLowAndASteadyToneNotAtAll)
{
    // Symbols as an MFSK16 sender makes them (K=7 code, groups of four coded bits through the
    // interleaver), as soft bits; the strongest tone is the sent word.
    auto coded = [](unsigned seed, float level) {
        std::mt19937 rng(seed);
        ConvolutionalEncoder encoder(7, 0x6D, 0x4F);
        MfskInterleaver<int> interleaver(true);
        std::vector<std::pair<std::array<float, 4>, int>> symbols;
        std::array<int, 4> group{};
        int fill = 0;
        for (int i = 0; i < 800; ++i) {
            const int s = encoder.encode(static_cast<int>(rng() & 1));
            for (int bit : {s & 1, (s >> 1) & 1}) {
                group[static_cast<std::size_t>(fill++)] = bit;
                if (fill < 4)
                    continue;
                fill = 0;
                const auto w = interleaver.process(group);
                std::array<float, 4> soft{};
                for (std::size_t j = 0; j < 4; ++j)
                    soft[j] = w[j] != 0 ? level : -level;
                symbols.emplace_back(soft, (w[0] << 3) | (w[1] << 2) | (w[2] << 1) | w[3]);
            }
        }
        return symbols;
    };
    MfskCodeFit clean;
    for (const auto& [soft, tone] : coded(1, 0.8f))
        clean.push(soft, tone);
    EXPECT_TRUE(clean.ready());
    EXPECT_GT(clean.fit(), 0.97);

    // Random soft bits: the best path explains much of them, but clearly less.
    MfskCodeFit noise;
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> u(-0.6f, 0.6f);
    for (int i = 0; i < 400; ++i)
        noise.push({u(rng), u(rng), u(rng), u(rng)}, static_cast<int>(rng() % 16));
    EXPECT_LT(noise.fit(), 0.92);

    // A steady tone fits the code like a run of zeros: past its first symbol it must not move
    // the fit.
    MfskCodeFit steady;
    const double before = steady.fit();
    for (int i = 0; i < 400; ++i)
        steady.push({-0.8f, -0.8f, -0.8f, -0.8f}, 3);
    EXPECT_NEAR(steady.fit(), before, 0.01);
    EXPECT_FALSE(steady.ready());
}
