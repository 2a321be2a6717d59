#pragma once
#include "platform/station_socket.h"
#include "station/station_links.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace station {
struct StationState;
class Waits;
} // namespace station

namespace links {

/// The three TCP service ports for programs on the same computer, each on the loopback
/// address only and one client at a time, listening again when the client leaves:
/// 8063 packets both ways (`localProgramSocket`), 8500 PTT notices (`pttSocket`), 8064 receive-log
/// records (`receiveLogSocket`). The numbers come from the state's tcpPorts. A port another program
/// holds is shown as "in use" and tried again every kRetryMs until it can be opened.
class LocalServicePorts : public QObject, public station::LocalServices {
    Q_OBJECT
public:
    /// Bytes from the 8063 client kept until the HF relay takes them; beyond this the
    /// oldest are dropped.
    static constexpr qsizetype kMaxReceived = 64 * 1024;

    /// How often a port that could not be opened is tried again (design ms).
    static constexpr int kRetryMs = 10000;

    LocalServicePorts(station::StationState& state, station::Waits& waits, QObject* parent = nullptr);

    /// Start: 8063, 8500, then a PTT-off notice (`announcePttOff`), then 8064.
    void start();
    void closeAll();

    /// True while the modem transmits; `announcePttOff` waits until it is false. Until the modem
    /// exists the modem counts as idle.
    std::function<bool()> modemTransmitting = [] { return false; };

    /// What the 8063 client sent since the last call (for `localToHfRelayTimer`, the relay to HF).
    QByteArray takeReceived();
    qsizetype receivedBytes() const { return m_received.size(); }
    const QByteArray& received() const { return m_received; }

    platform::StationSocket& packetSocket() { return m_packets; }
    platform::StationSocket& pttSocket() { return m_ptt; }
    platform::StationSocket& receiveLogSocket() { return m_receiveLog; }

    // station::LocalServices
    void announcePttOn() override;
    void announcePttOff() override;
    void sendToLocalProgram(const QByteArray& line) override;
    void sendReceiveRecord(const QByteArray& record) override;

signals:
    void localProgramPortStatus(const QString& text);
    void pttPortStatus(const QString& text);
    /// Bytes from the 8063 client are waiting (enable `localToHfRelayTimer`).
    void localDataArrived();

private:
    /// Listens on `port` (0: a free port, written back); false when it cannot be opened,
    /// and then the retry timer runs.
    bool listenAgain(platform::StationSocket& socket, quint16& port);
    void retryClosedPorts();
    void showPackets(bool listening);
    void showPtt(bool listening);

    station::StationState& m_state;
    station::Waits& m_waits;
    QTimer m_retry;
    platform::StationSocket m_packets;
    platform::StationSocket m_ptt;
    platform::StationSocket m_receiveLog;
    QByteArray m_received;
};

} // namespace links
