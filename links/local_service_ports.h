#pragma once
#include "platform/station_socket.h"
#include "station/station_links.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

namespace station {
struct StationState;
class Waits;
} // namespace station

namespace links {

/// The three TCP service ports for programs on the same computer, each on the loopback
/// address only and one client at a time, listening again when the client leaves:
/// 8063 packets both ways (`Winsock1`), 8500 PTT notices (`Winsock3`), 8064 receive-log
/// records (`Winsock5`).
class LocalServicePorts : public QObject, public station::LocalServices {
    Q_OBJECT
public:
    /// Bytes from the 8063 client kept until the HF relay takes them; beyond this the
    /// oldest are dropped.
    static constexpr qsizetype kMaxReceived = 64 * 1024;

    struct Ports {
        quint16 packets = 8063;
        quint16 ptt = 8500;
        quint16 receiveLog = 8064;
    };

    LocalServicePorts(station::StationState& state, station::Waits& waits, QObject* parent = nullptr);
    /// Other port numbers (tests; 0 picks a free port, kept for the whole run).
    void setPorts(const Ports& ports) { m_ports = ports; }

    /// Start: 8063, 8500, then a PTT-off notice (`Rx_tcpip`), then 8064.
    void start();
    void closeAll();

    /// True while the modem transmits; `Rx_tcpip` waits until it is false. Until the modem
    /// exists the modem counts as idle.
    std::function<bool()> modemTransmitting = [] { return false; };

    /// What the 8063 client sent since the last call (for `Timer20`, the relay to HF).
    QByteArray takeReceived();
    qsizetype receivedBytes() const { return m_received.size(); }
    const QByteArray& received() const { return m_received; }

    platform::StationSocket& packetSocket() { return m_packets; }
    platform::StationSocket& pttSocket() { return m_ptt; }
    platform::StationSocket& receiveLogSocket() { return m_receiveLog; }

    // station::LocalServices
    void Tx_tcpip() override;
    void Rx_tcpip() override;
    void sendToLocalProgram(const QByteArray& line) override;
    void sendReceiveRecord(const QByteArray& record) override;

signals:
    void label23Text(const QString& text);
    void label27Text(const QString& text);
    /// Bytes from the 8063 client are waiting (enable `Timer20`).
    void localDataArrived();

private:
    void listenAgain(platform::StationSocket& socket, quint16& port);

    station::StationState& m_state;
    station::Waits& m_waits;
    Ports m_ports;
    platform::StationSocket m_packets;
    platform::StationSocket m_ptt;
    platform::StationSocket m_receiveLog;
    QByteArray m_received;
};

} // namespace links
