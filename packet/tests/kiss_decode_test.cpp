#include "packet/kiss_codec.h"
#include "packet/kiss_deframer.h"
#include "packet/tests/test_bytes.h"

#include <gtest/gtest.h>

namespace packet {
namespace {

using test::hex;

/// The frame as decode takes it: without FENDs and command byte.
QByteArray inner(const QByteArray& kissFrame)
{
    return kissFrame.mid(2, kissFrame.size() - 3);
}

QByteArray roundTrip(const QByteArray& dest, const QByteArray& source, const QByteArray& path,
                     const QByteArray& info, const QByteArray& ownCall = "N9XXX")
{
    const KissEncodeResult r = Kiss::encode(dest, source, path, info);
    EXPECT_TRUE(r.ok()) << r.message.toStdString();
    return Kiss::decode(inner(r.frame), ownCall).text;
}

struct DecodeCase {
    const char* name;
    QByteArray frame; ///< without FENDs and command byte
    QByteArray text;
};

class DecodeFrame : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFrame, GivesText)
{
    const KissDecodeResult r = Kiss::decode(GetParam().frame, "N9XXX");
    EXPECT_EQ(r.text, GetParam().text);
    EXPECT_FALSE(r.digipeat.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Kiss, DecodeFrame,
    ::testing::Values(
        // Frames received from direwolf (gen_packets sets the C bit on source too).
        DecodeCase{"DirewolfOneDigi",
                   hex("82 a0 a4 a6 40 40 e0 9c 9e 86 82 98 98 e2 ae 92 88 8a 62 40 63 03 f0"
                       " 3e 68 65 6c 6c 6f 20 74 65 73 74"),
                   "NOCALL-1>APRS,WIDE1-1:>hello test"},
        DecodeCase{"DirewolfNoDigi",
                   hex("82 a0 a6 96 64 60 e0 9c 60 86 82 98 98 e1 03 f0"
                       " 3a 4e 31 43 41 4c 4c 20 20 20 3a 68 65 6c 6c 6f 7b 31 32"),
                   "N0CALL>APSK20::N1CALL   :hello{12"},
        DecodeCase{"DirewolfDigipeated",
                   hex("82 a0 a4 a6 40 40 e0 9c 60 86 82 98 98 ee 88 92 8e 92 62 40 e0"
                       " ae 92 88 8a 64 40 63 03 f0 3e 76 69 61 20 64 69 67 69"),
                   "N0CALL-7>APRS,DIGI1*,WIDE2-1:>via digi"},
        // Odd call bytes are halved rounding half to even: 83 -> 'B', 81 -> '@'; an SSID is
        // its 4 bits: 63 -> 1.
        DecodeCase{"RoundHalfToEven", hex("83 81 a4 a6 40 40 63 9c 9e 86 82 98 98 61 03 f0 41"),
                   "NOCALL>B@RS-1:A"},
        // Every bit of an SSID byte set: still SSID 15, never more (a path entry and the
        // source alike), so a repeat of the frame can always be encoded.
        DecodeCase{"SsidByteAllBitsSet",
                   hex("82 a0 a4 a6 40 40 ff 9c 9e 86 82 98 98 7f ae 92 88 8a 62 40 ff 03 f0 41"),
                   "NOCALL-15>APRS-15,WIDE1-15*:A"},
        DecodeCase{"SsidByteWithCBitSameSsid", hex("82 a0 a4 a6 40 40 ea 9c 9e 86 82 98 98 e5 03 f0"),
                   "NOCALL-2>APRS-5:"},
        DecodeCase{"ControlAtPosition16", hex("82 a0 a4 a6 40 40 e0 9c 9e 86 82 98 98 61 41 03 f0 41"), ""},
        DecodeCase{"PidMisaligned", hex("82 a0 a4 a6 40 40 e0 9c 9e 86 82 98 98 61 03 41 f0"), ""},
        DecodeCase{"NoControl", hex("82 a0 a4 a6 40 40 e0 9c 9e 86 82 98 98 61 41 41 f0"), ""},
        DecodeCase{"TooShort", hex("82 a0 a4 03 f0"), ""}, DecodeCase{"Empty", QByteArray(), ""},
        // Control at 15 + 7 * 9: nine digipeaters are more than AX.25 allows.
        DecodeCase{"NineDigis",
                   hex("82a0a4a64040e0 9c9e86829898 60"
                       " 82404040404060 82404040404060 82404040404060 82404040404060"
                       " 82404040404060 82404040404060 82404040404060 82404040404060"
                       " 82404040404061 03 f0"),
                   ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct RoundTripCase {
    const char* name;
    QByteArray destination, source, path, info;
    QByteArray text;
};

class DecodeRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DecodeRoundTrip, EncodedFrameDecodesToText)
{
    const RoundTripCase& c = GetParam();
    EXPECT_EQ(roundTrip(c.destination, c.source, c.path, c.info), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Kiss, DecodeRoundTrip,
    ::testing::Values(
        RoundTripCase{"NoPath", "APRS", "NOCALL-9", "", "test", "NOCALL-9>APRS:test"},
        RoundTripCase{"TwoDigis", "APSK20", "N0CALL", "WIDE1-1,WIDE2-1", ":N1CALL   :hi{3",
                      "N0CALL>APSK20,WIDE1-1,WIDE2-1::N1CALL   :hi{3"},
        RoundTripCase{"TwoRepeatedShowOneStar", "APRS", "N0CALL", "DIGI1*,WIDE2-1*,WIDE3-3", "x",
                      "N0CALL>APRS,DIGI1,WIDE2-1*,WIDE3-3:x"},
        RoundTripCase{"AllRepeated", "APRS", "N0CALL", "A*,B*,C-3*", "x", "N0CALL>APRS,A,B,C-3*:x"},
        RoundTripCase{"Ssid15", "APRS-15", "NOCALL-15", "WIDE7-15", "", "NOCALL-15>APRS-15,WIDE7-15:"},
        RoundTripCase{"FendAndFescInInfo", "APRS", "NOCALL", "WIDE1-1",
                      QByteArray("a\xC0\xDB\xDB\xDC"
                                 "b"),
                      QByteArray("NOCALL>APRS,WIDE1-1:a\xC0\xDB\xDB\xDC"
                                 "b")},
        RoundTripCase{"FendInAddress", "A`", "NOCALL", "", "x", "NOCALL>A`:x"},
        RoundTripCase{"ControlAndPidBytesInInfo", "APRS", "NOCALL", "", QByteArray("\x03\xF0\x03", 3),
                      QByteArray("NOCALL>APRS:\x03\xF0\x03")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KissDecode, AllByteValuesSurviveEncodeDeframeDecode)
{
    const QByteArray info = test::allByteValues();
    const KissEncodeResult r = Kiss::encode("APRS", "NOCALL-3", "WIDE1-1", info);
    ASSERT_TRUE(r.ok());
    KissDeframer deframer;
    const QList<QByteArray> frames = deframer.feed(r.frame);
    ASSERT_EQ(frames.size(), 1);
    // The deframer drops one trailing CR; 255 is the last byte here, so nothing is lost.
    EXPECT_EQ(Kiss::decode(frames[0], "N9XXX").text, "NOCALL-3>APRS,WIDE1-1:" + info);
}

TEST(KissDecode, EveryByteValueAloneRoundTrips)
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray info(1, static_cast<char>(b));
        EXPECT_EQ(roundTrip("APRS", "NOCALL", "", info), "NOCALL>APRS:" + info) << b;
    }
}

struct DigiCase {
    const char* name;
    QByteArray path; ///< as sent
    QByteArray ownCall;
    QByteArray text;   ///< decoded text
    QByteArray resend; ///< path of the digipeat request; empty: no request
};

class DecodeOwnCall : public ::testing::TestWithParam<DigiCase> {};

TEST_P(DecodeOwnCall, MarksOwnCallAndRequestsDigipeat)
{
    const DigiCase& c = GetParam();
    const KissEncodeResult sent = Kiss::encode("APRS", "N0CALL-7", c.path, ">hi");
    ASSERT_TRUE(sent.ok());
    const KissDecodeResult r = Kiss::decode(inner(sent.frame), c.ownCall);
    EXPECT_EQ(r.text, c.text);
    if (c.resend.isEmpty()) {
        EXPECT_FALSE(r.digipeat.has_value());
        return;
    }
    ASSERT_TRUE(r.digipeat.has_value());
    EXPECT_EQ(*r.digipeat, (DigipeatRequest{"APRS", "N0CALL-7", c.resend, ">hi"}));
    // The request goes out as a frame with our entry's H bit set, showing the same text.
    const KissEncodeResult again =
        Kiss::encode(r.digipeat->destination, r.digipeat->source, r.digipeat->path, r.digipeat->info);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(Kiss::decode(inner(again.frame), "N9XXX").text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Kiss, DecodeOwnCall,
    ::testing::Values(
        DigiCase{"FirstEntry", "N1CALL,WIDE2-1", "N1CALL", "N0CALL-7>APRS,N1CALL*,WIDE2-1:>hi",
                 "N1CALL*,WIDE2-1"},
        DigiCase{"NextAfterUsed", "WIDE1*,N1CALL-2,WIDE2-1", "N1CALL-2",
                 "N0CALL-7>APRS,WIDE1,N1CALL-2*,WIDE2-1:>hi", "WIDE1*,N1CALL-2*,WIDE2-1"},
        DigiCase{"LastOfThree", "A*,B*,N1CALL", "N1CALL", "N0CALL-7>APRS,A,B,N1CALL*:>hi", "A*,B*,N1CALL*"},
        DigiCase{"AlreadyRepeated", "N1CALL*,WIDE2-1", "N1CALL", "N0CALL-7>APRS,N1CALL*,WIDE2-1:>hi", ""},
        DigiCase{"NotNextHop", "WIDE1-1,N1CALL", "N1CALL", "N0CALL-7>APRS,WIDE1-1,N1CALL:>hi", ""},
        DigiCase{"OnlyFirstOccurrence", "N1CALL*,N1CALL", "N1CALL", "N0CALL-7>APRS,N1CALL*,N1CALL:>hi", ""},
        DigiCase{"WholeEntryOnly", "N1CALL-5,WIDE2-1", "N1CALL", "N0CALL-7>APRS,N1CALL-5,WIDE2-1:>hi", ""},
        DigiCase{"SsidPrefixNotMatched", "N1CALL-12", "N1CALL-1", "N0CALL-7>APRS,N1CALL-12:>hi", ""},
        DigiCase{"EmptyOwnCall", "WIDE1-1", "", "N0CALL-7>APRS,WIDE1-1:>hi", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KissDecode, NoPathNeverDigipeats)
{
    const KissEncodeResult sent = Kiss::encode("N1CALL", "N0CALL", "", "x");
    const KissDecodeResult r = Kiss::decode(inner(sent.frame), "N1CALL");
    EXPECT_EQ(r.text, "N0CALL>N1CALL:x");
    EXPECT_FALSE(r.digipeat.has_value());
}

struct UnescapeCase {
    const char* name;
    QByteArray in, out;
};

class Unescape : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(Unescape, UndoesStuffing)
{
    QByteArray frame = GetParam().in;
    Kiss::unescape(frame);
    EXPECT_EQ(frame, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Kiss, Unescape,
                         ::testing::Values(UnescapeCase{"Plain", hex("41 42 c0"), hex("41 42 c0")},
                                           UnescapeCase{"Tfend", hex("41 db dc 42"), hex("41 c0 42")},
                                           UnescapeCase{"Tfesc", hex("db dd"), hex("db")},
                                           UnescapeCase{"UnknownPairDropped", hex("41 db 41 42"),
                                                        hex("41 42")},
                                           UnescapeCase{"TrailingFescDropped", hex("41 db"), hex("41")},
                                           UnescapeCase{"FescFescConsumedAsPair", hex("db db dc"), hex("dc")},
                                           UnescapeCase{"Empty", QByteArray(), QByteArray()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KissDigiSubstitute, KeepsLeadingCommaAndCounts)
{
    QByteArray path = ",WIDE1*,N1CALL,WIDE2-1";
    int count = 1;
    Kiss::substituteDigipeaterAlias(path, count, "N1CALL", "N1CALL-3");
    EXPECT_EQ(path, ",WIDE1*,N1CALL-3*,WIDE2-1");
    EXPECT_EQ(count, 2);

    QByteArray unchanged = ",WIDE1,N1CALL";
    count = 0;
    Kiss::substituteDigipeaterAlias(unchanged, count, "N1CALL", "N1CALL");
    EXPECT_EQ(unchanged, ",WIDE1,N1CALL");
    EXPECT_EQ(count, 0);
}

} // namespace
} // namespace packet
