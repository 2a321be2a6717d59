#include "packet/agwpe_deframer.h"
#include "packet/agwpe_monitor.h"
#include "packet/tests/test_bytes.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace packet {
namespace {

using test::hex;

// A 'U' monitor frame exactly as direwolf 1.6 sent it (83 data bytes ending "\r\0").
const QByteArray kDirewolfU = hex("00 00 00 00 55 00 00 00 4e 4f 43 41 4c 4c 2d 31"
                                  "00 00 41 50 52 53 00 00 00 00 00 00 53 00 00 00"
                                  "00 00 00 00 20 31 3a 46 6d 20 4e 4f 43 41 4c 4c"
                                  "2d 31 20 54 6f 20 41 50 52 53 20 56 69 61 20 57"
                                  "49 44 45 31 2d 31 20 3c 55 49 20 70 69 64 3d 46"
                                  "30 20 4c 65 6e 3d 31 31 20 50 46 3d 30 20 3e 5b"
                                  "31 38 3a 32 31 3a 34 36 5d 0d 3e 68 65 6c 6c 6f"
                                  "20 74 65 73 74 0d 00");

QByteArray agwFrame(char kind, const QByteArray& from, const QByteArray& to, const QByteArray& data,
                    quint8 port = 0)
{
    QByteArray h(AgwpeFrame::kHeaderSize, '\0');
    h[0] = static_cast<char>(port);
    h[4] = kind;
    h.replace(8, from.size(), from);
    h.replace(18, to.size(), to);
    qToLittleEndian<quint32>(static_cast<quint32>(data.size()), h.data() + 28);
    return h + data;
}

AgwpeFrame parseOne(const QByteArray& bytes)
{
    AgwpeDeframer deframer;
    const QList<AgwpeFrame> frames = deframer.feed(bytes);
    EXPECT_EQ(frames.size(), 1);
    return frames.value(0);
}

TEST(AgwpeDeframer, ReadsDirewolfHeader)
{
    ASSERT_EQ(kDirewolfU.size(), 36 + 83);
    const AgwpeFrame f = parseOne(kDirewolfU);
    EXPECT_EQ(f.port, 0);
    EXPECT_EQ(f.kind, 'U');
    EXPECT_EQ(f.callFrom, "NOCALL-1");
    EXPECT_EQ(f.callTo, "APRS");
    EXPECT_EQ(f.data.size(), 83);
    EXPECT_TRUE(f.data.endsWith(QByteArray("test\r\0", 6)));
}

TEST(AgwpeDeframer, CallFieldWithoutNulStopsAtTenBytes)
{
    const AgwpeFrame f = parseOne(agwFrame('U', "ABCDEFGHIJ", "KLMNOPQRST", "x"));
    EXPECT_EQ(f.callFrom, "ABCDEFGHIJ");
    EXPECT_EQ(f.callTo, "KLMNOPQRST");
}

TEST(AgwpeDeframer, SameFramesWhereverTheStreamIsCut)
{
    const QByteArray second = agwFrame('R', "", "", hex("d5 07 00 00 7f 00 00 00"));
    const QByteArray third = agwFrame('U', "N0CALL", "APSK20", "", 1);
    const QByteArray stream = kDirewolfU + second + third;
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        AgwpeDeframer deframer;
        QList<AgwpeFrame> frames = deframer.feed(stream.left(cut));
        frames += deframer.feed(stream.mid(cut));
        ASSERT_EQ(frames.size(), 3) << "cut at " << cut;
        EXPECT_EQ(frames[0].data, kDirewolfU.mid(36));
        EXPECT_EQ(frames[1].kind, 'R');
        EXPECT_EQ(frames[1].data, hex("d5 07 00 00 7f 00 00 00"));
        EXPECT_EQ(frames[2].port, 1);
        EXPECT_EQ(frames[2].callTo, "APSK20");
        EXPECT_TRUE(frames[2].data.isEmpty());
        EXPECT_EQ(deframer.pendingBytes(), 0);
    }
}

TEST(AgwpeDeframer, AbsurdLengthDropsBufferInsteadOfWaiting)
{
    AgwpeDeframer deframer;
    QByteArray bad = agwFrame('U', "A", "B", "");
    qToLittleEndian<quint32>(0xFFFFFFF0u, bad.data() + 28);
    EXPECT_TRUE(deframer.feed(bad + QByteArray(100, 'x')).isEmpty());
    EXPECT_EQ(deframer.pendingBytes(), 0);
    // The next read starts afresh.
    EXPECT_EQ(deframer.feed(kDirewolfU).size(), 1);
}

