#include "records/csv_table.h"
#include "records/raynet_row.h"
#include "records/raynet_sheet.h"

#include "tests/support/temp_station_dir.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace records;

namespace {

using Cells = std::array<std::optional<QByteArray>, RaynetRow::kColumns>;
const auto kNo = std::nullopt;
const QByteArray kEmpty;

struct RowCase {
    const char* name;
    QByteArray callsign;
    QByteArray text;
    Cells cells;
};

} // namespace

TEST(RaynetRow, LayoutAndSplitting)
{
    const QByteArray msg = "G4ABC>APSK63::M0XYZ    :Casualties,3,Grid 12,{7";
    const QByteArray msgRest = ":M0XYZ    :Casualties,3,Grid 12,{7";
    const RowCase cases[] = {
        {"message with three data fields",
         "G4ABC",
         msg,
         {"t", "G4ABC", ":M0XYZ    :Casualties", "3", "Grid 12", msgRest, kNo}},
        {"message from this station (col 7)",
         "M0XYZ-9",
         msg,
         {"t", "M0XYZ-9", ":M0XYZ    :Casualties", "3", "Grid 12", msgRest, msgRest}},
        {"no colon at all", "G4ABC", "plain beacon text", {"t", "G4ABC", kNo, kNo, kNo, kNo, kNo}},
        {"no colon, own station: whole text in col 7",
         "M0XYZ",
         "plain, text",
         {"t", "M0XYZ", kEmpty, kEmpty, kEmpty, kNo, "plain, text"}},
        {"one colon only: no data split",
         "G4ABC",
         "G4ABC>APRS:status,a,b",
         {"t", "G4ABC", kNo, kNo, kNo, kNo, kNo}},
        {"one colon, own station",
         "M0XYZ",
         "M0XYZ>APRS:status,a,b",
         {"t", "M0XYZ", kEmpty, kEmpty, kEmpty, kNo, "status,a,b"}},
        {"three empty data fields",
         "G4ABC",
         "::M0XYZ    :,,,",
         {"t", "G4ABC", ":M0XYZ    :", kEmpty, kEmpty, ":M0XYZ    :,,,", kNo}},
        // Missing fields stay empty instead of repeating the previous column.
        {"two data fields",
         "G4ABC",
         "x::AB:one,two",
         {"t", "G4ABC", ":AB:one", kEmpty, kEmpty, ":AB:one,two", kNo}},
        {"no comma", "G4ABC", "x::AB:one", {"t", "G4ABC", kEmpty, kEmpty, kEmpty, ":AB:one", kNo}},
        {"extra fields ignored",
         "G4ABC",
         "x:a:1,2,3,4,5",
         {"t", "G4ABC", "a:1", "2", "3", "a:1,2,3,4,5", kNo}},
    };
    for (const auto& c : cases) {
        const RaynetRow row = raynetRow("t", c.callsign, c.text, "M0XYZ");
        for (size_t i = 0; i < c.cells.size(); ++i)
            EXPECT_EQ(row.cells[i], c.cells[i]) << c.name << ", column " << i + 1;
    }
}

TEST(RaynetRow, EmptyTncCallsignMatchesNobody)
{
    EXPECT_FALSE(raynetRow("t", "G4ABC", "text", "").cells[6].has_value());
}

TEST(RaynetSheet, StartRowTwoWritesRowsTwoThenThree)
{
    testsupport::TempStationDir dir;
    RaynetSheet sheet(RaynetSheet::pathIn(dir.path()), *RaynetSheet::parseStartRow("2"));
    EXPECT_EQ(sheet.row(), 1);
    ASSERT_TRUE(sheet.writeEntry("2024-05-06 10:00:00", "G4ABC", "beacon", "M0XYZ"));
    EXPECT_EQ(sheet.row(), 2);
    ASSERT_TRUE(sheet.writeEntry("2024-05-06 10:01:00", "M0XYZ", "x::G4ABC    :a,b,c,", "M0XYZ"));
    EXPECT_EQ(sheet.row(), 3);
    EXPECT_EQ(dir.read(RaynetSheet::kFileName),
              QByteArray("\r\n"
                         "2024-05-06 10:00:00,G4ABC\r\n"
                         "2024-05-06 10:01:00,M0XYZ,:G4ABC    :a,b,c,"
                         "\":G4ABC    :a,b,c,\",\":G4ABC    :a,b,c,\"\r\n"));
}

