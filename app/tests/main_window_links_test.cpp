// The main window with its VHF links: a text-mode TNC on a pseudo-terminal, the local
// service port labels, and the KISS-over-TCP button with its stored flag.
#include "app/tests/window_fixture.h"

#include "tests/support/pty_pair.h"
#include "tests/support/scripted_tcp_peer.h"
#include "settings/file_names.h"
#include "settings/record_file.h"
#include "settings/station_files.h"
#include "tests/support/wait_until.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

using testsupport::waitUntil;

namespace {

TEST_F(WindowTest, TncTrafficHeardListAndPortCaption)
{
    testsupport::PtyPair tnc;
    ASSERT_TRUE(tnc.isReady());
    useTextTnc(tnc);
    dir.write(settings::files::MyCall, "\"G4ABC\"\r\n"); // the TNC callsign
    app::MainWindow& w = makeMain();
    ASSERT_TRUE(tncReceived(tnc, QByteArray("\x03\r", 2)));

    ASSERT_TRUE(tnc.write("N0CALL>APRS,WIDE1-1:>hello test\r\nM0XYZ-7>APRS:>second packet\r\n"
                          "N0CALL>APRS:>again\r\nG4ABC>APRS:>ourselves\r\n"));
    auto* list = in<QListWidget>(w, "tncHeardList");
    auto* monitor = in<QPlainTextEdit>(w, "tncTrafficDisplay");
    ASSERT_TRUE(waitUntil([&] { return monitor->toPlainText().contains("ourselves"); }));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "N0CALL");
    EXPECT_EQ(list->item(1)->text(), "M0XYZ-7");
    const QRegularExpression first(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  N0CALL>APRS,WIDE1-1:>hello test\n");
    EXPECT_TRUE(first.match(monitor->toPlainText()).hasMatch()) << monitor->toPlainText().toStdString();
    EXPECT_EQ(monitor->textCursor().position(), monitor->toPlainText().size()) << "cursor at the end";

    ASSERT_TRUE(waitUntil(
        [&] { return in<QLabel>(w, "tncPortStatusLabel")->text() == "TNC Com port 2 is working"; }));
    EXPECT_EQ(in<QLabel>(w, "localProgramPortLabel")->text(),
              QString("%1 listening").arg(state.tcpPorts.packets));
    EXPECT_EQ(in<QLabel>(w, "pttPortLabel")->text(), QString("%1 listening").arg(state.tcpPorts.ptt));
}

TEST_F(WindowTest, TncTrafficKeepsTheNewestText)
{
    testsupport::PtyPair tnc;
    ASSERT_TRUE(tnc.isReady());
    useTextTnc(tnc);
    app::MainWindow& w = makeMain();
    QByteArray burst;
    for (int i = 0; i < 200; ++i)
        burst +=
            "N0CALL>APRS:>" + QByteArray::number(i).rightJustified(4, '0') + QByteArray(80, 'x') + "\r\n";
    ASSERT_TRUE(tnc.write(burst));
    auto* monitor = in<QPlainTextEdit>(w, "tncTrafficDisplay");
    ASSERT_TRUE(waitUntil([&] { return monitor->toPlainText().contains(">0199"); }, 60000));
    EXPECT_LE(monitor->toPlainText().size(), 15000);
    EXPECT_FALSE(monitor->toPlainText().contains(">0000"));
}

TEST_F(WindowTest, KissTcpButtonConnectsShowsItsStateAndIsStored)
{
    testsupport::ScriptedTcpServer modem;
    ASSERT_TRUE(modem.isListening());
    state.tcpPorts.kiss = modem.port();
    app::MainWindow& w = makeMain();
    auto* kissTcpButton = in<QPushButton>(w, "kissTcpButton");
    kissTcpButton->click();
    ASSERT_TRUE(waitUntil([&] { return modem.hasClient(); }));
    ASSERT_TRUE(waitUntil(
        [&] { return kissTcpButton->text() == "Connected to Ferrox SoundModem via KISS on port 4000"; }));
    EXPECT_FALSE(in<QLabel>(w, "kissTcpStatusLabel")->text().isEmpty());
    modem.dropClient();
    ASSERT_TRUE(waitUntil([&] {
        return in<QLabel>(w, "kissTcpStatusLabel")->text() == QString("%1 listening").arg(modem.port());
    }));
    ASSERT_TRUE(waitUntil([&] { return kissTcpButton->text() == "Listening for Ferrox SoundModem"; }));
    kissTcpButton->click();
    ASSERT_TRUE(waitUntil([&] { return modem.connectionCount() == 2 && modem.hasClient(); }));
    w.close();
    const auto c2 = settings::RecordFile::load(settings::pathIn(state.stationDir, settings::files::Config2));
    EXPECT_EQ(c2.record(21), "1");
}

// --connect: the links named for the start connect once each, beside those the settings
// connect, and come back by themselves after a drop as after a click.
TEST_F(WindowTest, LinksNamedForTheStartConnectBesideTheStoredOnes)
{
    settings::RecordFile c2 =
        settings::RecordFile::load(settings::pathIn(state.stationDir, settings::files::Config2));
    c2.setRecord(21, "1"); // KISS over TCP was connected at the last close
    ASSERT_TRUE(c2.save(settings::pathIn(state.stationDir, settings::files::Config2)));
    testsupport::ScriptedTcpServer kiss;
    testsupport::ScriptedTcpServer agwpe;
    state.tcpPorts.kiss = kiss.port();
    state.tcpPorts.agwpe = agwpe.port();
    state.startLinks = {true, true, false};
    makeMain();
    QByteArray request(36, '\0');
    request[4] = 'm';
    ASSERT_TRUE(waitUntil([&] { return kiss.hasClient() && agwpe.received() == request; }));
    agwpe.dropClient();
    ASSERT_TRUE(
        waitUntil([&] { return agwpe.connectionCount() == 2 && agwpe.received() == request + request; }));
    // Named and stored, the KISS link was connected once and left connected.
    EXPECT_EQ(kiss.connectionCount(), 1);
    EXPECT_TRUE(kiss.hasClient());
}

} // namespace
