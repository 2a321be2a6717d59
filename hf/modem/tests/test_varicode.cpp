#include "hf/modem/soft_varicode_decoder.h"
#include "hf/modem/varicode.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace hf::modem;

namespace {

std::string bitsOf(std::uint16_t code)
{
    std::string s;
    for (int i = codeLength(code) - 1; i >= 0; --i)
        s.push_back(((code >> i) & 1) != 0 ? '1' : '0');
    return s;
}

/// Log-likelihood ratios of `text` sent after 8 idle bits and followed by 40, every decision
/// clear (+-8).
std::vector<float> clearRatios(const std::string& text)
{
    std::vector<std::uint8_t> bits(8, 0);
    appendPskBits(text, bits);
    bits.insert(bits.end(), 40, 0);
    std::vector<float> ratios;
    for (auto b : bits)
        ratios.push_back(b != 0 ? 8.0f : -8.0f);
    return ratios;
}

std::string softDecoded(const std::vector<float>& ratios, int span = 1)
{
    SoftVaricodeDecoder decoder(span);
    std::string out;
    for (float r : ratios)
        decoder.push(r, out);
    decoder.flush(out);
    return out;
}

std::string hardDecoded(const std::vector<float>& ratios)
{
    PskVaricodeDecoder decoder;
    std::string out;
    for (float r : ratios)
        if (auto c = decoder.push(r > 0.0f ? 1 : 0))
            out.push_back(*c);
    return out;
}

} // namespace

// Code words from the published PSK31 varicode list (written out as bits, typed separately from
// the hexadecimal table in the library).
TEST(Varicode, PskMatchesPublishedCodeWords)
{
    const std::pair<char, const char*> rows[] = {
        {' ', "1"},          {'e', "11"},
        {'t', "101"},        {'o', "111"},
        {'a', "1011"},       {'i', "1101"},
        {'n', "1111"},       {'r', "10101"},
        {'s', "10111"},      {'\n', "11101"},
        {'\r', "11111"},     {'A', "1111101"},
        {'E', "1110111"},    {'Z', "1010101101"},
        {'0', "10110111"},   {'1', "10111101"},
        {'9', "110110111"},  {'.', "1010111"},
        {',', "1110101"},    {'~', "1011010111"},
        {'{', "1010110111"}, {'>', "111010111"},
        {':', "11110101"},   {'-', "110101"},
        {'\t', "11101111"},  {static_cast<char>(0), "1010101011"},
    };
    for (const auto& [c, bits] : rows)
        EXPECT_EQ(bitsOf(pskVaricode(static_cast<unsigned char>(c))), bits) << int(c);
}

TEST(Varicode, MfskMatchesPublishedCodeWords)
{
    const std::pair<char, const char*> rows[] = {
        {' ', "100"},
        {'e', "1000"},
        {'t', "1100"},
        {'o', "10000"},
        {'a', "10100"},
        {'\r', "10101100"},
        {'A', "10111100"},
        {'0', "11100000"},
        {'~', "1011110000"},
        {static_cast<char>(2), "11101101000"},
        {static_cast<char>(4), "11101110000"},
    };
    for (const auto& [c, bits] : rows)
        EXPECT_EQ(bitsOf(mfskVaricode(static_cast<unsigned char>(c))), bits) << int(c);
}

TEST(Varicode, TablesHaveTheirStructuralProperties)
{
    for (int c = 0; c < 256; ++c) {
        const std::string psk = bitsOf(pskVaricode(static_cast<unsigned char>(c)));
        EXPECT_EQ(psk.front(), '1');
        EXPECT_EQ(psk.back(), '1');
        EXPECT_EQ(psk.find("00"), std::string::npos) << c;
        const std::string mfsk = bitsOf(mfskVaricode(static_cast<unsigned char>(c)));
        EXPECT_EQ(mfsk.front(), '1');
        EXPECT_EQ(mfsk.find("001"), std::string::npos) << c;
        EXPECT_EQ(mfsk.substr(mfsk.size() - 2), "00") << c;
        EXPECT_LE(psk.size(), 12u) << c;
        EXPECT_LE(mfsk.size(), 12u) << c;
        for (int d = 0; d < c; ++d) {
            EXPECT_NE(pskVaricode(static_cast<unsigned char>(c)), pskVaricode(static_cast<unsigned char>(d)));
            EXPECT_NE(mfskVaricode(static_cast<unsigned char>(c)),
                      mfskVaricode(static_cast<unsigned char>(d)));
        }
    }
}

