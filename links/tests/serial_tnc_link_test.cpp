#include "links/tests/link_fixture.h"

#include "packet/kiss_codec.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait_until.h"

#include <QRegularExpression>
#include <QTest>

using testsupport::waitUntil;

namespace {

class SerialTncTest : public LinkTest {
protected:
    /// A text-mode (type 2) or KISS (type 4) TNC on a fresh pseudo-terminal as port 2.
    links::SerialTncLink& open(int tncType)
    {
        EXPECT_TRUE(pty.isReady());
        ports.set(2, pty.programEnd());
        state.tncPort = 2;
        state.tncTypeCode = tncType;
        state.noTnc = false;
        state.kissSerial = tncType == 4 || tncType == 5;
        links::SerialTncLink& link = makeSerial();
        link.openAtLoad();
        EXPECT_TRUE(waitUntil([&] { return drain() == QByteArray("\x03\r", 2); })) << "Ctrl-C CR at open";
        wire.clear();
        return link;
    }
    QByteArray drain()
    {
        wire += pty.readAvailable();
        return wire;
    }

    testsupport::PtyPair pty;
    QByteArray wire;
};

TEST_F(SerialTncTest, SettingsTextPerTncType)
{
    EXPECT_EQ(links::SerialTncLink::settingsFor(0), "4800,N,8,1");
    EXPECT_EQ(links::SerialTncLink::settingsFor(1), "");
    EXPECT_EQ(links::SerialTncLink::settingsFor(2), "9600,N,8,1");
    EXPECT_EQ(links::SerialTncLink::settingsFor(3), "19200,N,8,1");
    EXPECT_EQ(links::SerialTncLink::settingsFor(4), "9600,N,8,1");
    EXPECT_EQ(links::SerialTncLink::settingsFor(5), "38400,N,8,1");
}

TEST_F(SerialTncTest, TextTncPacketsInOneWriteAreHandledOneByOne)
{
    links::SerialTncLink& link = open(2);
    EXPECT_EQ(link.port().settings(), "9600,N,8,1");
    ASSERT_TRUE(pty.write("N0CALL>APRS,WIDE1-1:>hello test\r\nM0XYZ-7>APRS:>second packet here\r\n"
                          "G4ABC>APRS:>our own beacon back\r\n"));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 3; }));
    EXPECT_EQ(packets[0], "N0CALL>APRS,WIDE1-1:>hello test\r\n");
    EXPECT_EQ(packets[1], "M0XYZ-7>APRS:>second packet here\r\n");
    EXPECT_EQ(sentAs("is:"), (QList<QByteArray>{"N0CALL>APRS,WIDE1-1,qAR,G4ABC-10:>hello test\r\n",
                                                "M0XYZ-7>APRS,qAR,G4ABC-10:>second packet here\r\n",
                                                "G4ABC>APRS,qAR,G4ABC-10:>our own beacon back\r\n"}));
    EXPECT_EQ(heard, (QList<QByteArray>{"N0CALL", "M0XYZ-7"})) << "own callsign not in the heard list";
    EXPECT_EQ(sentAs("local:").size(), 3);
    EXPECT_EQ(sentAs("local:")[1], "M0XYZ-7>APRS:>second packet here\r\n");

    const QRegularExpression entry(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  N0CALL>APRS,WIDE1-1:>hello test\r\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  M0XYZ-7>APRS:>second packet here\r\n");
    EXPECT_TRUE(entry.match(QString::fromLatin1(monitor)).hasMatch()) << monitor.constData();
    EXPECT_FALSE(timer("tncLineTimer").isActive()) << "the line timer rests when the queue is empty";
    EXPECT_TRUE(timer("tncWatchTimer").isActive()) << "the watch timer runs again after a handled line";
}

