// The main window's messaging wiring: "Connect to Server" with its status, a message from the
// server in the messages box, and "Send" over APRS-IS.
#include "app/tests/window_fixture.h"

#include "aprsis/aprs_is_client.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include "app/widget_helpers.h"
#include "platform/clock.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class MessagingWindowTest : public WindowTest {};

TEST_F(MessagingWindowTest, ConnectWithoutCallsignAsksForOne)
{
    state.aprsIsCall = "NOCALL";
    makePage();
    app::MainWindow& w = makeMain();
    in<QPushButton>(w, "aprsIsConnectButton")->click();
    EXPECT_EQ(in<QLabel>(w, "serverStatusLabel")->text(), QStringLiteral("Enter Callsign!"));
}

TEST_F(MessagingWindowTest, ServerMessageShowsAndSendGoesOut)
{
    makePage();
    state.aprsIsCall = "M0SKY-1";
    app::MainWindow& w = makeMain();
    w.beacons().startupBeaconTimer().stop(); // no start-up beacon among the lines checked here
    state.aprsIsCall = "M0SKY-1";
    testsupport::ScriptedTcpServer server;
    in<QLineEdit>(w, "aprsIsServerField")->setText(QStringLiteral("127.0.0.1"));
    w.aprsIsClient().setPort(server.port());
    in<QPushButton>(w, "aprsIsConnectButton")->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().endsWith("\r\n"); }));
    EXPECT_TRUE(server.received().startsWith("user M0SKY-1 pass -1 vers skylark v3.33 filter g/M0SKY-1/"));
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return in<QLabel>(w, "serverStatusLabel")->text() == QStringLiteral("Connected"); }));
    EXPECT_EQ(app::backColour(in<QPushButton>(w, "aprsIsConnectButton")), app::Green);

    server.clearReceived();
    server.send("G4SRC>APRS,TCPIP*::M0SKY-1  :hello{7\r\n");
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().endsWith("\r\n"); }));
    EXPECT_EQ(server.received(), QByteArray("M0SKY-1>APSK63::G4SRC    :ack7\r\n"));
    auto* box = in<QPlainTextEdit>(w, "messagesDisplay");
    EXPECT_TRUE(box->toPlainText().contains(QStringLiteral(" From: G4SRC  To: :M0SKY-1  :hello{7")));
    // Yellow for a message to us (a waited-for condition: the box may be flashing).
    EXPECT_TRUE(testsupport::waitUntil([&] { return app::backColour(box) == app::Yellow; }));
    // The label shows the last line in either direction: here our acknowledgement.
    EXPECT_TRUE(in<QLabel>(w, "serverDataLabel")->text().contains(QStringLiteral("ack7")));

    server.clearReceived();
    in<QRadioButton>(w, "aprsIsOption")->click();
    in<QRadioButton>(w, "noAcksOption")->click(); // "No ACKs": one transmission, no waiting
    in<QLineEdit>(w, "sendToField")->setText(QStringLiteral("G4DST"));
    in<QLineEdit>(w, "messageInput")->setText(QStringLiteral("a~b{c|d"));
    in<QPushButton>(w, "sendButton")->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().endsWith("\r\n"); }));
    EXPECT_EQ(server.received(), QByteArray("M0SKY-1>APSK63::G4DST    :abcd\r\n"));
    EXPECT_TRUE(box->toPlainText().contains(QStringLiteral("  From: M0SKY-1  To :G4DST  abcd")));
}

TEST_F(MessagingWindowTest, UnverifiedLogOnIsShownWithTheServersAnswer)
{
    makePage();
    state.aprsIsCall = "M0SKY-1";
    app::MainWindow& w = makeMain();
    state.aprsIsCall = "M0SKY-1"; // the window has read the (empty) callsign files
    testsupport::ScriptedTcpServer server;
    in<QLineEdit>(w, "aprsIsServerField")->setText(QStringLiteral("127.0.0.1"));
    w.aprsIsClient().setPort(server.port());
    in<QPushButton>(w, "aprsIsConnectButton")->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().endsWith("\r\n"); }));
    server.send("# logresp M0SKY-1 unverified, server T2TEST\r\n");
    const QString shown = QStringLiteral("Connected, unverified: logresp M0SKY-1 unverified, server T2TEST");
    ASSERT_TRUE(testsupport::waitUntil([&] { return in<QLabel>(w, "serverStatusLabel")->text() == shown; }));
    EXPECT_EQ(app::backColour(in<QPushButton>(w, "aprsIsConnectButton")), app::Orange);
    fire(*in<QTimer>(w, "aprsIsStatusTimer")); // the status timer keeps saying so
    EXPECT_EQ(in<QLabel>(w, "serverStatusLabel")->text(), shown);
    EXPECT_EQ(app::backColour(in<QPushButton>(w, "aprsIsConnectButton")), app::Orange);
}

TEST_F(MessagingWindowTest, MessagesBoxFlashesByTheAlertRules)
{
    app::MainWindow& w = makeMain();
    w.beacons().startupBeaconTimer().stop();
    auto* box = in<QPlainTextEdit>(w, "messagesDisplay");
    auto* alert = in<QCheckBox>(w, "alertCheck");
    QTimer& flash = *in<QTimer>(w, "messageFlashTimer");

    // "Alert" ticked: green and yellow by turns until the box is clicked, then white.
    alert->setChecked(true);
    flash.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return app::backColour(box) == app::Green; }));
    ASSERT_TRUE(testsupport::waitUntil([&] { return app::backColour(box) == app::Yellow; }));
    ASSERT_TRUE(testsupport::waitUntil([&] { return app::backColour(box) == app::Green; }));
    QTest::mouseClick(box->viewport(), Qt::LeftButton);
    EXPECT_FALSE(flash.isActive());
    EXPECT_EQ(app::backColour(box), app::White);

    // A transmission in progress stops the flashing where it is.
    flash.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return app::backColour(box) != app::White; }));
    state.transmitBusy = true;
    ASSERT_TRUE(testsupport::waitUntil([&] { return !flash.isActive(); }));
    const unsigned held = app::backColour(box);
    testsupport::spinFor(platform::Clock::scaled(2000));
    EXPECT_EQ(app::backColour(box), held);
    state.transmitBusy = false;

    // "Alert" clear: the first tick makes the box white and stops.
    alert->setChecked(false);
    flash.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !flash.isActive(); }));
    EXPECT_EQ(app::backColour(box), app::White);
}

} // namespace
