#include "tests/support/scripted_tcp_peer.h"

#include "tests/support/wait_until.h"

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

} // namespace testsupport
