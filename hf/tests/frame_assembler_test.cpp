#include "hf/frame_assembler.h"
#include "hf/hf_frame.h"

#include <gtest/gtest.h>

using namespace hf;

namespace {

const QByteArray kBody = "NOCALL>APSK63:hello";

QByteArray frameOf(const QByteArray& body)
{
    return buildFrame(body, FrameSender::Message);
}

} // namespace

TEST(FrameAssembler, CompleteFrameInPieces)
{
    FrameAssembler a;
    const QByteArray frame = frameOf(kBody);
    qint64 now = 0;
    QList<AssembledFrame> got;
    for (qsizetype i = 0; i < frame.size(); i += 3) {
        a.append(7, QByteArrayView(frame).sliced(i, qMin<qsizetype>(3, frame.size() - i)));
        got += a.tick(now += 10);
    }
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].channel, 7);
    EXPECT_TRUE(got[0].good);
    EXPECT_EQ(parseFrame(got[0].text).body, kBody);
    EXPECT_TRUE(a.assembly(7).isEmpty()) << "end flag spaces and CR LF are dropped";
}

TEST(FrameAssembler, StartAndEndFlagRules)
{
    const QByteArray tail = kBody + checkField(kBody) + "\t~ ";
    struct Case {
        const char* name;
        QByteArray text;
        int frames;
    };
    const Case cases[] = {
        {"ten dots",
         ".........."
         "~" +
             tail,
         1},
        {"three dots still recognised", "...~" + tail, 1},
        {"two dots are not", "..~" + tail, 0},
        {"single space after end tilde completes", "....~" + tail, 1},
        {"no end flag yet", "..........~" + kBody + checkField(kBody) + "\t~", 0},
        {"end flag before preamble is garbage", "zz~ ...~" + kBody, 0},
        {"noise then frame", "q~ x.~ junk..........~" + tail, 1},
    };
    for (const auto& c : cases) {
        FrameAssembler a;
        a.append(3, c.text);
        EXPECT_EQ(a.tick(0).size(), c.frames) << c.name;
    }
}

TEST(FrameAssembler, GarbageBeforeEndFlagIsDroppedButLaterFrameKept)
{
    FrameAssembler a;
    a.append(1, "..~garbage\t~   \r\n");
    EXPECT_TRUE(a.tick(0).isEmpty());
    EXPECT_TRUE(a.assembly(1).isEmpty());
    a.append(1, frameOf(kBody));
    EXPECT_EQ(a.tick(10).size(), 1);
}

TEST(FrameAssembler, LengthBound)
{
    struct Case {
        qsizetype in;
        qsizetype kept;
    };
    const Case cases[] = {{700, 700}, {701, 600}, {5000, 600}};
    for (const auto& c : cases) {
        FrameAssembler a;
        a.append(0, QByteArray(c.in, '.'));
        a.tick(0);
        EXPECT_EQ(a.assembly(0).size(), c.kept) << c.in;
    }
    // The bound also holds across ticks, and the newest text is the one kept.
    FrameAssembler a;
    a.append(2, QByteArray(650, '.'));
    a.tick(0);
    a.append(2, QByteArray(51, 'x'));
    a.tick(10);
    EXPECT_EQ(a.assembly(2).size(), 600);
    EXPECT_TRUE(a.assembly(2).endsWith(QByteArray(51, 'x')));
}

TEST(FrameAssembler, TextWithoutDotsIsDropped)
{
    FrameAssembler a;
    a.append(4, "abc~def");
    a.tick(0);
    EXPECT_TRUE(a.assembly(4).isEmpty());
}

TEST(FrameAssembler, SameFrameOnTwoChannelsIsHandedOverOnce)
{
    FrameAssembler a;
    a.append(2, frameOf(kBody));
    a.append(4, "....." + frameOf(kBody).mid(5)); // shorter preamble on another decoder
    const auto frames = a.tick(0);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].channel, 2);
    // A later copy inside the window is also the same transmission.
    a.append(10, frameOf(kBody));
    EXPECT_TRUE(a.tick(1500).isEmpty());
    // Long after, the same text is a new transmission.
    a.append(10, frameOf(kBody));
    EXPECT_EQ(a.tick(1500 + FrameAssembler::kDefaultDuplicateWindowMs + 1).size(), 1);
}

