// The local service ports with real clients on loopback (ports picked by the system).
#include "links/local_service_ports.h"
#include "platform/clock.h"
#include "tests/support/scripted_tcp_peer.h"
#include "station/station_state.h"
#include "station/waits.h"
#include "tests/support/wait_until.h"

#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>


using testsupport::waitUntil;

namespace {

class LocalPortsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        state.tcpPorts.packets = state.tcpPorts.ptt = state.tcpPorts.receiveLog = 0;
        QObject::connect(&ports, &links::LocalServicePorts::localProgramPortStatus,
                         [this](const QString& t) { localProgramPortStatus = t; });
        QObject::connect(&ports, &links::LocalServicePorts::pttPortStatus,
                         [this](const QString& t) { pttPortStatus = t; });
        ports.start();
    }

    station::StationState state;
    station::Waits waits{state};
    links::LocalServicePorts ports{state, waits};
    QString localProgramPortStatus, pttPortStatus;
};

TEST_F(LocalPortsTest, ListensOnLoopbackOnly)
{
    EXPECT_NE(state.tcpPorts.packets, 0) << "the picked port is written back";
    EXPECT_EQ(localProgramPortStatus, QString("%1 listening").arg(state.tcpPorts.packets));
    EXPECT_EQ(pttPortStatus, QString("%1 listening").arg(state.tcpPorts.ptt));
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.isLoopback() || a.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        for (platform::StationSocket* s :
             {&ports.packetSocket(), &ports.pttSocket(), &ports.receiveLogSocket()}) {
            QTcpSocket probe;
            probe.connectToHost(a, s->localPort());
            EXPECT_FALSE(probe.waitForConnected(500)) << a.toString().toStdString();
        }
    }
}

TEST_F(LocalPortsTest, OneClientAtATimeAndListeningAgainAfterItLeaves)
{
    const quint16 port = ports.packetSocket().localPort();
    testsupport::ScriptedTcpClient first;
    ASSERT_TRUE(first.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return localProgramPortStatus == "Connected"; }));
    testsupport::ScriptedTcpClient second;
    EXPECT_FALSE(second.connectTo(port, 200)) << "a second program is not accepted";

    first.send("N0CALL>APRS:>from the local program\r\n");
    ASSERT_TRUE(waitUntil([&] { return ports.receivedBytes() > 0; }));
    EXPECT_EQ(ports.takeReceived(), "N0CALL>APRS:>from the local program\r\n");
    EXPECT_EQ(ports.receivedBytes(), 0);
    ports.sendToLocalProgram("M0XYZ>APRS:>heard on VHF\r\n");
    ASSERT_TRUE(waitUntil([&] { return !first.received().isEmpty(); }));
    EXPECT_EQ(first.received(), "M0XYZ>APRS:>heard on VHF\r\n");

    first.close();
    ASSERT_TRUE(waitUntil([&] { return localProgramPortStatus == "Listening..."; }));
    EXPECT_EQ(ports.packetSocket().localPort(), port);
    testsupport::ScriptedTcpClient third;
    ASSERT_TRUE(third.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return localProgramPortStatus == "Connected"; }));
}

TEST_F(LocalPortsTest, PttNoticesAndTheWaitForTheModem)
{
    testsupport::ScriptedTcpClient client;
    ASSERT_TRUE(client.connectTo(ports.pttSocket().localPort()));
    ASSERT_TRUE(waitUntil([&] { return pttPortStatus == QString("%1 connected").arg(state.tcpPorts.ptt); }));
    ports.announcePttOn();
    ASSERT_TRUE(waitUntil([&] { return client.received() == "PTT True\r"; }));

    bool transmitting = true;
    ports.modemTransmitting = [&] { return transmitting; };
    QByteArray beforeTheModemStopped = "unset";
    QTimer::singleShot(30, [&] {
        beforeTheModemStopped = client.received();
        transmitting = false;
    });
    ports.announcePttOff();
    EXPECT_EQ(beforeTheModemStopped, "PTT True\r") << "PTT False waits for the modem";
    ASSERT_TRUE(waitUntil([&] { return client.received() == "PTT True\rPTT False\r"; }));

    client.close();
    ASSERT_TRUE(waitUntil([&] { return pttPortStatus == QString("%1 listening").arg(state.tcpPorts.ptt); }));
}

