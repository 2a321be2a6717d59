#include "records/csv_table.h"

#include <gtest/gtest.h>

using namespace records;

namespace {
using Rows = QList<QList<QByteArray>>;
}

TEST(CsvTable, ParsesRfc4180Forms)
{
    struct Case {
        QByteArray text;
        Rows rows;
    };
    const Case cases[] = {
        {"", {}},
        {"a,b\r\nc\r\n", {{"a", "b"}, {"c"}}},
        {"a,b\nc", {{"a", "b"}, {"c"}}},
        {"a\rb\r\n", {{"a"}, {"b"}}},
        {"\r\nx\r\n", {{}, {"x"}}},
        {"a,,\r\n", {{"a", "", ""}}},
        {"\"q,1\",\"say \"\"hi\"\"\"\r\n", {{"q,1", "say \"hi\""}}},
        {"\"two\r\nlines\",z\r\n", {{"two\r\nlines", "z"}}},
        {"ab\"c,d\r\n", {{"ab\"c", "d"}}},
        {"\"open,end", {{"open,end"}}},
        {"\"\"\r\n", {{""}}},
        {QByteArray("\xFF\x00\xB0,x", 5), {{QByteArray("\xFF\x00\xB0", 3), "x"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvTable::parse(c.text).rows(), c.rows) << c.text.toStdString();
}

TEST(CsvTable, SerializesWithQuotingOnlyWhereNeeded)
{
    CsvTable t;
    ASSERT_TRUE(t.setCell(1, 1, "plain"));
    ASSERT_TRUE(t.setCell(1, 2, "a,b"));
    ASSERT_TRUE(t.setCell(1, 3, "say \"x\""));
    ASSERT_TRUE(t.setCell(3, 2, "cr\rhere"));
    EXPECT_EQ(t.serialize(), QByteArray("plain,\"a,b\",\"say \"\"x\"\"\"\r\n\r\n,\"cr\rhere\"\r\n"));
}

TEST(CsvTable, RoundTripKeepsEveryCell)
{
    CsvTable t;
    const QByteArray odd("\"\r\n,\x01\xFE", 6);
    t.setCell(2, 5, odd);
    t.setCell(1, 1, " lead and trail ");
    t.setCell(4, 1, "");
    const CsvTable back = CsvTable::parse(t.serialize());
    EXPECT_EQ(back.cell(2, 5), odd);
    EXPECT_EQ(back.cell(1, 1), QByteArray(" lead and trail "));
    EXPECT_EQ(back.rowCount(), 4);
    EXPECT_EQ(back.serialize(), t.serialize());
}

TEST(CsvTable, SetCellBoundsAndMissingCells)
{
    CsvTable t;
    EXPECT_FALSE(t.setCell(0, 1, "x"));
    EXPECT_FALSE(t.setCell(1, 0, "x"));
    EXPECT_FALSE(t.setCell(CsvTable::kMaxRow + 1, 1, "x"));
    EXPECT_FALSE(t.setCell(1, CsvTable::kMaxColumn + 1, "x"));
    EXPECT_EQ(t.rowCount(), 0);
    EXPECT_EQ(t.cell(5, 5), QByteArray());
    EXPECT_EQ(t.cell(-1, 1), QByteArray());
}
