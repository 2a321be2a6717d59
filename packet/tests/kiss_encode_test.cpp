#include "packet/kiss_codec.h"
#include "packet/tests/test_bytes.h"

#include <gtest/gtest.h>

namespace packet {
namespace {

using test::hex;

struct FrameCase {
    const char* name;
    QByteArray destination, source, path, info;
    QByteArray expected;
};

class EncodeFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(EncodeFrame, GivesExactBytes)
{
    const FrameCase& c = GetParam();
    const KissEncodeResult r = Kiss::encode(c.destination, c.source, c.path, c.info);
    EXPECT_TRUE(r.ok()) << r.message.toStdString();
    EXPECT_EQ(r.frame, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kiss, EncodeFrame,
    ::testing::Values(FrameCase{"NoPathSourceSsid9", "APRS", "NOCALL-9", "", "test",
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 73 03 f0 74657374 c0")},
                      FrameCase{"TwoDigisSsidBytes62And63", "APRS", "NOCALL", "WIDE1-1,WIDE2-1", ">x",
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 60 ae92888a6240 62"
                                    " ae92888a6440 63 03 f0 3e78 c0")},
                      FrameCase{"RepeatedLastDigiIsE3", "APRS", "NOCALL", "WIDE1-1,WIDE2-1*", ">x",
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 60 ae92888a6240 62"
                                    " ae92888a6440 e3 03 f0 3e78 c0")},
                      FrameCase{"RepeatedDigiFollowedIsE2", "APRS", "NOCALL", "WIDE2-1*,WIDE1-1", ">x",
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 60 ae92888a6440 e2"
                                    " ae92888a6240 63 03 f0 3e78 c0")},
                      FrameCase{"RepeatedSsid0", "APRS", "NOCALL", "DIGI1*", "",
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 60 88928e926240 e1 03 f0 c0")},
                      FrameCase{"Ssid15Everywhere", "APRS-15", "NOCALL-15", "", "",
                                hex("c0 00 82a0a4a64040 fe 9c9e86829898 7f 03 f0 c0")},
                      // What direwolf accepted and put on the air (peers.md), byte for byte.
                      FrameCase{"MessageThroughDirewolf", "APSK63", "N0CALL", "WIDE1-1",
                                ":N1CALL   :test tx{7",
                                hex("c0 00 82 a0 a6 96 6c 66 e0 9c 60 86 82 98 98 60 ae 92 88 8a 62 40 63 03"
                                    " f0 3a 4e 31 43 41 4c 4c 20 20 20 3a 74 65 73 74 20 74 78 7b 37 c0")},
                      FrameCase{"FendAndFescInInfoAreStuffed", "APRS", "NOCALL", "",
                                QByteArray("\xC0"
                                           "a\xDB"),
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 61 03 f0 dbdc 61 dbdd c0")},
                      // "`" shifts to C0: stuffing covers the address as well.
                      FrameCase{"FendInAddressIsStuffed", "A`", "NOCALL", "", "",
                                hex("c0 00 82 dbdc 40404040 e0 9c9e86829898 61 03 f0 c0")},
                      FrameCase{"SsidDigitsThenJunk", "APRS-1x", "NOCALL-", "", "",
                                hex("c0 00 82a0a4a64040 e2 9c9e86829898 61 03 f0 c0")},
                      FrameCase{"EightDigisAllowed", "APRS", "NOCALL", "A,B,C,D,E,F,G,H", "",
                                hex("c0 00 82a0a4a64040 e0 9c9e86829898 60"
                                    " 824040404040 60 844040404040 60 864040404040 60 884040404040 60"
                                    " 8a4040404040 60 8c4040404040 60 8e4040404040 60 904040404040 61"
                                    " 03 f0 c0")}),
    [](const auto& info) { return std::string(info.param.name); });

struct RejectCase {
    const char* name;
    QByteArray destination, source, path;
    const char* message;
};

const char* const kDestSsid =
    "Your Destination SSID is greater than 15. This is not allowed. Please change your "
    "Destination SSID to be a number that is lower than 16.";
const char* const kDestLength =
    "Your Destination Call Sign has more than 6 Characters. This is not allowed. Please change "
    "your Destination Call Sign to have no more than 6 Characters Max.";
const char* const kSourceSsid =
    "Your MYCall SSID is greater than 15. This is not allowed. Please change your MYcall SSID to "
    "be a number that is lower than 16.";
const char* const kSourceLength =
    "Your MyCall Sign has more than 6 Characters. This is not allowed. Please change your MyCall "
    "Sign to have no more than 6 Characters Max.";
const char* const kDigiCount =
    "You cannot have more than 8 Digipeater Call Signs. Please Reduce the number of Digipeaters.";
const char* const kDigiSsid =
    "One or more of your Digipeater SSID is greater than 15. This is not allowed. Please change "
    "the offending Digipeater SSID to be a number that is lower than 16.";
const char* const kDigiLength =
    "One or more of Your Digipeater Call Sign has more than 6 Characters. This is not allowed. "
    "Please change your Digipeater Call Sign to have no more than 6 Characters Max.";

class EncodeReject : public ::testing::TestWithParam<RejectCase> {};

TEST_P(EncodeReject, GivesFirstFailingMessageAndNoFrame)
{
    const RejectCase& c = GetParam();
    const KissEncodeResult r = Kiss::encode(c.destination, c.source, c.path, "info");
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.message, QString::fromLatin1(c.message));
    EXPECT_TRUE(r.frame.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Kiss, EncodeReject,
    ::testing::Values(RejectCase{"DestSevenChars", "APRSXYZ", "NOCALL", "", kDestLength},
                      RejectCase{"DestSsid16", "APRS-16", "NOCALL", "", kDestSsid},
                      RejectCase{"DestSsidHuge", "APRS-99999999999999999999", "NOCALL", "", kDestSsid},
                      RejectCase{"DestSsidBeforeLength", "APRSXYZ-16", "NOCALL", "", kDestSsid},
                      RejectCase{"DestBeforeSource", "APRSXYZ", "NOCALLX", "", kDestLength},
                      RejectCase{"SourceSevenChars", "APRS", "NOCALLX", "", kSourceLength},
                      RejectCase{"SourceSsid16", "APRS", "NOCALL-16", "", kSourceSsid},
                      RejectCase{"SourceBeforePath", "APRS", "NOCALL-16", "A,B,C,D,E,F,G,H,I", kSourceSsid},
                      RejectCase{"NinthDigi", "APRS", "NOCALL", "A,B,C,D,E,F,G,H,I", kDigiCount},
                      RejectCase{"NinthDigiBeforeEntryChecks", "APRS", "NOCALL", "A-16,B,C,D,E,F,G,H,I",
                                 kDigiCount},
                      RejectCase{"DigiSsid16", "APRS", "NOCALL", "WIDE1-1,WIDE2-16", kDigiSsid},
                      RejectCase{"DigiSsid16Repeated", "APRS", "NOCALL", "WIDE2-16*", kDigiSsid},
                      RejectCase{"DigiSevenChars", "APRS", "NOCALL", "WIDE1-1,TOOLONG", kDigiLength},
                      RejectCase{"DigiEntriesInOrder", "APRS", "NOCALL", "TOOLONG,WIDE-16", kDigiLength}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KissEncode, LeavesInfoUnstuffedForTheNextSend)
{
    const QByteArray info("a\xC0\xDB"
                          "b");
    const QByteArray copy = info;
    const KissEncodeResult first = Kiss::encode("APRS", "NOCALL", "", info);
    const KissEncodeResult second = Kiss::encode("APRS", "NOCALL", "", info);
    EXPECT_EQ(info, copy);
    EXPECT_EQ(first.frame, second.frame);
}

} // namespace
} // namespace packet
