#include "position/rmc_sentence.h"

#include <gtest/gtest.h>

using namespace position;

namespace {
const QByteArray kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
}

TEST(NmeaChecksum, AcceptsBothCasesRejectsDamage)
{
    EXPECT_TRUE(nmeaChecksumValid(kRmc));
    EXPECT_TRUE(nmeaChecksumValid("$GPRMC,,V,,,,,,,,,,N*53"));
    EXPECT_TRUE(nmeaChecksumValid("$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,"
                                  "45*75"));
    QByteArray lower = kRmc;
    lower[lower.size() - 1] = 'a';
    EXPECT_TRUE(nmeaChecksumValid(lower));
    for (const QByteArray& bad : {QByteArray(""), QByteArray("$*00"), QByteArray("$A*4G"),
                                  QByteArray("GPRMC*00"), kRmc.left(kRmc.size() - 1)})
        EXPECT_EQ(nmeaChecksumValid(bad), bad == "$*00") << bad.toStdString();
}

TEST(NmeaChecksum, EveryBitFlipOfTheBodyIsRejected)
{
    const qsizetype body = kRmc.size() - 3;
    for (qsizetype i = 1; i < body; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray flipped = kRmc;
            flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
            EXPECT_FALSE(nmeaChecksumValid(flipped)) << "byte " << i << " bit " << bit;
        }
    }
}

TEST(RmcSentence, ReadsGpAndGnTalkers)
{
    struct Case {
        QByteArray sentence;
        char status;
        QByteArray lat, ns, lon, ew;
    };
    const Case cases[] = {
        {kRmc, 'A', "4807.038", "N", "01131.000", "E"},
        {"$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*74", 'A', "4807.038", "N",
         "01131.000", "E"},
        {"$GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*7D", 'V', "4807.038", "N",
         "01131.000", "E"},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68", 'A', "4916.45", "N",
         "12311.12", "W"},
        {"$GPRMC,,V,,,,,,,,,,N*53", 'V', "", "", "", ""},
    };
    for (const auto& c : cases) {
        const auto rmc = parseRmc(c.sentence);
        ASSERT_TRUE(rmc.has_value()) << c.sentence.toStdString();
        EXPECT_EQ(rmc->text, c.sentence);
        EXPECT_EQ(rmc->status, c.status);
        EXPECT_EQ(rmc->latitude, c.lat);
        EXPECT_EQ(rmc->northSouth, c.ns);
        EXPECT_EQ(rmc->longitude, c.lon);
        EXPECT_EQ(rmc->eastWest, c.ew);
    }
}

TEST(RmcSentence, RejectsOtherSentencesAndBadChecksums)
{
    const QByteArray rejected[] = {
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
        "$GPRMC,123519,A,4807.038,N*", // no valid checksum, too few fields
    };
    for (const auto& s : rejected)
        EXPECT_FALSE(parseRmc(s).has_value()) << s.toStdString();
}
