#include "links/tcp_tnc_link.h"

#include "platform/clock.h"

namespace links {

TcpTncLink::TcpTncLink(TcpTnc kind, const QString& name, const QString& host, quint16 port, QObject* parent)
    : QObject(parent), m_kind(kind), m_host(host), m_port(port), m_statusTimer(this), m_reconnectTimer(this)
{
    platform::Clock::setUpTimer(m_statusTimer, name + QStringLiteral("StatusTimer"), 1000);
    connect(&m_statusTimer, &QTimer::timeout, this, &TcpTncLink::statusTick);
    platform::Clock::setUpTimer(m_reconnectTimer, name + QStringLiteral("ReconnectTimer"), kReconnectMs);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_active && !m_socket.isConnected())
            connectToPeer();
    });
    connect(&m_socket, &platform::StationSocket::connectionAccepted, this, [this] {
        m_reconnectTimer.stop();
        connectionAccepted();
    });
    connect(&m_socket, &platform::StationSocket::closedByPeer, this, &TcpTncLink::backToListening);
    connect(&m_socket, &platform::StationSocket::errorOccurred, this, &TcpTncLink::backToListening);
}

void TcpTncLink::setPeer(const QString& host, quint16 port)
{
    m_host = host;
    m_port = port;
}

void TcpTncLink::stopTimers()
{
    m_statusTimer.stop();
    m_reconnectTimer.stop();
}

void TcpTncLink::connectClicked()
{
    if (m_socket.isConnected()) {
        m_socket.close();
        m_active = false;
        m_reconnectTimer.stop();
        return;
    }
    m_active = true;
    connectToPeer();
}

void TcpTncLink::connectToPeer()
{
    startingConnection();
    m_socket.connectTo(m_host, m_port); // a listening or failed socket is closed first
    connectionStarted();
}

void TcpTncLink::backToListening()
{
    // The socket listens again (on a loopback port of its own); the button, or the reconnect
    // timer while the link is active, connects from there.
    m_socket.listen(0);
    listeningAgain();
    if (m_active)
        m_reconnectTimer.start();
}

void TcpTncLink::statusTick()
{
    const int s = m_socket.state();
    const TcpTncButton b = tcpTncButton(m_kind, s);
    emit buttonCaption(b.caption, b.colour);
    if (b.enabled)
        emit buttonEnabled(*b.enabled);
    if (s == platform::StationSocket::Error)
        m_socket.close();
}

} // namespace links