// Bytes 128..255 use the code words the 7-bit characters leave free, shortest first.
TEST(Varicode, ExtendedBytesTakeTheFreeCodeWordsInOrder)
{
    const std::pair<unsigned char, const char*> rows[] = {
        {0x80, "1110111101"},   {0x8E, "1111111111"},  {0x8F, "10101010101"},
        {0xE9, "101010101101"}, {0xA3, "10110111111"}, {0xFF, "101101011011"},
    };
    for (const auto& [c, bits] : rows)
        EXPECT_EQ(bitsOf(pskVaricode(c)), bits) << int(c);
    EXPECT_EQ(bitsOf(mfskVaricode(0x80)), "1011110100");
    EXPECT_EQ(bitsOf(mfskVaricode(0xFF)), "101101111100");
    for (int c = 129; c < 256; ++c) {
        const auto before = pskVaricode(static_cast<unsigned char>(c - 1));
        const auto now = pskVaricode(static_cast<unsigned char>(c));
        EXPECT_TRUE(codeLength(now) > codeLength(before) ||
                    (codeLength(now) == codeLength(before) && now > before))
            << c;
    }
}

TEST(Varicode, EveryCharacterRoundTrips)
{
    std::string text;
    for (int c = 1; c < 256; ++c)
        text.push_back(static_cast<char>(c));
    text.push_back('\0');
    text += "caf\xE9 \xA3"; // Latin-1 bytes cross unchanged
    const std::string expected = text;

    std::vector<std::uint8_t> bits;
    appendPskBits(text, bits);
    PskVaricodeDecoder psk;
    std::string got;
    for (auto b : bits)
        if (auto c = psk.push(b))
            got.push_back(*c);
    EXPECT_EQ(got, expected);

    bits.clear();
    appendMfskBits(text, bits);
    bits.push_back(1); // the next code's first bit ends the last character
    MfskVaricodeDecoder mfsk;
    got.clear();
    for (auto b : bits)
        if (auto c = mfsk.push(b))
            got.push_back(*c);
    EXPECT_EQ(got, expected);
}

TEST(Varicode, IdleBitsDecodeToNothingAndLongRunsStayBounded)
{
    PskVaricodeDecoder psk;
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(psk.push(0));
    for (int i = 0; i < 100000; ++i)
        EXPECT_FALSE(psk.push(1));
    // The end of a steady carrier is no character, even when its last bits spell a code word.
    for (const char b : std::string("0111011110100")) // ...11 | 1110111101 (byte 0x80) | 00
        EXPECT_FALSE(psk.push(b - '0'));
    std::vector<std::uint8_t> bits;
    appendPskBits("ok", bits);
    std::string got;
    for (auto b : bits)
        if (auto c = psk.push(b))
            got.push_back(*c);
    EXPECT_EQ(got, "ok");
}

TEST(SoftVaricode, ReadsEveryByteOfClearBits)
{
    std::string text;
    for (int c = 0; c < 256; ++c)
        text.push_back(static_cast<char>(c));
    EXPECT_EQ(softDecoded(clearRatios(text)), text);
}

// A differential decision read on the wrong side (a weak wrong ratio) spoils the next decision
// too (a clear wrong ratio, read against the reference it turned): two bits wrong. Where that
// leaves bits no code word holds, a character text hardly holds, or idle bits inside the text,
// the decoder mends it.
TEST(SoftVaricode, MendsASymbolReadOnTheWrongSide)
{
    const std::string text = "the quick brown fox de N0CALL 73";
    const std::pair<std::size_t, std::string> rows[] = {
        {36, "the ick brown fox de N0CALL 73"}, // "qu" read as no code word
        {70, "the quic\x07"
             "brown fox de N0CALL 73"}, // "k " read as one control character
        {135, "the quick brown fo\x19"
              "de N0CALL 73"},                    // "x " likewise
        {162, "the quick brown fox de CALL 73"},  // "N0" as no code word
        {182, "the quick brown fox de N0LL 73"},  // "CA" likewise
        {214, "the quick brown fox de N0CALL3"},  // " 7" likewise
        {9, "ehe quick brown fox de N0CALL 73"},  // "t" as an idle 0 and "e"
        {21, "th quick brown fox de N0CALL 73"},  // "e " as idle 0s and " "
        {28, "the puick brown fox de N0CALL 73"}, // "q" as an idle 0 and "p"
    };
    for (const auto& [bit, misread] : rows) {
        auto ratios = clearRatios(text);
        ratios[bit] = ratios[bit] > 0.0f ? -0.5f : 0.5f;
        ratios[bit + 1] = -ratios[bit + 1];
        EXPECT_EQ(hardDecoded(ratios), misread) << bit;
        EXPECT_EQ(softDecoded(ratios), text) << bit;
    }
}

