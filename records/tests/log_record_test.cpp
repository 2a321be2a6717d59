#include "records/log_file.h"
#include "records/log_record.h"

#include "tests/support/temp_station_dir.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace records;

TEST(LogRecord, QuotesEachFieldAndEndsWithCrLf)
{
    EXPECT_EQ(logRecord({"2024-03-01 07:05:09", "G4ABC-9", "hello, world"}),
              QByteArray("\"2024-03-01 07:05:09\",\"G4ABC-9\",\"hello, world\"\r\n"));
}

TEST(LogRecord, KeepsQuotesCrAndEightBitBytesUnchanged)
{
    const QByteArray text("say \"hi\"\r\xB0\xFF", 11);
    EXPECT_EQ(logRecord({" ", "AB", text}), QByteArray("\" \",\"AB\",\"say \"hi\"\r\xB0\xFF\"\r\n", 24));
}

TEST(LogRecord, TimeStampIsUtcDateBlankTime)
{
    const QDateTime local(QDate(2024, 12, 31), QTime(23, 59, 58), QTimeZone(QByteArrayLiteral("UTC+02:00")));
    EXPECT_EQ(logTimeStamp(local), QByteArray("2024-12-31 21:59:58"));
    EXPECT_EQ(logTimeStampNow().size(), 19);
}

TEST(LogRecord, NetworkRecordHasNoQuotesNorLineEnd)
{
    EXPECT_EQ(networkRecord("2024-01-02 03:04:05", "M0XYZ", "::G4ABC    :hi{3"),
              QByteArray("2024-01-02 03:04:05,M0XYZ,::G4ABC    :hi{3"));
}

TEST(LogFile, AppendsRecordsAndNeverTruncates)
{
    testsupport::TempStationDir dir;
    dir.write(kReceiveLogName, "old line\r\n");
    const LogFile log = LogFile::receiveLog(dir.path());
    EXPECT_EQ(log.path(), dir.file(kReceiveLogName));
    ASSERT_TRUE(log.append({"t1", "A", "one"}));
    ASSERT_TRUE(log.append({"t2", "B", "two"}));
    EXPECT_EQ(dir.read(kReceiveLogName),
              QByteArray("old line\r\n\"t1\",\"A\",\"one\"\r\n\"t2\",\"B\",\"two\"\r\n"));
}

TEST(LogFile, CreatesMissingFileAndNamesTheThreeLogs)
{
    testsupport::TempStationDir dir;
    ASSERT_TRUE(LogFile::transmitLog(dir.path()).append({"t", "ADDR", "text\r"}));
    EXPECT_EQ(dir.read(kTransmitLogName), QByteArray("\"t\",\"ADDR\",\"text\r\"\r\n"));
    ASSERT_TRUE(LogFile::mheardLog(dir.path()).append({"t", "heard"}));
    EXPECT_TRUE(dir.exists("skylark_mheard.log"));
}

TEST(LogFile, UnwritableFileIsSkipped)
{
    testsupport::TempStationDir dir;
    // A folder where the log should be cannot be opened as a file.
    ASSERT_TRUE(QDir(dir.path()).mkdir(kReceiveLogName));
    EXPECT_FALSE(LogFile::receiveLog(dir.path()).append({"t", "A", "x"}));
}

TEST(LogFile, RollsOverAtItsSizeKeepingTheNameAndWholeRecords)
{
    testsupport::TempStationDir dir;
    const LogFile log(dir.file(kMheardLogName), 100, 2);
    QByteArray all;
    for (int i = 0; i < 20; ++i) {
        const QByteArray record = logRecord({"2026-12-07 01:00:" + QByteArray::number(10 + i), "line"});
        ASSERT_TRUE(log.append({"2026-12-07 01:00:" + QByteArray::number(10 + i), "line"}));
        all += record;
    }
    auto name = [](const char* suffix) { return QLatin1String(kMheardLogName) + QLatin1String(suffix); };
    const QByteArray current = dir.read(name(""));
    const QByteArray one = dir.read(name(".1"));
    const QByteArray two = dir.read(name(".2"));
    EXPECT_FALSE(dir.exists(name(".3"))) << "only two old files are kept";
    for (const QByteArray* file : {&current, &one, &two}) {
        EXPECT_LE(file->size(), 100);
        EXPECT_TRUE(file->startsWith("\"2026-12-07") && file->endsWith("\r\n")) << file->constData();
    }
    // Oldest to newest, the kept files are the tail of everything written, nothing lost between.
    EXPECT_TRUE(all.endsWith(two + one + current));
    EXPECT_TRUE(current.endsWith(logRecord({"2026-12-07 01:00:29", "line"})));
}

TEST(LogFile, TheStationLogsRollOverAtTenMegabytes)
{
    testsupport::TempStationDir dir;
    for (const LogFile& log : {LogFile::receiveLog(dir.path()), LogFile::transmitLog(dir.path()),
                               LogFile::mheardLog(dir.path())}) {
        QFile f(log.path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(10 * 1024 * 1024 - 20));
        f.close();
        ASSERT_TRUE(log.append({"t", "fits"}));
        EXPECT_FALSE(QFile::exists(log.path() + ".1"));
        ASSERT_TRUE(log.append({"t", "goes past the limit"}));
        EXPECT_EQ(QFileInfo(log.path() + ".1").size(),
                  10 * 1024 * 1024 - 20 + logRecord({"t", "fits"}).size());
        EXPECT_EQ(dir.read(QFileInfo(log.path()).fileName()), logRecord({"t", "goes past the limit"}));
    }
}
