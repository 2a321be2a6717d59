#include "platform/station_socket.h"

#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include <QTcpServer>
#include <gtest/gtest.h>


using platform::StationSocket;
using testsupport::waitUntil;

TEST(StationSocket, ServerTakesOneClientAtATimeOnLoopback)
{
    StationSocket server;
    ASSERT_TRUE(server.listen(0));
    EXPECT_EQ(server.state(), StationSocket::Listening);
    const quint16 port = server.localPort();

    testsupport::ScriptedTcpClient first;
    ASSERT_TRUE(first.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return server.state() == StationSocket::Connected; }));
    EXPECT_TRUE(server.send("PTT True\r"));
    ASSERT_TRUE(waitUntil([&] { return first.received() == "PTT True\r"; }));

    testsupport::ScriptedTcpClient second;
    second.socket().connectToHost(QHostAddress::LocalHost, port);
    testsupport::spinFor(200);
    EXPECT_FALSE(second.isConnected()) << "a second client is refused";

    bool closed = false;
    QObject::connect(&server, &StationSocket::closedByPeer, [&] { closed = true; });
    first.close();
    ASSERT_TRUE(waitUntil([&] { return closed; }));
    ASSERT_TRUE(server.listen(port)) << "listening again on the same port";
    testsupport::ScriptedTcpClient third;
    EXPECT_TRUE(third.connectTo(port));
}

TEST(StationSocket, ClientReportsConnectedThenErrorWhenRefused)
{
    testsupport::ScriptedTcpServer peer;
    StationSocket client;
    client.connectTo("127.0.0.1", peer.port());
    ASSERT_TRUE(waitUntil([&] { return client.state() == StationSocket::Connected; }));
    client.send("hello");
    ASSERT_TRUE(waitUntil([&] { return peer.received() == "hello"; }));
    peer.send("back");
    ASSERT_TRUE(waitUntil([&] { return client.readAll() == "back"; }));
    client.close();
    EXPECT_EQ(client.state(), StationSocket::Closed);

    QTcpServer probe; // a port nobody listens on
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 deadPort = probe.serverPort();
    probe.close();
    client.connectTo("127.0.0.1", deadPort);
    ASSERT_TRUE(waitUntil([&] { return client.state() == StationSocket::Error; }));
    client.close();
    EXPECT_EQ(client.state(), StationSocket::Closed);
}

TEST(StationSocket, PeerThatNeverReadsIsDroppedNotQueuedForever)
{
    StationSocket server;
    ASSERT_TRUE(server.listen(0));
    testsupport::NeverReadingClient silent;
    ASSERT_TRUE(silent.connectTo(server.localPort()));
    ASSERT_TRUE(waitUntil([&] { return server.state() == StationSocket::Connected; }));

    bool gone = false;
    QObject::connect(&server, &StationSocket::closedByPeer, [&] { gone = true; });
    const QByteArray record(200, 'r');
    qint64 offered = 0;
    while (!gone && offered < 64 * 1024 * 1024) {
        server.send(record);
        offered += record.size();
        if (offered % (100 * record.size()) == 0)
            testsupport::spinFor(1);
    }
    EXPECT_TRUE(gone) << "still connected after " << offered << " bytes";
    EXPECT_EQ(server.droppedPeers(), 1);
    EXPECT_NE(server.state(), StationSocket::Connected);
    EXPECT_FALSE(server.send(record));
    silent.close();
}