// MSK's two rails: each bit is a rail's symbol against the one two bits back, so a symbol read
// on the wrong side turns its own bit and the one two bits later. Read with span 2 that is one
// weak symbol; read as BPSK's span 1 it is not mended.
TEST(SoftVaricode, MendsARailSymbolReadOnTheWrongSide)
{
    const std::string text = "the quick brown fox de N0CALL 73";
    const std::pair<std::size_t, std::string> rows[] = {
        {21, "thiquick brown fox de N0CALL 73"}, {35, "the ick brown fox de N0CALL 73"},
        {43, "the qck brown fox de N0CALL 73"},  {57, "the qui brown fox de N0CALL 73"},
        {70, "the quicrown fox de N0CALL 73"},
    };
    for (const auto& [bit, misread] : rows) {
        auto ratios = clearRatios(text);
        ratios[bit] = ratios[bit] > 0.0f ? -0.5f : 0.5f;
        ratios[bit + 2] = -ratios[bit + 2];
        EXPECT_EQ(hardDecoded(ratios), misread) << bit;
        EXPECT_EQ(softDecoded(ratios, 2), text) << bit;
        EXPECT_NE(softDecoded(ratios, 1), text) << bit;
    }
}

// Idle bits cost once per pause: a long pause of weak but right decisions stays a pause.
TEST(SoftVaricode, ReadsAPauseOfWeakDecisionsAsAPause)
{
    std::vector<std::uint8_t> bits(8, 0);
    appendPskBits("de N0CALL", bits);
    bits.insert(bits.end(), 60, 0);
    appendPskBits("73", bits);
    bits.insert(bits.end(), 40, 0);
    std::vector<float> ratios;
    for (std::size_t i = 0; i < bits.size(); ++i)
        ratios.push_back(bits[i] != 0 ? 8.0f : (i > 8 && i < 150 ? -1.5f : -8.0f));
    EXPECT_EQ(softDecoded(ratios), "de N0CALL73");
}

TEST(SoftVaricode, GivesEachCharacterOnceWhateverItIsFedAfterAFlush)
{
    std::vector<std::uint8_t> bits;
    appendPskBits("73 de N0CALL", bits);
    SoftVaricodeDecoder decoder;
    std::string out;
    for (auto b : bits)
        decoder.push(b != 0 ? 5.0f : -5.0f, out);
    // The last characters are still within the delay.
    EXPECT_LT(out.size(), 12u);
    EXPECT_EQ(out, std::string("73 de N0CALL").substr(0, out.size()));
    decoder.flush(out);
    EXPECT_EQ(out, "73 de N0CALL");
    for (int i = 0; i < 200; ++i)
        decoder.push(-5.0f, out);
    decoder.flush(out);
    EXPECT_EQ(out, "73 de N0CALL");
    // A character the flush found only begun comes out once it ends.
    bits.clear();
    appendPskBits("ok", bits);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        decoder.push(bits[i] != 0 ? 5.0f : -5.0f, out);
        if (i == 2)
            decoder.flush(out);
    }
    decoder.flush(out);
    EXPECT_EQ(out, "73 de N0CALLok");
}

TEST(SoftVaricode, NeverGivesTheSameBitsTwiceWhenItsBestReadingChanges)
{
    // Bits that tell nothing, then two weak ones: the best reading changes after characters
    // have been given, and the next ones began on bits those took. Read from both readings, 47
    // bits gave 17 spaces, though a space takes three bits.
    std::vector<float> ratios(47, 0.0f);
    ratios[33] = 3.75f;
    ratios[46] = 14.25f;
    SoftVaricodeDecoder decoder(2, 18);
    std::string out;
    for (float r : ratios)
        decoder.push(r, out);
    decoder.flush(out);
    EXPECT_LE(out.size(), ratios.size() / 3) << out;
}

TEST(SoftVaricode, SteadyCarrierAndNoiseStayBounded)
{
    SoftVaricodeDecoder decoder;
    std::string out;
    for (int i = 0; i < 100000; ++i)
        decoder.push(6.0f, out); // a steady carrier: no code word is that long
    decoder.flush(out);
    EXPECT_TRUE(out.empty()) << out.size();
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    for (int i = 0; i < 100000; ++i)
        decoder.push(noise(rng), out);
    decoder.push(std::numeric_limits<float>::quiet_NaN(), out);
    decoder.push(std::numeric_limits<float>::infinity(), out);
    decoder.flush(out);
    EXPECT_LT(out.size(), 100000u / 3);
    out.clear();
    for (float r : clearRatios("ok"))
        decoder.push(r, out);
    decoder.flush(out);
    EXPECT_EQ(out, "ok");
}

// Text comes with its characters one after the other: a wrong symbol that turns a character's
// 1 bits into idle 0s is mended even when it is far from weak (a pause of weak decisions still
// reads as one: above).
TEST(SoftVaricode, MendsAFairlyClearSymbolThatMadeAPauseInsideText)
{
    const std::string text = "the quick brown fox de N0CALL 73";
    for (const std::size_t bit : {9, 21, 28}) {
        for (const float weight : {1.0f, 2.0f}) {
            auto ratios = clearRatios(text);
            ratios[bit] = ratios[bit] > 0.0f ? -weight : weight;
            ratios[bit + 1] = -ratios[bit + 1];
            EXPECT_NE(hardDecoded(ratios), text) << bit;
            EXPECT_EQ(softDecoded(ratios), text) << bit << " " << weight;
        }
    }
}
