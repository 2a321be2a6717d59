#include "links/tcp_tnc_status.h"
#include "links/tnc_line_rules.h"

#include <gtest/gtest.h>

using namespace links;

namespace {

struct GateCase {
    const char* name;
    QByteArray line;
    QByteArray expected; // empty: not gated
};

class InternetCopy : public ::testing::TestWithParam<GateCase> {};

TEST_P(InternetCopy, GivesTheGatedText)
{
    EXPECT_EQ(internetCopy(GetParam().line), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, InternetCopy,
    ::testing::Values(GateCase{"plain", "N0CALL>APRS,WIDE1-1:>hello test\r\n",
                               "N0CALL>APRS,WIDE1-1:>hello test"},
                      GateCase{"20 characters are not gated", "N0CALL>APRS:>abcdefg\r\n", ""},
                      GateCase{"21 characters are", "N0CALL>APRS:>abcdefgh\r\n", "N0CALL>APRS:>abcdefgh"},
                      GateCase{"256 characters are", "N0CALL>APRS:>" + QByteArray(243, 'x') + "\r\n",
                               "N0CALL>APRS:>" + QByteArray(243, 'x')},
                      GateCase{"257 are not", "N0CALL>APRS:>" + QByteArray(244, 'x') + "\r\n", ""},
                      GateCase{"no source marker", "just some text from the TNC\r\n", ""},
                      GateCase{"command echo", "N0CALL>APRS,WIDE1-1:cmd:monitor on\r\n", ""},
                      GateCase{"TCPIP", "N0CALL>APRS,TCPIP*:>from the internet\r\n", ""},
                      GateCase{"TCPXX", "N0CALL>APRS,TCPXX*:>from the internet\r\n", ""},
                      GateCase{"colon UI colon", "N0CALL>APRS,WIDE1-1: <UI>:>hello test\r\n",
                               "N0CALL>APRS,WIDE1-1:>hello test"},
                      GateCase{"doubled UI marker", "N0CALL>APRS,WIDE1-1: <<UI>>:>hello test\r\n",
                               "N0CALL>APRS,WIDE1-1:>hello test"},
                      GateCase{"bare UI marker", "N0CALL>APRS,WIDE1-1<UI>:>hello test\r\n",
                               "N0CALL>APRS,WIDE1-1:>hello test"},
                      GateCase{"blank before the marker", "N0CALL>APRS,WIDE1-1 <UI>:>hello test\r\n",
                               "N0CALL>APRS,WIDE1-1:>hello test"},
                      GateCase{"blank before the doubled marker", "N0CALL>APRS <<UI>>:>hello test\r\n",
                               "N0CALL>APRS:>hello test"},
                      GateCase{"CR LF inside the information", "N0CALL>APRS:>line one\r\nline two\r\n",
                               "N0CALL>APRS:>line oneline two"},
                      GateCase{"no line end survives", "N0CALL>APRS:>one\r\r\n\ntwo\rthree\nfour\r\n",
                               "N0CALL>APRS:>onetwothreefour"}));

TEST(MonitorEntry, TimeStampFieldKeepsItsForm)
{
    const QDateTime t(QDate(2026, 3, 7), QTime(9, 5, 1), Qt::UTC);
    EXPECT_EQ(monitorTimeStamp(t), "2026-03-07 09:05:01  ");
    EXPECT_EQ(monitorEntry("N0CALL>APRS:>hi\r\n", false, t), "2026-03-07 09:05:01  N0CALL>APRS:>hi\r\n");
    EXPECT_EQ(monitorEntry("N0CALL>APRS:>a\r\nb\r\n", false, t), "2026-03-07 09:05:01  N0CALL>APRS:>ab\r\n");
    EXPECT_EQ(monitorEntry("cmd:\r\n", true, t), "cmd:\r\n") << "TNC Command mode shows the line as it is";
}

TEST(SourceOf, TextBeforeTheFirstMarkerTrimmed)
{
    EXPECT_EQ(sourceOf("  N0CALL-9 >APRS:>x\r\n"), "N0CALL-9");
    EXPECT_EQ(sourceOf("no marker here\r\n"), "no marker here");
    EXPECT_EQ(withoutLineEnd("abc\r\n"), "abc");
}

TEST(TcpTncButton, CaptionsColoursAndEnabling)
{
    struct Row {
        int state;
        const char* kiss;
        const char* agwpe;
        unsigned colour;
        std::optional<bool> enabled;
    };
    const Row rows[] = {
        {0, "Connect to Ferrox SoundModem by KISS over port 4000 for AX.25", "Connect to Ferrox/AGWPE TNC",
         0xEFEFEF, true},
        {1, "Ferrox SoundModem Open", "Ferrox/AGWPE Open", 0xFFFF, std::nullopt},
        {2, "Listening for Ferrox SoundModem", "Listening for Ferrox/AGWPE", 0xFFFF, std::nullopt},
        {6, "Connecting", "Connecting", 0xFFFF, std::nullopt},
        {7, "Connected to Ferrox SoundModem via KISS on port 4000", "Connected to Ferrox/AGWPE", 0xFF00,
         std::nullopt},
        {9, "Connection lost", "Connection lost", 0xFF, false},
    };
    for (const Row& r : rows) {
        const TcpTncButton k = tcpTncButton(TcpTnc::KissOverTcp, r.state);
        const TcpTncButton a = tcpTncButton(TcpTnc::Agwpe, r.state);
        EXPECT_EQ(k.caption, r.kiss);
        EXPECT_EQ(a.caption, r.agwpe);
        EXPECT_EQ(k.colour, r.colour);
        EXPECT_EQ(k.enabled, r.enabled) << r.state;
    }
}

} // namespace

namespace {

TEST(ConverseText, NoControlByteButTheLineEndReachesATextTnc)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {":G4XYZ    :ack12\r", ":G4XYZ    :ack12\r"},
        {":G4XYZ    :ack\x03MYCALL EVIL\r", ":G4XYZ    :ackMYCALL EVIL\r"},
        {QByteArray("a\0b\x1b\x7f\n\tc\xe9\r", 11), "abc\xe9\r"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(links::converseText(in), out) << in.toHex(' ').constData();
}

} // namespace
