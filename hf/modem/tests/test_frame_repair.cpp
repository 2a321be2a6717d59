#include "hf/modem/frame_check.h"
#include "hf/modem/frame_repair.h"
#include "hf/modem/soft_varicode_decoder.h"
#include "hf/modem/varicode.h"
#include "modem_test_util.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace hf::modem;

namespace {

const std::string kBody = "N0CALL>APSK63,WIDE1-1::KB1XYZ-7 :meet at the club at 19:30{42";

/// Ratios of `text` after 8 idle bits and before 40, each decision's size drawn from 4..12 (its
/// symbol's); `span` as the decoder's.
std::vector<float> ratiosOf(const std::string& text, unsigned seed)
{
    std::vector<std::uint8_t> bits(8, 0);
    appendPskBits(text, bits);
    bits.insert(bits.end(), 40, 0);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> size(4.0f, 12.0f);
    std::vector<float> ratios;
    for (auto b : bits)
        ratios.push_back(b != 0 ? size(rng) : -size(rng));
    return ratios;
}

/// The symbol of bit `at` read on the wrong side with `size`: its own bit and the one `span`
/// later turn.
void turn(std::vector<float>& ratios, std::size_t at, float size, int span)
{
    ratios[at] = ratios[at] > 0.0f ? -size : size;
    ratios[at + static_cast<std::size_t>(span)] = -ratios[at + static_cast<std::size_t>(span)];
}

/// What a channel gives for `ratios`: the decoder's characters, and with `repair` a failed
/// frame mended after its end flag.
std::string received(const std::vector<float>& ratios, int span, bool repair)
{
    SoftVaricodeDecoder decoder(span);
    FrameRepair frames(span, SoftVaricodeDecoder::kDefaultDelay);
    std::string out;
    auto give = [&](const std::string& decoded) {
        for (char c : decoded) {
            out.push_back(c);
            if (repair)
                out += frames.character(c);
        }
    };
    for (float r : ratios) {
        std::string decoded;
        frames.bit(r);
        decoder.push(r, decoded);
        give(decoded);
    }
    std::string rest;
    decoder.flush(rest);
    give(rest);
    return out;
}

/// How often `out` holds the failed frame's end flag followed by CR LF and `body` sent again
/// (preamble of three dots or more).
int mendedCopies(const std::string& out, const std::string& body)
{
    const std::string tail = "~" + body + modemtest::crcHex(body) + "\t~   \r\n";
    int copies = 0;
    for (auto at = out.find("~\r\n..."); at != std::string::npos; at = out.find("~\r\n...", at + 1)) {
        const auto dots = out.find_first_not_of('.', at + 3);
        copies += out.compare(dots, tail.size(), tail) == 0 ? 1 : 0;
    }
    return copies;
}

} // namespace

TEST(FrameCheck, HoldsForTheFrameAsSentAndForNoOther)
{
    EXPECT_EQ(crc16Modbus("123456789"), 0x4B37);
    EXPECT_EQ(crc16Modbus(""), 0xFFFF);
    const std::string good = kBody + modemtest::crcHex(kBody) + "\t";
    EXPECT_TRUE(frameCheckHolds(good));
    EXPECT_TRUE(frameCheckHolds("NOCALL>APSK63:hel\tlo5101"));
    std::string bad = good;
    bad[10] = 'x';
    EXPECT_FALSE(frameCheckHolds(bad));
    EXPECT_FALSE(frameCheckHolds("FFF"));
    EXPECT_TRUE(frameCheckHolds("FFFF"));
}

// One symbol read on the wrong side anywhere in the frame, weakly: where the decoder alone
// gives a frame that fails its check, the mended frame follows the failed one's end flag
// (with CR LF between, so the failed one is no frame); where it reads the frame right nothing
// is added. With both BPSK's and GMSK's spans.
TEST(FrameRepair, MendsAFrameWithOneWeakSymbolOnTheWrongSide)
{
    const std::string sent = modemtest::frame(kBody);
    for (int span : {1, 2}) {
        const auto clean = ratiosOf(sent, 7);
        ASSERT_EQ(received(clean, span, true), sent);
        int failed = 0;
        // From the start flag to the check field's last bit.
        std::vector<std::uint8_t> before(8, 0);
        appendPskBits(sent.substr(0, sent.find('\t')), before);
        for (std::size_t at = 8 + 10 * 9; at + 2 < before.size(); at += 2) {
            auto ratios = clean;
            turn(ratios, at, 0.5f, span);
            const std::string plain = received(ratios, span, false);
            const std::string repaired = received(ratios, span, true);
            if (plain == sent) {
                EXPECT_EQ(repaired, sent) << span << " " << at;
                continue;
            }
            ++failed;
            EXPECT_EQ(mendedCopies(repaired, kBody), 1) << span << " " << at << "\n" << repaired;
        }
        EXPECT_GT(failed, 40) << span;
    }
}

// Two symbols on the wrong side, or one as sure as the rest: no single turn mends the frame,
// and nothing is added (a frame holding its check by chance is one of 65536).
TEST(FrameRepair, AddsNothingWhenNoWeakSymbolMendsTheFrame)
{
    const std::string sent = modemtest::frame(kBody);
    auto ratios = ratiosOf(sent, 11);
    turn(ratios, 300, 0.5f, 1);
    turn(ratios, 500, 0.6f, 1);
    const std::string two = received(ratios, 1, false);
    ASSERT_NE(two, sent);
    EXPECT_EQ(received(ratios, 1, true), two);

    ratios = ratiosOf(sent, 11);
    turn(ratios, 400, 9.0f, 1);
    const std::string sure = received(ratios, 1, false);
    ASSERT_NE(sure, sent);
    EXPECT_EQ(received(ratios, 1, true), sure);
}

// A frame longer than the bits kept is not read again.
TEST(FrameRepair, LeavesAFrameLongerThanTheBitsKeptAlone)
{
    const std::string body = kBody + std::string(1000, 'e');
    const std::string sent = modemtest::frame(body);
    auto ratios = ratiosOf(sent, 3);
    ASSERT_GT(ratios.size(), FrameRepair::kBits);
    std::string plain = sent;
    for (std::size_t at = ratios.size() - 400; plain == sent; at += 2) {
        ratios = ratiosOf(sent, 3);
        turn(ratios, at, 0.5f, 1);
        plain = received(ratios, 1, false);
    }
    EXPECT_EQ(received(ratios, 1, true), plain);
}
