#include "records/log_file.h"
#include "records/log_record.h"

#include "temp_station_dir.h"

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
