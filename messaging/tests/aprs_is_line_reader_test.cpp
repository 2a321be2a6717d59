#include "messaging/aprs_is_line_reader.h"

#include <gtest/gtest.h>

using namespace messaging;

TEST(AprsIsLineReader, TwoLinesAndAPartialThird)
{
    AprsIsLineReader reader;
    const auto first =
        reader.feed("# aprsc 2.1.14 keepalive\r\nA>APRS::M0SKY    :one{1\r\nB>APRS:two\r\nC>AP");
    EXPECT_EQ(first, (QList<QByteArray>{"A>APRS::M0SKY    :one{1", "B>APRS:two"}));
    EXPECT_EQ(reader.partialLine(), "C>AP");
    EXPECT_EQ(reader.feed("RS:three\r"), QList<QByteArray>{"C>APRS:three"});
    EXPECT_TRUE(reader.feed("\n").isEmpty()) << "CR LF split across reads";
    EXPECT_EQ(reader.feed("D>X:lf only\n"), QList<QByteArray>{"D>X:lf only"});
}

TEST(AprsIsLineReader, OverLongLineIsDroppedAndTheNextKept)
{
    AprsIsLineReader reader;
    EXPECT_TRUE(reader.feed(QByteArray(AprsIsLineReader::kMaxLineLength, 'x')).isEmpty());
    EXPECT_TRUE(reader.feed(QByteArray(5000, 'y')).isEmpty());
    EXPECT_TRUE(reader.partialLine().isEmpty());
    EXPECT_EQ(reader.feed("tail\r\nE>X:ok\r\n"), QList<QByteArray>{"E>X:ok"});
}

TEST(AprsIsLineReader, LineHoldingNulIsDropped)
{
    AprsIsLineReader reader;
    EXPECT_EQ(reader.feed(QByteArray("G>X::M0SKY    :a\0b{1\r\nH>X:ok\r\n", 30)),
              QList<QByteArray>{"H>X:ok"});
}

TEST(AprsIsLineReader, Reset)
{
    AprsIsLineReader reader;
    reader.feed("partial");
    reader.reset();
    EXPECT_EQ(reader.feed("F>X:new\r\n"), QList<QByteArray>{"F>X:new"});
}
