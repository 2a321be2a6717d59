#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace testsupport {

/// A loopback TCP port nobody listens on right now (the system's pick, released again): for
/// a peer the code under test should find absent, or to hand to a program started by a test.
quint16 unusedTcpPort();
/// A port list for the station program: its service ports on free ports (0) and its peers on
/// ports nobody listens on, so that a test never meets a station running on the same machine.
QString unusedPortList();

/// A loopback TCP server that plays a peer (an APRS-IS server, a KISS program...):
/// it records every byte its clients send and lets the test send bytes back or drop
/// the connection.
class ScriptedTcpServer : public QObject {
    Q_OBJECT
public:
    /// Listens on 127.0.0.1; port 0 picks a free port.
    explicit ScriptedTcpServer(quint16 port = 0, QObject* parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    int connectionCount() const { return m_connections; }
    bool hasClient() const;
    /// Everything received from all clients, in order.
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    void send(const QByteArray& bytes);
    /// Closes the current client's connection (the server keeps listening).
    void dropClient();
    void stopListening() { m_server.close(); }

signals:
    void dataReceived();

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_received;
    int m_connections = 0;
};

/// A loopback TCP client, for tests that play the local program on a service port.
class ScriptedTcpClient : public QObject {
    Q_OBJECT
public:
    explicit ScriptedTcpClient(QObject* parent = nullptr);
    bool connectTo(quint16 port, int timeoutMs = 3000);
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    void send(const QByteArray& bytes);
    void close() { m_socket.abort(); }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

/// A local program that connects and never reads, with a small receive buffer, so that what
/// the station sends piles up on its side.
class NeverReadingClient {
public:
    NeverReadingClient() = default;
    ~NeverReadingClient();
    NeverReadingClient(const NeverReadingClient&) = delete;
    NeverReadingClient& operator=(const NeverReadingClient&) = delete;

    bool connectTo(quint16 port);
    void close();

private:
    int m_fd = -1;
};

} // namespace testsupport