TEST_F(SerialTncTest, TwoLineUiHeaderIsOnePacketAndRelayedTrafficGoesToTheIgate)
{
    open(2);
    ASSERT_TRUE(pty.write("N0CALL>APRS,WIDE1-1: <UI>:\r\n"));
    ASSERT_TRUE(pty.write(">hello there\r\n"));
    ASSERT_TRUE(pty.write("M0XYZ>APRS:}G4XYZ>APRS,TCPIP,M0XYZ*:>from the net\r\n"));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 2; }));
    EXPECT_EQ(packets[0], "N0CALL>APRS,WIDE1-1: <UI>:>hello there\r\n");
    EXPECT_EQ(sentAs("is:"), QList<QByteArray>{"N0CALL>APRS,WIDE1-1,qAR,G4ABC-10:>hello there\r\n"})
        << "TCPIP traffic is not gated";
    EXPECT_EQ(igated, QList<QByteArray>{packets[1]});
}

TEST_F(SerialTncTest, CommandPromptGetsConverse)
{
    open(2);
    ASSERT_TRUE(pty.write("\r\ncmd:"));
    ASSERT_TRUE(waitUntil([&] { return drain().endsWith("conv\r"); }));
    EXPECT_EQ(wire, "conv\r");
    EXPECT_FALSE(state.transmitBusy);
    EXPECT_TRUE(sentAs("is:").isEmpty());
}

TEST_F(SerialTncTest, TncCommandModeShowsLinesAsTheyAre)
{
    open(2);
    state.choices.operatingMode = station::OperatingMode::TncCommand;
    ASSERT_TRUE(pty.write("MYCALL G4ABC\r\n"));
    ASSERT_TRUE(waitUntil([&] { return !monitor.isEmpty(); }));
    EXPECT_EQ(monitor, "MYCALL G4ABC\r\n");
    EXPECT_TRUE(packets.isEmpty());
    EXPECT_TRUE(heard.isEmpty());
}

TEST_F(SerialTncTest, PortCaptionsAndThePortThatComesBack)
{
    links::SerialTncLink& link = open(2);
    timer("tncStatusTimer")
        .stop(); // the status ticks are taken here, one by one, however slow the machine is
    link.onStatusTimer();
    EXPECT_EQ(captions.last(), "TNC Com port 2 is working");

    pty.kill(); // the device vanishes: the port closes itself instead of spinning on errors
    ASSERT_TRUE(waitUntil([&] { return !link.port().isOpen(); }));
    link.onStatusTimer();
    EXPECT_EQ(captions.last(), "TNC Com port 2 has a problem");
    link.onStatusTimer();
    EXPECT_EQ(captions.last(), "TNC Com port 2 is unavailable");

    ASSERT_TRUE(pty.restart());
    timer("tncStatusTimer").start();
    ASSERT_TRUE(waitUntil([&] { return link.port().isOpen(); })) << "the watch timer reopens the port";
    ASSERT_TRUE(waitUntil([&] { return captions.last() == "TNC Com port 2 is working"; }));
    ASSERT_TRUE(pty.write("N0CALL>APRS:>after the return\r\n"));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 1; }));
}

// An unattended station: a device that vanishes is tried again on a short timer (not only by
// the once-a-minute watch), and what the station wrote meanwhile goes out once it is back.
TEST_F(SerialTncTest, WritesWhileTheDeviceIsGoneGoOutWhenItIsBack)
{
    links::SerialTncLink& link = open(2);
    QTimer& reopen = timer("tncReopenTimer");
    EXPECT_FALSE(reopen.isActive()) << "nothing to do while the device is there";

    pty.kill();
    ASSERT_TRUE(waitUntil([&] { return !link.port().isOpen(); }));
    timer("tncWatchTimer").stop(); // only the short reopen brings the port back here
    EXPECT_TRUE(reopen.isActive());
    link.writeTnc("ack while gone\r");
    link.enterCommandMode();
    EXPECT_GT(link.waitingBytes(), 0);
    // While the device is missing the attempts do not show as a port problem.
    link.port().takeError();
    QTest::qWait(100); // several reopen periods (20 ms at this scale)
    EXPECT_FALSE(link.port().takeError());
    EXPECT_FALSE(link.port().isOpen());

    ASSERT_TRUE(pty.restart());
    ASSERT_TRUE(waitUntil([&] { return link.port().isOpen(); }));
    ASSERT_TRUE(waitUntil([&] { return drain() == QByteArray("ack while gone\r\x03\r"); }))
        << wire.toStdString();
    EXPECT_EQ(link.waitingBytes(), 0);
    EXPECT_FALSE(reopen.isActive());
    link.writeTnc("after the return\r");
    ASSERT_TRUE(waitUntil([&] { return drain().endsWith("after the return\r"); }));
    ASSERT_TRUE(pty.write("N0CALL>APRS:>heard after the return\r\n"));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 1; }));
}

