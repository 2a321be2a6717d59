#include "packet/kiss_codec.h"
#include "packet/kiss_deframer.h"
#include "packet/tests/test_bytes.h"

#include <gtest/gtest.h>

namespace packet {
namespace {

using test::hex;

// Three frames from direwolf as a slow reader gets them: one read, back-to-back FENDs.
const QByteArray kDirewolfRead =
    hex("c0 00 82 a0 a4 a6 40 40 e0 9c 9e 86 82 98 98 e2 ae 92 88 8a 62 40 63 03 f0"
        " 3e 68 65 6c 6c 6f 20 74 65 73 74 c0"
        "c0 00 82 a0 a6 96 64 60 e0 9c 60 86 82 98 98 e1 03 f0"
        " 3a 4e 31 43 41 4c 4c 20 20 20 3a 68 65 6c 6c 6f 7b 31 32 c0"
        "c0 00 82 a0 a4 a6 40 40 e0 9c 60 86 82 98 98 ee 88 92 8e 92 62 40 e0 ae 92 88 8a 64 40"
        " 63 03 f0 3e 76 69 61 20 64 69 67 69 c0");

const QList<QByteArray> kDirewolfTexts = {"NOCALL-1>APRS,WIDE1-1:>hello test",
                                          "N0CALL>APSK20::N1CALL   :hello{12",
                                          "N0CALL-7>APRS,DIGI1*,WIDE2-1:>via digi"};

QList<QByteArray> decodeAll(const QList<QByteArray>& frames)
{
    QList<QByteArray> texts;
    for (const QByteArray& f : frames)
        texts.append(Kiss::decode(f, "N9XXX").text);
    return texts;
}

TEST(KissDeframer, SplitsOneReadHoldingThreeFrames)
{
    KissDeframer deframer;
    EXPECT_EQ(decodeAll(deframer.feed(kDirewolfRead)), kDirewolfTexts);
    EXPECT_EQ(deframer.pendingBytes(), 1); // the last FEND may open the next frame
}

TEST(KissDeframer, SameFramesWhereverTheStreamIsCut)
{
    for (qsizetype cut = 0; cut <= kDirewolfRead.size(); ++cut) {
        KissDeframer deframer;
        QList<QByteArray> frames = deframer.feed(kDirewolfRead.left(cut));
        frames += deframer.feed(kDirewolfRead.mid(cut));
        EXPECT_EQ(decodeAll(frames), kDirewolfTexts) << "cut at " << cut;
    }
}

TEST(KissDeframer, ByteByByte)
{
    KissDeframer deframer;
    QList<QByteArray> frames;
    for (const char c : kDirewolfRead)
        frames += deframer.feed(QByteArray(1, c));
    EXPECT_EQ(decodeAll(frames), kDirewolfTexts);
}

struct StreamCase {
    const char* name;
    QByteArray stream;
    QList<QByteArray> frames;
};

class DeframeStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(DeframeStream, GivesFrames)
{
    KissDeframer deframer;
    EXPECT_EQ(deframer.feed(GetParam().stream), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(
    Kiss, DeframeStream,
    ::testing::Values(StreamCase{"SharedFend", hex("c0 00 41 c0 00 42 c0"), {"A", "B"}},
                      StreamCase{"NoiseBeforeFirstFend", hex("41 42 43 c0 00 44 c0"), {"D"}},
                      StreamCase{"ManyFends", hex("c0 c0 c0 00 41 c0 c0 c0"), {"A"}},
                      StreamCase{"CommandByteOnly", hex("c0 00 c0 00 41 c0"), {"A"}},
                      StreamCase{"TrailingCrDropped", hex("c0 00 41 0d c0"), {"A"}},
                      StreamCase{"OnlyOneCrDropped", hex("c0 00 41 0d 0d c0"), {QByteArray("A\r")}},
                      StreamCase{"CommandByteNotChecked", hex("c0 10 41 c0"), {"A"}},
                      StreamCase{"StaysStuffed", hex("c0 00 41 db dc db dd c0"), {hex("41 db dc db dd")}},
                      StreamCase{"Unfinished", hex("c0 00 41 42"), {}},
                      StreamCase{"NoFend", hex("41 42"), {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KissDeframer, KeepsUnfinishedFrame)
{
    KissDeframer deframer;
    EXPECT_TRUE(deframer.feed(hex("c0 00 41 42")).isEmpty());
    EXPECT_EQ(deframer.pendingBytes(), 4);
    EXPECT_EQ(deframer.feed(hex("43 c0")), QList<QByteArray>{"ABC"});
}

TEST(KissDeframer, DropsNoiseWithoutFend)
{
    KissDeframer deframer;
    deframer.feed(QByteArray(100000, 'x'));
    EXPECT_EQ(deframer.pendingBytes(), 0);
}

TEST(KissDeframer, DropsRunawayFrameAndResynchronises)
{
    KissDeframer deframer;
    EXPECT_TRUE(deframer.feed(hex("c0 00") + QByteArray(KissDeframer::kMaxPending, 'x')).isEmpty());
    EXPECT_EQ(deframer.pendingBytes(), 0);
    // The rest of the runaway frame is noise up to its closing FEND, which then opens the
    // next frame.
    EXPECT_EQ(deframer.feed(QByteArray(1000, 'y') + hex("c0 00 41 c0")), QList<QByteArray>{"A"});
    for (int i = 0; i < 100; ++i)
        deframer.feed(hex("c0 00") + QByteArray(4000, 'z'));
    EXPECT_LE(deframer.pendingBytes(), KissDeframer::kMaxPending);
}

TEST(KissDeframer, ResetForgetsUnfinishedFrame)
{
    KissDeframer deframer;
    deframer.feed(hex("c0 00 41"));
    deframer.reset();
    EXPECT_EQ(deframer.feed(hex("42 c0 00 43 c0")), QList<QByteArray>{"C"});
}

} // namespace
} // namespace packet
