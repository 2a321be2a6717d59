#include "links/agwpe_link.h"

#include "links/tcp_tnc_status.h"
#include "links/tnc_line_handler.h"
#include "packet/agwpe_monitor.h"
#include "platform/clock.h"

namespace links {

AgwpeLink::AgwpeLink(TncLineHandler& lines, QObject* parent)
    : QObject(parent), m_lines(lines), m_statusTimer(this), m_reconnectTimer(this)
{
    m_statusTimer.setObjectName(QStringLiteral("agwpeStatusTimer"));
    platform::Clock::setDesignInterval(m_statusTimer, 1000);
    connect(&m_statusTimer, &QTimer::timeout, this, &AgwpeLink::statusTick);
    m_reconnectTimer.setObjectName(QStringLiteral("agwpeReconnectTimer"));
    m_reconnectTimer.setSingleShot(true);
    platform::Clock::setDesignInterval(m_reconnectTimer, kReconnectMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_wanted && !m_socket.isConnected())
            connectToPeer();
    });
    connect(&m_socket, &platform::StationSocket::connected, this, [this] {
        m_deframer.reset();
        m_socket.send(packet::agwpeMonitorRequest());
    });
    connect(&m_socket, &platform::StationSocket::connectionAccepted, this, [this] { m_deframer.reset(); });
    connect(&m_socket, &platform::StationSocket::dataArrived, this, &AgwpeLink::onData);
    connect(&m_socket, &platform::StationSocket::closedByPeer, this, &AgwpeLink::backToListening);
    connect(&m_socket, &platform::StationSocket::errorOccurred, this, &AgwpeLink::backToListening);
}

void AgwpeLink::setPeer(const QString& host, quint16 port)
{
    m_host = host;
    m_port = port;
}

void AgwpeLink::connectClicked()
{
    if (m_socket.isConnected()) {
        m_socket.close();
        m_wanted = false;
        m_reconnectTimer.stop();
        return;
    }
    m_wanted = true;
    connectToPeer();
}

void AgwpeLink::connectToPeer()
{
    m_deframer.reset();
    m_frames = 0;
    m_socket.connectTo(m_host, m_port);
}

void AgwpeLink::onData()
{
    for (const packet::AgwpeFrame& frame : m_deframer.feed(m_socket.readAll())) {
        ++m_frames;
        if (const auto line = packet::agwpeMonitorLine(frame))
            m_lines.receiveLine(*line);
    }
}

void AgwpeLink::backToListening()
{
    m_socket.listen(0);
    m_deframer.reset();
    if (m_wanted)
        m_reconnectTimer.start();
}

void AgwpeLink::stopTimers()
{
    m_statusTimer.stop();
    m_reconnectTimer.stop();
}

void AgwpeLink::statusTick()
{
    const int s = m_socket.state();
    const TcpTncButton b = tcpTncButton(TcpTnc::Agwpe, s);
    emit buttonCaption(b.caption, b.colour);
    if (b.enabled)
        emit buttonEnabled(*b.enabled);
    if (s == platform::StationSocket::Error)
        m_socket.close();
}

} // namespace links
