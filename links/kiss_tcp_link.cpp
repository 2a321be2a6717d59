#include "links/kiss_tcp_link.h"

#include "links/tnc_line_handler.h"
#include "platform/clock.h"

#include <utility>

namespace links {

KissTcpLink::KissTcpLink(TncLineHandler& lines, std::function<QByteArray(const QByteArray&)> decodeFrame,
                         QObject* parent)
    : QObject(parent), m_lines(lines), m_decode(std::move(decodeFrame)), m_receiveTimer(this),
      m_statusTimer(this), m_reconnectTimer(this)
{
    m_receiveTimer.setObjectName(QStringLiteral("kissTcpReceiveTimer"));
    platform::Clock::setDesignInterval(m_receiveTimer, 50);
    connect(&m_receiveTimer, &QTimer::timeout, this, &KissTcpLink::onReceiveTimer);
    m_statusTimer.setObjectName(QStringLiteral("kissTcpStatusTimer"));
    platform::Clock::setDesignInterval(m_statusTimer, 1000);
    connect(&m_statusTimer, &QTimer::timeout, this, &KissTcpLink::statusTick);
    m_reconnectTimer.setObjectName(QStringLiteral("kissTcpReconnectTimer"));
    m_reconnectTimer.setSingleShot(true);
    platform::Clock::setDesignInterval(m_reconnectTimer, kReconnectMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_active && !m_socket.isConnected())
            connectToPeer();
    });
    connect(&m_socket, &platform::StationSocket::dataArrived, this, &KissTcpLink::onData);
    connect(&m_socket, &platform::StationSocket::connectionAccepted, this, [this] {
        m_reconnectTimer.stop();
        m_deframer.reset();
        emit labelText(QStringLiteral("%1 connected").arg(m_port));
    });
    connect(&m_socket, &platform::StationSocket::closedByPeer, this, &KissTcpLink::backToListening);
    connect(&m_socket, &platform::StationSocket::errorOccurred, this, &KissTcpLink::backToListening);
}

void KissTcpLink::setPeer(const QString& host, quint16 port)
{
    m_host = host;
    m_port = port;
}

void KissTcpLink::stopTimers()
{
    for (QTimer* t : {&m_receiveTimer, &m_statusTimer, &m_reconnectTimer})
        t->stop();
}

void KissTcpLink::connectClicked()
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

void KissTcpLink::connectToPeer()
{
    // A listening or failed socket is closed first by connectTo.
    m_buffer.clear();
    m_deframer.reset();
    m_socket.connectTo(m_host, m_port);
    emit labelText(QString::number(m_socket.state()));
}

void KissTcpLink::onData()
{
    const QByteArray bytes = m_socket.readAll();
    m_buffer += bytes.left(kMaxBuffered - m_buffer.size());
    if (!m_receiveTimer.isActive())
        m_receiveTimer.start();
}

void KissTcpLink::onReceiveTimer()
{
    m_receiveTimer.stop();
    const QByteArray data = std::exchange(m_buffer, QByteArray());
    for (const QByteArray& frame : m_deframer.feed(data)) {
        const QByteArray text = m_decode ? m_decode(frame) : QByteArray();
        if (!text.isEmpty())
            m_lines.receiveLine(text + "\r\n");
    }
}

void KissTcpLink::backToListening()
{
    // The socket listens again (on a loopback port of its own); the button, or the reconnect
    // timer while the link is active, connects from there.
    m_socket.listen(0);
    m_deframer.reset();
    emit labelText(QStringLiteral("%1 listening").arg(m_port));
    if (m_active)
        m_reconnectTimer.start();
}

void KissTcpLink::statusTick()
{
    const int s = m_socket.state();
    const TcpTncButton b = tcpTncButton(TcpTnc::KissOverTcp, s);
    emit buttonCaption(b.caption, b.colour);
    if (b.enabled)
        emit buttonEnabled(*b.enabled);
    if (s == platform::StationSocket::Error)
        m_socket.close();
}

} // namespace links