TEST(RaynetSheet, KeepsOperatorCellsInOtherRowsAndColumns)
{
    testsupport::TempStationDir dir;
    dir.write(RaynetSheet::kFileName, "Time,Call,D1,D2,D3,Text,Own,Notes\r\n"
                                      ",,,,,,,keep me\r\n"
                                      "\"old, row\"\r\n");
    RaynetSheet sheet(RaynetSheet::pathIn(dir.path()), 2);
    ASSERT_TRUE(sheet.writeEntry("t", "G4ABC", "beacon", "M0XYZ"));
    const CsvTable t = CsvTable::parse(dir.read(RaynetSheet::kFileName));
    EXPECT_EQ(t.rows()[0], (QList<QByteArray>{"Time", "Call", "D1", "D2", "D3", "Text", "Own", "Notes"}));
    EXPECT_EQ(t.rows()[1], (QList<QByteArray>{"t", "G4ABC", "", "", "", "", "", "keep me"}));
    EXPECT_EQ(t.rows()[2], (QList<QByteArray>{"old, row"}));
}

TEST(RaynetSheet, UnwritableFileSkipsEntryButCounterAdvances)
{
    testsupport::TempStationDir dir;
    const QString path = RaynetSheet::pathIn(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(RaynetSheet::kFileName)); // cannot be read or replaced
    RaynetSheet sheet(path, 2);
    EXPECT_FALSE(sheet.writeEntry("t", "G4ABC", "one", "M0XYZ"));
    EXPECT_FALSE(sheet.writeEntry("t", "G4ABC", "two", "M0XYZ"));
    EXPECT_EQ(sheet.row(), 3);
    ASSERT_TRUE(QDir(dir.path()).rmdir(RaynetSheet::kFileName));
    ASSERT_TRUE(sheet.writeEntry("t", "G4ABC", "three", "M0XYZ"));
    EXPECT_EQ(dir.read(RaynetSheet::kFileName), QByteArray("\r\n\r\n\r\nt,G4ABC\r\n"));
}

TEST(RaynetSheet, RowsOutsideTheSheetAreSkipped)
{
    testsupport::TempStationDir dir;
    RaynetSheet sheet(RaynetSheet::pathIn(dir.path()), 0);
    EXPECT_FALSE(sheet.writeEntry("t", "G4ABC", "x", "M0XYZ")); // row 0
    EXPECT_TRUE(sheet.writeEntry("t", "G4ABC", "x", "M0XYZ"));  // row 1
    EXPECT_FALSE(dir.read(RaynetSheet::kFileName).isEmpty());
}

TEST(RaynetSheet, StartRowIsParsedStrictly)
{
    const std::pair<QString, std::optional<int>> cases[] = {{"2", 2},
                                                            {" 15 ", 15},
                                                            {"1048576", 1048576},
                                                            {"5a", std::nullopt},
                                                            {"", std::nullopt},
                                                            {"abc", std::nullopt},
                                                            {"-3", std::nullopt},
                                                            {"+3", std::nullopt},
                                                            {"1", std::nullopt},
                                                            {"0", std::nullopt},
                                                            {"1048577", std::nullopt},
                                                            {"99999999999", std::nullopt},
                                                            {"1 5", std::nullopt}};
    for (const auto& [text, row] : cases)
        EXPECT_EQ(RaynetSheet::parseStartRow(text), row) << text.toStdString();
}

TEST(RaynetSheet, CreateIfMissingMakesOneEmptyRowAndKeepsExisting)
{
    testsupport::TempStationDir dir;
    const QString path = RaynetSheet::pathIn(dir.path());
    ASSERT_TRUE(RaynetSheet::createIfMissing(path));
    EXPECT_EQ(dir.read(RaynetSheet::kFileName), QByteArray("\r\n"));
    dir.write(RaynetSheet::kFileName, "Heading\r\n");
    ASSERT_TRUE(RaynetSheet::createIfMissing(path));
    EXPECT_EQ(dir.read(RaynetSheet::kFileName), QByteArray("Heading\r\n"));
}
