#include "platform/station_socket.h"

namespace platform {

StationSocket::StationSocket(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* s = m_server.nextPendingConnection();
        if (!s)
            return;
        if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
            s->abort();
            s->deleteLater();
            return;
        }
        m_server.close(); // one client at a time
        adopt(s);
        emit connectionAccepted();
    });
}

StationSocket::~StationSocket()
{
    close();
}

int StationSocket::state() const
{
    if (m_error)
        return Error;
    if (m_socket) {
        switch (m_socket->state()) {
        case QAbstractSocket::UnconnectedState:
            break;
        case QAbstractSocket::HostLookupState:
            return ResolvingHost;
        case QAbstractSocket::ConnectingState:
            return Connecting;
        case QAbstractSocket::ConnectedState:
            return Connected;
        case QAbstractSocket::BoundState:
            return Open;
        case QAbstractSocket::ClosingState:
            return Closing;
        case QAbstractSocket::ListeningState:
            return Listening;
        }
    }
    return m_server.isListening() ? Listening : Closed;
}

void StationSocket::adopt(QTcpSocket* socket)
{
    dropSocket();
    m_socket = socket;
    socket->setParent(this);
    connect(socket, &QTcpSocket::connected, this, &StationSocket::connected);
    connect(socket, &QTcpSocket::readyRead, this, &StationSocket::dataArrived);
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket == m_socket)
            emit closedByPeer();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError e) {
        if (socket != m_socket || e == QAbstractSocket::RemoteHostClosedError)
            return;
        m_error = true;
        emit errorOccurred();
    });
}

void StationSocket::dropSocket()
{
    if (m_socket) {
        QTcpSocket* s = m_socket;
        m_socket = nullptr;
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
}

void StationSocket::connectTo(const QString& host, quint16 port)
{
    close();
    auto* s = new QTcpSocket(this);
    adopt(s);
    s->connectToHost(host, port);
}

bool StationSocket::listen(quint16 port)
{
    close();
    m_listenPort = port;
    return m_server.listen(QHostAddress::LocalHost, port);
}

quint16 StationSocket::localPort() const
{
    if (m_server.isListening())
        return m_server.serverPort();
    return m_socket ? m_socket->localPort() : m_listenPort;
}

void StationSocket::close()
{
    m_error = false;
    dropSocket();
    if (m_server.isListening())
        m_server.close();
}

bool StationSocket::send(const QByteArray& bytes)
{
    if (!isConnected())
        return false;
    if (m_socket->bytesToWrite() + bytes.size() > kMaxUnsent) {
        ++m_droppedPeers;
        dropSocket();
        // Reported from the event loop: the sender is in the middle of its own work.
        QMetaObject::invokeMethod(this, &StationSocket::closedByPeer, Qt::QueuedConnection);
        return false;
    }
    return m_socket->write(bytes) == bytes.size();
}

QByteArray StationSocket::readAll()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

} // namespace platform