TEST_F(SerialTncTest, NoPortSelected)
{
    state.tncPort = 0;
    links::SerialTncLink& link = makeSerial();
    link.openAtLoad();
    link.onStatusTimer();
    EXPECT_EQ(captions.last(), "TNC Com port not selected");
    EXPECT_FALSE(timer("tncWatchTimer").isActive());
}

QByteArray frameOf(const char* dest, const char* src, const char* path, const char* info)
{
    return packet::Kiss::encode(dest, src, path, info).frame;
}

TEST_F(SerialTncTest, KissTncFramesSplitAndJoinedAreAllDecodedInOrder)
{
    open(4);
    const QByteArray a = frameOf("APRS", "N0CALL-1", "WIDE1-1", ">first");
    const QByteArray b = frameOf("APSK20", "N0CALL", "", ":N1CALL   :hello{12");
    const QByteArray c = frameOf("APRS", "M0XYZ", "", ">third");
    ASSERT_TRUE(pty.write(a.left(9)));
    testsupport::spinFor(30); // longer than a gathering period: the frame is cut in two reads
    ASSERT_TRUE(pty.write(a.mid(9)));
    ASSERT_TRUE(pty.write(b + c));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 3; }));
    EXPECT_EQ(packets, (QList<QByteArray>{"N0CALL-1>APRS,WIDE1-1:>first\r\n",
                                          "N0CALL>APSK20::N1CALL   :hello{12\r\n", "M0XYZ>APRS:>third\r\n"}));
}

TEST_F(SerialTncTest, SendKissFrameWritesTheFrameToAKissTncAndReportsValidation)
{
    links::SerialTncLink& link = open(4);
    QByteArray info = QByteArray("a\xC0z", 3);
    link.sendKissFrame("APRS", "NOCALL-9", "", info);
    const QByteArray expected = frameOf("APRS", "NOCALL-9", "", "a\xC0z");
    ASSERT_TRUE(waitUntil([&] { return drain() == expected; }));
    EXPECT_EQ(info, QByteArray("a\xC0z", 3)) << "the caller's text is left alone";

    wire.clear();
    link.sendKissFrame("APRS", "NOCALL-16", "", "x");
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages()[0].icon, platform::DialogService::Icon::Critical);
    EXPECT_TRUE(dialogs.messages()[0].title.isEmpty());
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("Your MYCall SSID is greater than 15."));
    testsupport::spinFor(20);
    EXPECT_TRUE(drain().isEmpty());
}

TEST_F(SerialTncTest, KissDigipeatOnlyWithHfDigipeat)
{
    open(4);
    const QByteArray viaUs = frameOf("APRS", "N0CALL", "G4ABC,WIDE2-1", ">digi me");
    ASSERT_TRUE(pty.write(viaUs));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 1; }));
    EXPECT_EQ(packets[0], "N0CALL>APRS,G4ABC*,WIDE2-1:>digi me\r\n");
    testsupport::spinFor(20);
    EXPECT_TRUE(drain().isEmpty());

    state.choices.hfDigipeat = true;
    ASSERT_TRUE(pty.write(viaUs));
    ASSERT_TRUE(
        waitUntil([&] { return drain() == frameOf("APRS", "N0CALL", "G4ABC*,WIDE2-1", ">digi me"); }));
}

