#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace platform {

/// One TCP socket of the station, as a client or as a one-client server, reporting the
/// state numbers the windows show:
/// 0 closed, 1 open, 2 listening, 3 connection pending, 4 resolving host, 5 host resolved,
/// 6 connecting, 7 connected, 8 closing, 9 error.
///
/// As a server it listens on the loopback address only, takes one client at a time (a
/// second connection is refused while a client is connected) and stops listening while the
/// client is there; the owner calls listen() again when the client has gone.
class StationSocket : public QObject {
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8,
        Error = 9
    };

    explicit StationSocket(QObject* parent = nullptr);
    ~StationSocket() override;

    int state() const;
    bool isConnected() const { return state() == Connected; }

    /// Client: connects to host:port (any previous connection or listener is closed first).
    void connectTo(const QString& host, quint16 port);
    /// Server: listens on 127.0.0.1:port; false when the port cannot be bound.
    bool listen(quint16 port);
    quint16 localPort() const;
    /// Closes the connection and the listener; the state becomes 0.
    void close();

    /// Bytes that may wait for a peer that does not read; beyond them the peer is dropped.
    static constexpr qint64 kMaxUnsent = 256 * 1024;

    /// Sends bytes on the connection; false when not connected. A peer that has left more
    /// than kMaxUnsent bytes unread is dropped (closedByPeer follows from the event loop, as if
    /// it had gone): a program that connects and never reads cannot make the station queue
    /// without limit.
    bool send(const QByteArray& bytes);
    /// Peers dropped because they did not read.
    qint64 droppedPeers() const { return m_droppedPeers; }
    QByteArray readAll();

signals:
    void connected();          ///< client connection established
    void connectionAccepted(); ///< server took a client
    void dataArrived();
    void closedByPeer();
    void errorOccurred();

private:
    void adopt(QTcpSocket* socket);
    void dropSocket();

    QTcpServer m_server;
    QPointer<QTcpSocket> m_socket;
    quint16 m_listenPort = 0;
    bool m_error = false;
    qint64 m_droppedPeers = 0;
};

} // namespace platform