TEST(FrameAssembler, DifferentFramesInTheSameTickAreAllKept)
{
    FrameAssembler a;
    a.append(12, frameOf("B>APSK26:second"));
    a.append(5, frameOf("A>APSK26:first"));
    const auto frames = a.tick(0);
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].channel, 5);
    EXPECT_EQ(parseFrame(frames[0].text).body, "A>APSK26:first");
    EXPECT_EQ(parseFrame(frames[1].text).body, "B>APSK26:second");
}

TEST(FrameAssembler, OtherChannelsKeepTheirPartialFrames)
{
    FrameAssembler a;
    const QByteArray other = frameOf("B>APSK26:other station");
    a.append(9, other.left(20));
    a.append(1, frameOf(kBody));
    EXPECT_EQ(a.tick(0).size(), 1);
    a.append(9, other.mid(20));
    const auto frames = a.tick(10);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].channel, 9);
    EXPECT_TRUE(frames[0].good);
}

TEST(FrameAssembler, TwoFramesBackToBackOnOneChannel)
{
    FrameAssembler a;
    a.append(0, frameOf("A>B:one") + frameOf("A>B:two"));
    const auto frames = a.tick(0);
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(parseFrame(frames[1].text).body, "A>B:two");
}

TEST(FrameAssembler, DamagedCopyFromAnotherChannelIsDropped)
{
    FrameAssembler a;
    QByteArray damaged = frameOf(kBody);
    damaged[15] = 'X';
    a.append(2, frameOf(kBody));
    a.append(4, damaged);
    const auto frames = a.tick(0);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_TRUE(frames[0].good);
    // A bad frame on its own is handed over, marked bad.
    FrameAssembler b;
    b.append(4, damaged);
    const auto alone = b.tick(0);
    ASSERT_EQ(alone.size(), 1);
    EXPECT_FALSE(alone[0].good);
}

TEST(FrameAssembler, AnotherStationsBadFrameSoonAfterAGoodOneIsHandedOver)
{
    FrameAssembler a;
    a.append(2, frameOf(kBody));
    ASSERT_EQ(a.tick(0).size(), 1);
    QByteArray other = frameOf("G4XYZ>APSK26:>a different station");
    other[20] = 'Q';
    a.append(9, other);
    const auto frames = a.tick(1000);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].channel, 9);
    EXPECT_FALSE(frames[0].good);
    // Its own garbled copy on a third channel is one frame with it.
    other[24] = 'Z';
    a.append(14, other);
    EXPECT_TRUE(a.tick(1200).isEmpty());
}

TEST(FrameAssembler, ClearChannelsAndBadChannelNumbers)
{
    FrameAssembler a;
    a.append(-1, frameOf(kBody));
    a.append(25, frameOf(kBody));
    EXPECT_FALSE(a.hasPendingText());
    for (int ch = 0; ch < FrameAssembler::kChannelCount; ++ch)
        a.append(ch, "....~partial");
    EXPECT_TRUE(a.hasPendingText());
    a.tick(0);
    a.clearChannels(0, 8);
    EXPECT_TRUE(a.assembly(8).isEmpty());
    EXPECT_EQ(a.assembly(9), "....~partial");
    EXPECT_TRUE(a.assembly(99).isEmpty());
}

// A channel follows a frame that fails its check with CR LF and the frame read again (the
// modem's second reading): "~" CR LF is no end flag, so only the mended frame is handed over.
TEST(FrameAssembler, AFailedReadingFollowedByItsMendedCopyGivesTheMendedFrameOnly)
{
    FrameAssembler a;
    const QByteArray sent = frameOf(kBody);
    QByteArray failed = sent.left(sent.indexOf("\t~") + 2);
    failed[14] = 'X';
    const QByteArray stream = failed + "\r\n....~" + kBody + checkField(kBody) + "\t~" + "   \r\n";
    a.append(3, stream.left(failed.size() + 1)); // the failed reading's end flag ticks on its own
    QList<AssembledFrame> got = a.tick(10);
    a.append(3, stream.mid(failed.size() + 1));
    got += a.tick(20);
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got[0].good);
    EXPECT_EQ(parseFrame(got[0].text).body, kBody);
}