TEST(AgwpeDeframer, LargestLengthIsBuffered)
{
    AgwpeDeframer deframer;
    const QByteArray big = agwFrame('U', "A", "B", QByteArray(AgwpeDeframer::kMaxDataLength, 'd'));
    EXPECT_TRUE(deframer.feed(big.left(big.size() - 1)).isEmpty());
    EXPECT_EQ(deframer.pendingBytes(), big.size() - 1);
    EXPECT_EQ(deframer.feed(big.right(1)).size(), 1);
}

TEST(AgwpeMonitor, RequestIsOneMonitorHeaderForPort0)
{
    QByteArray expected(36, '\0');
    expected[4] = 'm';
    EXPECT_EQ(agwpeMonitorRequest(), expected);
}

struct LineCase {
    const char* name;
    QByteArray frame;
    std::optional<QByteArray> line;
};

class MonitorLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(MonitorLine, GivesPacketLine)
{
    EXPECT_EQ(agwpeMonitorLine(parseOne(GetParam().frame)), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Agwpe, MonitorLine,
    ::testing::Values(
        LineCase{"Direwolf", kDirewolfU, "NOCALL-1>APRS,WIDE1-1:>hello test\r\n"},
        LineCase{"PlainTextFromHeaderCalls",
                 agwFrame('U', "NOCALL-1", "APRS",
                          "Fm NOCALL-1 To APRS Via WIDE1-1 <UI pid=F0 Len=10 >[12:00:00]\r"
                          "information"),
                 "NOCALL-1>APRS,WIDE1-1:information\r\n"},
        LineCase{"NoVia",
                 agwFrame('U', "N0CALL", "APSK20",
                          QByteArray(" 1:Fm N0CALL To APSK20 <UI pid=F0 Len=19 PF=0 >[18:21:46]\r"
                                     ":N1CALL   :hello{12\r") +
                              '\0'),
                 "N0CALL>APSK20::N1CALL   :hello{12\r\n"},
        LineCase{"TwoDigis",
                 agwFrame('U', "N0CALL-7", "APRS",
                          " 1:Fm N0CALL-7 To APRS Via DIGI1,WIDE2-1 <UI pid=F0 Len=9 PF=0 "
                          ">[18:21:46]\r>via digi\r"),
                 "N0CALL-7>APRS,DIGI1,WIDE2-1:>via digi\r\n"},
        LineCase{"ViaInInfoIsNotAPath",
                 agwFrame('U', "A", "B", " 1:Fm A To B <UI pid=F0 Len=9 >[1:2:3]\r>Via X <UI"),
                 "A>B:>Via X <UI\r\n"},
        LineCase{"LineFeedInInfoDropped",
                 agwFrame('U', "A", "B", " 1:Fm A To B <UI pid=F0 Len=3 >[1:2:3]\rx\ny\r"), "A>B:xy\r\n"},
        LineCase{"OwnTransmissionIgnored",
                 agwFrame('T', "N0CALL", "APSK63",
                          " 1:Fm N0CALL To APSK63 Via WIDE1-1 <UI pid=F0 Len=20 P=0 >[18:22:40]\r"
                          ":N1CALL   :test tx{7\r"),
                 std::nullopt},
        LineCase{"ConnectedInfoIgnored",
                 agwFrame('I', "A", "B", " 1:Fm A To B <I R0 S0 pid=F0 Len=1 >[1:2:3]\rx\r"), std::nullopt},
        LineCase{"SupervisoryIgnored", agwFrame('S', "A", "B", " 1:Fm A To B <RR R0 >[1:2:3]\r"),
                 std::nullopt},
        LineCase{"UnnumberedNotUiIgnored", agwFrame('U', "A", "B", " 1:Fm A To B <SABM P >[1:2:3]\r"),
                 std::nullopt},
        LineCase{"NoTimeStampIgnored", agwFrame('U', "A", "B", "Fm A To B <UI pid=F0 Len=1 >x"),
                 std::nullopt},
        LineCase{"NoCallIgnored", agwFrame('U', "", "B", " 1:Fm A To B <UI pid=F0 Len=1 >[1:2:3]\rx"),
                 std::nullopt},
        LineCase{"VersionReplyIgnored", agwFrame('R', "", "", hex("d5 07 00 00 7f 00 00 00")), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace packet
