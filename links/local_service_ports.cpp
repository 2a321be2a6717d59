#include "links/local_service_ports.h"

#include "station/station_state.h"
#include "station/waits.h"

#include "platform/clock.h"

namespace links {

LocalServicePorts::LocalServicePorts(station::StationState& state, station::Waits& waits, QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits)
{
    connect(&m_packets, &platform::StationSocket::connectionAccepted, this,
            [this] { emit localProgramPortStatus(QStringLiteral("Connected")); });
    connect(&m_ptt, &platform::StationSocket::connectionAccepted, this,
            [this] { emit pttPortStatus(QStringLiteral("%1 connected").arg(m_state.tcpPorts.ptt)); });
    auto packetsGone = [this] {
        if (listenAgain(m_packets, m_state.tcpPorts.packets))
            emit localProgramPortStatus(QStringLiteral("Listening..."));
        else
            showPackets(false);
    };
    auto pttGone = [this] { showPtt(listenAgain(m_ptt, m_state.tcpPorts.ptt)); };
    auto logGone = [this] { listenAgain(m_receiveLog, m_state.tcpPorts.receiveLog); };
    connect(&m_packets, &platform::StationSocket::closedByPeer, this, packetsGone);
    connect(&m_packets, &platform::StationSocket::errorOccurred, this, packetsGone);
    connect(&m_ptt, &platform::StationSocket::closedByPeer, this, pttGone);
    connect(&m_ptt, &platform::StationSocket::errorOccurred, this, pttGone);
    connect(&m_receiveLog, &platform::StationSocket::closedByPeer, this, logGone);
    connect(&m_receiveLog, &platform::StationSocket::errorOccurred, this, logGone);

    connect(&m_packets, &platform::StationSocket::dataArrived, this, [this] {
        m_received += m_packets.readAll();
        if (m_received.size() > kMaxReceived)
            m_received.remove(0, m_received.size() - kMaxReceived);
        emit localDataArrived();
    });
    // Nothing is read from 8500 and 8064; whatever a client sends there is discarded.
    connect(&m_ptt, &platform::StationSocket::dataArrived, this, [this] { m_ptt.readAll(); });
    connect(&m_receiveLog, &platform::StationSocket::dataArrived, this, [this] { m_receiveLog.readAll(); });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LocalServicePorts::retryClosedPorts);
}

bool LocalServicePorts::listenAgain(platform::StationSocket& socket, quint16& port)
{
    if (m_state.shuttingDown)
        return true;
    if (socket.listen(port)) {
        port = socket.localPort(); // a port picked by the system stays the same afterwards
        return true;
    }
    if (!m_retry.isActive()) {
        platform::Clock::setDesignInterval(m_retry, kRetryMs);
        m_retry.start();
    }
    return false;
}

void LocalServicePorts::showPackets(bool listening)
{
    const quint16 port = m_state.tcpPorts.packets;
    emit localProgramPortStatus(listening ? QStringLiteral("%1 listening").arg(port)
                                          : QStringLiteral("%1 in use").arg(port));
}

void LocalServicePorts::showPtt(bool listening)
{
    const quint16 port = m_state.tcpPorts.ptt;
    emit pttPortStatus(listening ? QStringLiteral("%1 listening").arg(port)
                                 : QStringLiteral("%1 in use").arg(port));
}

void LocalServicePorts::retryClosedPorts()
{
    station::TcpPorts& ports = m_state.tcpPorts;
    auto unopened = [](const platform::StationSocket& s) {
        return s.state() == platform::StationSocket::Closed || s.state() == platform::StationSocket::Error;
    };
    if (unopened(m_packets))
        showPackets(listenAgain(m_packets, ports.packets));
    if (unopened(m_ptt))
        showPtt(listenAgain(m_ptt, ports.ptt));
    if (unopened(m_receiveLog))
        listenAgain(m_receiveLog, ports.receiveLog);
}

void LocalServicePorts::start()
{
    station::TcpPorts& ports = m_state.tcpPorts;
    showPackets(listenAgain(m_packets, ports.packets));
    showPtt(listenAgain(m_ptt, ports.ptt));
    announcePttOff();
    listenAgain(m_receiveLog, ports.receiveLog);
}

void LocalServicePorts::closeAll()
{
    m_retry.stop();
    m_packets.close();
    m_ptt.close();
    m_receiveLog.close();
}

QByteArray LocalServicePorts::takeReceived()
{
    QByteArray out;
    out.swap(m_received);
    return out;
}

void LocalServicePorts::announcePttOn()
{
    if (m_ptt.isConnected())
        m_ptt.send("PTT True\r");
}

void LocalServicePorts::announcePttOff()
{
    if (modemTransmitting)
        m_waits.waitWhile(modemTransmitting);
    if (m_ptt.isConnected())
        m_ptt.send("PTT False\r");
}

void LocalServicePorts::sendToLocalProgram(const QByteArray& line)
{
    if (m_packets.isConnected())
        m_packets.send(line);
}

void LocalServicePorts::sendReceiveRecord(const QByteArray& record)
{
    if (m_receiveLog.isConnected())
        m_receiveLog.send(record);
}

} // namespace links
