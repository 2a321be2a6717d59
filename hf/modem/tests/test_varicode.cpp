#include "hf/modem/varicode.h"

#include <gtest/gtest.h>

#include <string>

using namespace hf::modem;

namespace {

std::string bitsOf(std::uint16_t code)
{
    std::string s;
    for (int i = codeLength(code) - 1; i >= 0; --i)
        s.push_back(((code >> i) & 1) != 0 ? '1' : '0');
    return s;
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
    for (int c = 0; c < 128; ++c) {
        const std::string psk = bitsOf(pskVaricode(static_cast<unsigned char>(c)));
        EXPECT_EQ(psk.front(), '1');
        EXPECT_EQ(psk.back(), '1');
        EXPECT_EQ(psk.find("00"), std::string::npos) << c;
        const std::string mfsk = bitsOf(mfskVaricode(static_cast<unsigned char>(c)));
        EXPECT_EQ(mfsk.front(), '1');
        EXPECT_EQ(mfsk.find("001"), std::string::npos) << c;
        for (int d = 0; d < c; ++d) {
            EXPECT_NE(pskVaricode(static_cast<unsigned char>(c)), pskVaricode(static_cast<unsigned char>(d)));
            EXPECT_NE(mfskVaricode(static_cast<unsigned char>(c)),
                      mfskVaricode(static_cast<unsigned char>(d)));
        }
    }
    EXPECT_EQ(pskVaricode(200), 0);
}

TEST(Varicode, EveryCharacterRoundTrips)
{
    std::string text;
    for (int c = 1; c < 128; ++c)
        text.push_back(static_cast<char>(c));
    text.push_back('\0');
    text += "\xC3\xA9 skipped"; // 8-bit characters are not sent
    std::string expected = text.substr(0, 128) + " skipped";

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
    psk.push(0); // the separator that ends any code word
    psk.push(0);
    std::vector<std::uint8_t> bits;
    appendPskBits("ok", bits);
    std::string got;
    for (auto b : bits)
        if (auto c = psk.push(b))
            got.push_back(*c);
    EXPECT_EQ(got, "ok");
}
