#include "links/local_service_ports.h"

#include "station/station_state.h"
#include "station/waits.h"

namespace links {

LocalServicePorts::LocalServicePorts(station::StationState& state, station::Waits& waits, QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits)
{
    connect(&m_packets, &platform::StationSocket::connectionAccepted, this,
            [this] { emit label23Text(QStringLiteral("Connected")); });
    connect(&m_ptt, &platform::StationSocket::connectionAccepted, this,
            [this] { emit label27Text(QStringLiteral("8500 connected")); });
    auto packetsGone = [this] {
        listenAgain(m_packets, m_ports.packets);
        emit label23Text(QStringLiteral("Listening..."));
    };
    auto pttGone = [this] {
        listenAgain(m_ptt, m_ports.ptt);
        emit label27Text(QStringLiteral("8500 listening"));
    };
    auto logGone = [this] { listenAgain(m_receiveLog, m_ports.receiveLog); };
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
}

void LocalServicePorts::listenAgain(platform::StationSocket& socket, quint16& port)
{
    if (m_state.shuttingDown)
        return;
    if (socket.listen(port))
        port = socket.localPort(); // a port picked by the system stays the same afterwards
}

void LocalServicePorts::start()
{
    listenAgain(m_packets, m_ports.packets);
    emit label23Text(QStringLiteral("8063 listening"));
    listenAgain(m_ptt, m_ports.ptt);
    emit label27Text(QStringLiteral("8500 listening"));
    Rx_tcpip();
    listenAgain(m_receiveLog, m_ports.receiveLog);
}

void LocalServicePorts::closeAll()
{
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

void LocalServicePorts::Tx_tcpip()
{
    if (m_ptt.isConnected())
        m_ptt.send("PTT True\r");
}

void LocalServicePorts::Rx_tcpip()
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
