#include "position/gps_input.h"
#include "position/nmea_reader.h"

#include <gtest/gtest.h>

using namespace position;

namespace {
const QByteArray kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const QByteArray kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const QByteArray kGsv = "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75";
} // namespace

TEST(NmeaReader, SplitsMixedStreamIntoSentences)
{
    NmeaReader reader;
    const QByteArray stream = "noise" + kGsv + "\r\n" + kGga + "\r\n" + kRmc + "\r\n";
    EXPECT_EQ(reader.feed(stream), (QList<QByteArray>{kGsv, kGga, kRmc}));
    EXPECT_EQ(reader.pendingBytes(), 0);
}

TEST(NmeaReader, SentenceSplitAcrossReadsInEveryPlace)
{
    const QByteArray stream = kGga + "\r\n" + kRmc + "\r\n";
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        NmeaReader reader;
        QList<QByteArray> got = reader.feed(stream.left(cut));
        got += reader.feed(stream.mid(cut));
        EXPECT_EQ(got, (QList<QByteArray>{kGga, kRmc})) << "cut at " << cut;
    }
}

TEST(NmeaReader, EndsAtChecksumWithoutWaitingForLineEnd)
{
    NmeaReader reader;
    EXPECT_TRUE(reader.feed(kRmc.left(kRmc.size() - 1)).isEmpty());
    EXPECT_EQ(reader.feed(kRmc.right(1)), QList<QByteArray>{kRmc});
}

TEST(NmeaReader, RestartsAtDollarAndReturnsLinesWithoutChecksum)
{
    NmeaReader reader;
    EXPECT_EQ(reader.feed("$GPRMC,12" + kGga + "\n$PXYZ,1\r\n"), (QList<QByteArray>{kGga, "$PXYZ,1"}));
}

TEST(NmeaReader, BufferStaysBoundedWithoutSentences)
{
    NmeaReader reader;
    const QByteArray junk(100000, 'x');
    EXPECT_TRUE(reader.feed(junk).isEmpty());
    EXPECT_EQ(reader.pendingBytes(), 0);
    EXPECT_TRUE(reader.feed("$" + junk).isEmpty()); // a start that never ends
    EXPECT_LE(reader.pendingBytes(), NmeaReader::kMaxSentenceBytes);
    EXPECT_EQ(reader.feed(kRmc + "\r\n"), QList<QByteArray>{kRmc});
}

TEST(GpsInput, KeepsLatestCheckedRmc)
{
    GpsInput gps;
    EXPECT_FALSE(gps.feed(kGsv + "\r\n" + kRmc.left(30)));
    EXPECT_FALSE(gps.latest().has_value());
    EXPECT_TRUE(gps.feed(kRmc.mid(30) + "\r\n" + kGga + "\r\n"));
    ASSERT_TRUE(gps.latest().has_value());
    EXPECT_EQ(gps.latest()->text, kRmc);

    // A corrupted sentence is ignored; the last good one stays.
    QByteArray bad = kRmc;
    bad[20] = '9';
    EXPECT_FALSE(gps.feed(bad + "\r\n"));
    EXPECT_EQ(gps.latest()->text, kRmc);
}

TEST(NmeaReader, LongestSentenceKeptOneMoreDropped)
{
    // "$" + body + "*HH": exactly kMaxSentenceBytes passes, one byte more is dropped.
    const qsizetype body = NmeaReader::kMaxSentenceBytes - 4;
    const QByteArray longest = "$" + QByteArray(body, 'A') + "*00";
    const QByteArray tooLong = "$" + QByteArray(body + 1, 'A') + "*00";
    NmeaReader reader;
    EXPECT_EQ(reader.feed(longest), QList<QByteArray>{longest});
    EXPECT_TRUE(reader.feed(tooLong + "\r\n").isEmpty());
}
