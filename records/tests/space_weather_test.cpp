#include "records/space_weather.h"

#include "tests/support/temp_station_dir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace records;

namespace {
QByteArray realBulletin()
{
    QFile f(testsupport::testDataPath("wwv.txt"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(SpaceWeatherCaption, RealBulletin)
{
    const QByteArray bulletin = realBulletin();
    ASSERT_FALSE(bulletin.isEmpty());
    EXPECT_EQ(spaceWeatherCaption(bulletin), QString("Space Weather: SF:132  A:5  K: 2"));
}

TEST(SpaceWeatherCaption, CuttingRules)
{
    const std::pair<QByteArray, std::optional<QString>> cases[] = {
        {"", std::nullopt},
        {"solar flux 100 and A-index 5. was 3.", std::nullopt},
        {"Solar flux", QString("Space Weather: SF: A:  K:")},
        {"Solar flux 70 and x-index 12. K was 4.", QString("Space Weather: SF:70  A:12  K: 4")},
        // "ndex" of any word, the character after "was" kept whatever it is.
        {"Solar flux 1 and Windex:9. K wasX7.", QString("Space Weather: SF:1  A:9  K:X7")},
        // Missing markers give empty fields, never stale or out-of-range cuts.
        {"Solar flux 132 only", QString("Space Weather: SF: A:  K:")},
        {"Solar flux 132 and A-index 5 no stop", QString("Space Weather: SF:132  A:  K:")},
        {"Solar flux 132 and A-index 5. no K", QString("Space Weather: SF:132  A:5  K:")},
        {"Solar flux 132 and A-index 5. K was 2", QString("Space Weather: SF:132  A:5  K:")},
        {"xxSolar flux 9and index.was.", QString("Space Weather: SF:9 A:was  K:")},
        {QByteArray("Solar flux \xB5 and index \xE9. was \xFF.", 32),
         QString::fromLatin1("Space Weather: SF:\xB5  A:\xE9  K: \xFF")},
    };
    for (const auto& [text, caption] : cases)
        EXPECT_EQ(spaceWeatherCaption(text), caption) << text.toStdString();
}

TEST(SpaceWeatherReport, FailuresShowNoDataAndKeepTheLastBulletin)
{
    SpaceWeatherReport report;
    report.update(realBulletin(), true);
    EXPECT_EQ(report.caption(), QString("Space Weather: SF:132  A:5  K: 2"));
    EXPECT_TRUE(report.hasBulletin());

    const std::pair<QByteArray, bool> failures[] = {
        {"", true}, {"no figures here", true}, {realBulletin(), false}};
    for (const auto& [body, ok] : failures) {
        report.update(body, ok);
        EXPECT_EQ(report.caption(), QString(kNoWwvData));
        EXPECT_EQ(report.bulletinCopy(), realBulletin());
    }

    SpaceWeatherReport fresh;
    fresh.update("", false);
    EXPECT_EQ(fresh.caption(), QString("No WWV data available"));
    EXPECT_FALSE(fresh.hasBulletin());
}