TEST_F(LocalPortsTest, ReceiveLogRecordsGoToTheClientOnly)
{
    ports.sendReceiveRecord("dropped, no client");
    testsupport::ScriptedTcpClient client;
    ASSERT_TRUE(client.connectTo(ports.receiveLogSocket().localPort()));
    ASSERT_TRUE(waitUntil([&] { return ports.receiveLogSocket().isConnected(); }));
    ports.sendReceiveRecord("2026-03-07 09:05:01,N0CALL,hello");
    ASSERT_TRUE(waitUntil([&] { return client.received() == "2026-03-07 09:05:01,N0CALL,hello"; }));
}

TEST_F(LocalPortsTest, ReceiveBufferIsBounded)
{
    testsupport::ScriptedTcpClient client;
    ASSERT_TRUE(client.connectTo(ports.packetSocket().localPort()));
    const QByteArray flood(3 * links::LocalServicePorts::kMaxReceived, 'x');
    client.send(flood + "END");
    ASSERT_TRUE(waitUntil([&] { return ports.received().endsWith("END"); }));
    EXPECT_EQ(ports.receivedBytes(), links::LocalServicePorts::kMaxReceived);
}

// Another program holds the ports: each is shown as in use, and opened by the retry timer
// once that program has let go, without anything else happening.
TEST(LocalPortsInUse, ShownAndTriedAgainUntilFree)
{
    platform::Clock::setTimeScale(0.01);
    QTcpServer holders[3];
    for (QTcpServer& h : holders)
        ASSERT_TRUE(h.listen(QHostAddress::LocalHost, 0));
    station::StationState state;
    station::Waits waits{state};
    state.tcpPorts.packets = holders[0].serverPort();
    state.tcpPorts.ptt = holders[1].serverPort();
    state.tcpPorts.receiveLog = holders[2].serverPort();
    links::LocalServicePorts ports{state, waits};
    QString localProgramPortStatus, pttPortStatus;
    QObject::connect(&ports, &links::LocalServicePorts::localProgramPortStatus,
                     [&](const QString& t) { localProgramPortStatus = t; });
    QObject::connect(&ports, &links::LocalServicePorts::pttPortStatus,
                     [&](const QString& t) { pttPortStatus = t; });
    ports.start();
    EXPECT_EQ(localProgramPortStatus, QString("%1 in use").arg(state.tcpPorts.packets));
    EXPECT_EQ(pttPortStatus, QString("%1 in use").arg(state.tcpPorts.ptt));

    // Still held over a few retries: still shown as in use.
    testsupport::spinFor(3 * platform::Clock::scaled(links::LocalServicePorts::kRetryMs));
    EXPECT_EQ(localProgramPortStatus, QString("%1 in use").arg(state.tcpPorts.packets));
    EXPECT_EQ(ports.packetSocket().state(), platform::StationSocket::Closed);

    for (QTcpServer& h : holders)
        h.close();
    ASSERT_TRUE(waitUntil(
        [&] { return localProgramPortStatus == QString("%1 listening").arg(state.tcpPorts.packets); }));
    ASSERT_TRUE(waitUntil([&] { return pttPortStatus == QString("%1 listening").arg(state.tcpPorts.ptt); }));
    ASSERT_TRUE(
        waitUntil([&] { return ports.receiveLogSocket().state() == platform::StationSocket::Listening; }));
    testsupport::ScriptedTcpClient client;
    EXPECT_TRUE(client.connectTo(state.tcpPorts.packets));
    ASSERT_TRUE(waitUntil([&] { return localProgramPortStatus == "Connected"; }));
}

} // namespace

namespace {

TEST_F(LocalPortsTest, ClientThatNeverReadsIsDroppedAndTheNextOneServed)
{
    const quint16 port = ports.receiveLogSocket().localPort();
    // A program that connects to the receive-log port and never reads, with a small buffer.
    testsupport::NeverReadingClient silent;
    ASSERT_TRUE(silent.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return ports.receiveLogSocket().isConnected(); }));

    const QByteArray record = "2026-01-01 12:00:00,G4XYZ,G4XYZ>APRS::G4ABC    :" + QByteArray(150, 'm');
    for (int i = 0; i < 100000; ++i) {
        ports.sendReceiveRecord(record);
        if (i % 500 == 0)
            testsupport::spinFor(1);
    }
    EXPECT_EQ(ports.receiveLogSocket().droppedPeers(), 1);
    silent.close();

    ASSERT_TRUE(
        waitUntil([&] { return ports.receiveLogSocket().state() == platform::StationSocket::Listening; }));
    testsupport::ScriptedTcpClient next;
    ASSERT_TRUE(next.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return ports.receiveLogSocket().isConnected(); }));
    ports.sendReceiveRecord(record);
    EXPECT_TRUE(waitUntil([&] { return next.received() == record; }));
}

} // namespace
