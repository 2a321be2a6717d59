#include "tests/support/scripted_tcp_peer.h"

#include "tests/support/wait_until.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

quint16 unusedTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString unusedPortList()
{
    return QStringLiteral("packets=0,ptt=0,receive-log=0,kiss=%1,agwpe=%2,aprs-is=%3")
        .arg(unusedTcpPort())
        .arg(unusedTcpPort())
        .arg(unusedTcpPort());
}

ScriptedTcpServer::ScriptedTcpServer(quint16 port, QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            ++m_connections;
            if (m_client)
                m_client->deleteLater();
            m_client = s;
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                m_received.append(s->readAll());
                emit dataReceived();
            });
        }
    });
    m_server.listen(QHostAddress::LocalHost, port);
}

bool ScriptedTcpServer::hasClient() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

void ScriptedTcpServer::send(const QByteArray& bytes)
{
    if (m_client) {
        m_client->write(bytes);
        m_client->flush();
    }
}

void ScriptedTcpServer::dropClient()
{
    if (m_client) {
        m_client->disconnectFromHost();
        m_client->close();
    }
}

ScriptedTcpClient::ScriptedTcpClient(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { m_received.append(m_socket.readAll()); });
}

bool ScriptedTcpClient::connectTo(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return waitUntil([this] { return isConnected(); }, timeoutMs);
}

void ScriptedTcpClient::send(const QByteArray& bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

NeverReadingClient::~NeverReadingClient()
{
    close();
}

bool NeverReadingClient::connectTo(quint16 port)
{
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0)
        return false;
    const int small = 4096;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void NeverReadingClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace testsupport
