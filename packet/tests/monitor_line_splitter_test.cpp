#include "packet/monitor_line_splitter.h"
#include "packet/tests/test_bytes.h"

#include <gtest/gtest.h>

namespace packet {
namespace {

struct SplitCase {
    const char* name;
    QList<QByteArray> reads;
    QList<QByteArray> lines;
};

class SplitLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, GivesOneLinePerPacket)
{
    MonitorLineSplitter splitter;
    QList<QByteArray> lines;
    for (const QByteArray& read : GetParam().reads)
        lines += splitter.feed(read);
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Tnc, SplitLines,
    ::testing::Values(
        SplitCase{"TwoPacketsOneRead", {"A>B:one\r\nC>D:two\r\n"}, {"A>B:one", "C>D:two"}},
        SplitCase{"CrOnlyAndLfOnly", {"A>B:one\rC>D:two\n"}, {"A>B:one", "C>D:two"}},
        SplitCase{"CrLfAcrossReads", {"A>B:one\r", "\nC>D:two\r", "\n"}, {"A>B:one", "C>D:two"}},
        SplitCase{"LineAcrossReads", {"A>B:o", "n", "e\r\n"}, {"A>B:one"}},
        SplitCase{"UnfinishedKept", {"A>B:one\r\nC>D:tw"}, {"A>B:one"}},
        SplitCase{"EmptyLinesSkipped", {"\r\n\r\n\nA>B:x\r\n\r\n"}, {"A>B:x"}},
        SplitCase{"HeaderThenInfo",
                  {"N0CALL>APRS,WIDE1-1 <UI>:\r\n>hello\r\n"},
                  {"N0CALL>APRS,WIDE1-1 <UI>:>hello"}},
        SplitCase{"HeaderThenInfoAcrossReads",
                  {"N0CALL>APRS <UI>:\r", "\n", ">hel", "lo\r\nA>B:x\r\n"},
                  {"N0CALL>APRS <UI>:>hello", "A>B:x"}},
        SplitCase{"ColonBlankForm",
                  {"N0CALL>APRS,WIDE1-1: <UI>:\r\n:N1CALL   :hi{1\r\n"},
                  {"N0CALL>APRS,WIDE1-1: <UI>::N1CALL   :hi{1"}},
        SplitCase{"DoubledForm", {"N0CALL>APRS: <<UI>>:\r\n>x\r\n"}, {"N0CALL>APRS: <<UI>>:>x"}},
        SplitCase{"ResponseForm", {"N0CALL>APRS <UI R>:\r\n>x\r\n"}, {"N0CALL>APRS <UI R>:>x"}},
        SplitCase{"BlankAfterMarker", {"N0CALL>APRS <UI>: \r\n>x\r\n"}, {"N0CALL>APRS <UI>: >x"}},
        SplitCase{"HeaderWithoutInfo", {"A>B <UI>:\r\nC>D <UI>:\r\n>x\r\n"}, {"A>B <UI>:", "C>D <UI>:>x"}},
        SplitCase{"OneLineFormNotHeld", {"A>B <UI>:>x\r\nC>D:y\r\n"}, {"A>B <UI>:>x", "C>D:y"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct HeaderCase {
    const char* line;
    bool header;
};

class SplitHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(SplitHeader, Recognised)
{
    EXPECT_EQ(MonitorLineSplitter::isSplitHeader(GetParam().line), GetParam().header) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Tnc, SplitHeader,
    ::testing::Values(HeaderCase{"A>B <UI>:", true}, HeaderCase{"A>B,C*: <UI>:", true},
                      HeaderCase{"A>B: <<UI>>:", true}, HeaderCase{"A>B <UI C P>:", true},
                      HeaderCase{"A>B <UI,R>:\t ", true}, HeaderCase{"A>B <UI pid=F0 Len=5>:", true},
                      HeaderCase{"A>B <UIX>:", false}, HeaderCase{"A>B <UI>", false},
                      HeaderCase{"A>B <UI>:x", false}, HeaderCase{"A>B <I R1 S0>:", false},
                      HeaderCase{"<UI>:", false}, HeaderCase{"A B <UI>:", false},
                      HeaderCase{"A>B <UI>>:", false}, HeaderCase{"cmd:", false}, HeaderCase{"", false}));

TEST(MonitorLineSplitter, FlushGivesPromptWithoutLineEnd)
{
    MonitorLineSplitter splitter;
    EXPECT_TRUE(splitter.feed("A>B:x\r\ncmd:").size() == 1);
    EXPECT_TRUE(splitter.hasPending());
    EXPECT_EQ(splitter.flush(), QList<QByteArray>{"cmd:"});
    EXPECT_FALSE(splitter.hasPending());
}

TEST(MonitorLineSplitter, FlushGivesHeldHeaderJoinedWithUnfinishedInfo)
{
    MonitorLineSplitter splitter;
    EXPECT_TRUE(splitter.feed("A>B <UI>:\r\n>inf").isEmpty());
    EXPECT_EQ(splitter.flush(), QList<QByteArray>{"A>B <UI>:>inf"});

    EXPECT_TRUE(splitter.feed("A>B <UI>:\r\n").isEmpty());
    EXPECT_EQ(splitter.flush(), QList<QByteArray>{"A>B <UI>:"});
}

TEST(MonitorLineSplitter, LongLineComesInBoundedPieces)
{
    MonitorLineSplitter splitter;
    const qsizetype total = 3 * MonitorLineSplitter::kMaxLine + 10;
    QList<QByteArray> lines;
    for (int i = 0; i < 3 * 64; ++i)
        lines += splitter.feed(QByteArray(total / (3 * 64), 'x'));
    lines += splitter.feed(QByteArray(total % (3 * 64), 'x'));
    ASSERT_EQ(lines.size(), 3);
    for (const QByteArray& l : lines)
        EXPECT_EQ(l.size(), MonitorLineSplitter::kMaxLine);
    EXPECT_EQ(splitter.flush(), QList<QByteArray>{QByteArray(10, 'x')});
}

} // namespace
} // namespace packet
