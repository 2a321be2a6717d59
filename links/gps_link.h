#pragma once

// Where the station's GPS sentences come from: the GPS receiver's serial port, or gpsd over
// TCP (asked for the receiver's NMEA sentences). Either way the bytes go to the caller's
// checked sentence handling. A serial port that goes away (USB receiver unplugged) is opened
// again by the watch timer when it comes back; a gpsd that stops is connected to again.

#include "platform/comm_port.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace links {

class GpsLink : public QObject {
    Q_OBJECT
public:
    /// Serial settings of a GPS receiver.
    static constexpr const char* kSerialSettings = "4800,N,8,1";
    /// Design interval of the watch timer that reopens a lost port or reconnects to gpsd.
    static constexpr double kWatchMs = 5000.0;
    /// What gpsd is asked for once connected.
    static constexpr const char* kWatchCommand = "?WATCH={\"enable\":true,\"nmea\":true}\n";

    /// `resolve` maps a serial port number to its device (see platform::CommPortMap).
    explicit GpsLink(std::function<QString(int)> resolve, QObject* parent = nullptr);
    ~GpsLink() override;

    /// Reads from serial port `portNumber` (1..); closes whatever was open before.
    void openSerial(int portNumber);
    /// Reads from gpsd at host:port; closes whatever was open before.
    void openGpsd(const QString& host, quint16 port);
    void close();

    /// True while sentences can arrive (port open, or connected to gpsd).
    bool isOpen() const;
    /// "GPS Com port 3" or "gpsd 127.0.0.1:2947", for status texts.
    QString description() const;
    platform::CommPort& serialPort() { return m_serial; }

signals:
    /// Bytes from the receiver (NMEA sentences; from gpsd also its JSON replies, which the
    /// sentence handling skips).
    void dataReceived(const QByteArray& bytes);

private:
    enum class Source { None, Serial, Gpsd };
    void watch();
    void connectGpsd();

    Source m_source = Source::None;
    platform::CommPort m_serial;
    QTcpSocket m_gpsd;
    QString m_gpsdHost;
    quint16 m_gpsdPort = 0;
    QTimer m_watch;
};

} // namespace links