TEST_F(SerialTncTest, NoControlByteButTheLineEndReachesATextTnc)
{
    links::SerialTncLink& link = open(2);
    link.writeTnc(":G4XYZ    :ack\x03G4ABC EVIL\r");
    ASSERT_TRUE(waitUntil([&] { return drain().endsWith('\r'); }));
    EXPECT_EQ(wire, ":G4XYZ    :ackG4ABC EVIL\r");
    wire.clear();
    link.enterCommandMode(); // the operator's choice of "TNC Command"
    ASSERT_TRUE(waitUntil([&] { return drain() == QByteArray("\x03\r", 2); }));
}

TEST_F(SerialTncTest, KissPacketHoldingALineBreakIsOnlyShown)
{
    links::SerialTncLink& link = open(4);
    ASSERT_TRUE(pty.write(frameOf("APRS", "G4XYZ", "WIDE1-1", ">hi\rEVIL-1>APRS,qAR,G4XYZ:>forged") +
                          packet::Kiss::encode("APRS", "G4XYZ", "", QByteArray(">x\0y", 4)).frame +
                          frameOf("APRS", "G4XYZ", "", ">after the forgery")));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 1; }));
    EXPECT_EQ(link.lineHandler().multiLinePackets(), 2);
    EXPECT_TRUE(monitor.contains("G4XYZ>APRS,WIDE1-1:>hi<0x0D>EVIL-1>APRS,qAR,G4XYZ:>forged\r\n"))
        << monitor.constData();
    EXPECT_TRUE(monitor.contains("G4XYZ>APRS:>x<0x00>y\r\n"));
    EXPECT_EQ(sentAs("is:"), QList<QByteArray>{"G4XYZ>APRS,qAR,G4ABC-10:>after the forgery\r\n"});
    EXPECT_EQ(sentAs("local:"), QList<QByteArray>{"G4XYZ>APRS:>after the forgery\r\n"});
}

TEST_F(SerialTncTest, KissDigipeatNeverRaisesADialog)
{
    links::SerialTncLink& link = open(4);
    state.choices.hfDigipeat = true;
    // Source SSID byte 0x7F: its 4 SSID bits say 15.
    QByteArray allBits = frameOf("APRS", "N0CALL", "G4ABC,WIDE2-1", ">ssid bits");
    allBits[2 + 13] = '\x7F';
    ASSERT_TRUE(pty.write(allBits));
    ASSERT_TRUE(
        waitUntil([&] { return drain() == frameOf("APRS", "N0CALL-15", "G4ABC*,WIDE2-1", ">ssid bits"); }));

    // A source whose characters read "AB-99" cannot be encoded again: dropped and counted.
    wire.clear();
    QByteArray unencodable = frameOf("APRS", "ABX99", "G4ABC,WIDE2-1", ">no repeat");
    unencodable[2 + 7 + 2] = static_cast<char>('-' << 1);
    ASSERT_TRUE(pty.write(unencodable));
    ASSERT_TRUE(waitUntil([&] { return link.droppedDigipeats() == 1 && packets.size() == 2; }));
    EXPECT_EQ(packets.last(), "AB-99>APRS,G4ABC*,WIDE2-1:>no repeat\r\n");
    testsupport::spinFor(20);
    EXPECT_TRUE(drain().isEmpty());
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(SerialTncTest, ClearingTheHeadingDropsWhatArrivedDuringATransmission)
{
    links::SerialTncLink& link = open(2);
    timer("tncLineTimer").stop();
    link.lineHandler().receiveLine("N0CALL>APRS:>heard while we sent");
    EXPECT_EQ(link.lineHandler().queuedLines(), 1);
    link.clearMessageHeading();
    EXPECT_EQ(link.lineHandler().queuedLines(), 0);
    EXPECT_FALSE(timer("tncLineTimer").isActive());
}

} // namespace
