#include "links/gps_link.h"

#include "platform/clock.h"

namespace links {

GpsLink::GpsLink(std::function<QString(int)> resolve, QObject* parent)
    : QObject(parent), m_serial(std::move(resolve))
{
    m_serial.setSettings(QString::fromLatin1(kSerialSettings));
    platform::Clock::setDesignInterval(m_watch, kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &GpsLink::watch);
    connect(&m_serial, &platform::CommPort::dataReceived, this,
            [this] { emit dataReceived(m_serial.readAll()); });
    connect(&m_gpsd, &QTcpSocket::connected, this, [this] { m_gpsd.write(kWatchCommand); });
    connect(&m_gpsd, &QTcpSocket::readyRead, this, [this] { emit dataReceived(m_gpsd.readAll()); });
}

GpsLink::~GpsLink()
{
    close();
}

void GpsLink::openSerial(int portNumber)
{
    close();
    m_source = Source::Serial;
    m_serial.setPortNumber(portNumber);
    m_serial.open();
    m_watch.start();
}

void GpsLink::openGpsd(const QString& host, quint16 port)
{
    close();
    m_source = Source::Gpsd;
    m_gpsdHost = host;
    m_gpsdPort = port;
    connectGpsd();
    m_watch.start();
}

void GpsLink::close()
{
    m_watch.stop();
    m_source = Source::None;
    m_serial.close();
    m_gpsd.abort();
}

bool GpsLink::isOpen() const
{
    switch (m_source) {
    case Source::Serial:
        return m_serial.isOpen();
    case Source::Gpsd:
        return m_gpsd.state() == QAbstractSocket::ConnectedState;
    case Source::None:
        break;
    }
    return false;
}

QString GpsLink::description() const
{
    switch (m_source) {
    case Source::Serial:
        return QStringLiteral("GPS Com port %1").arg(m_serial.portNumber());
    case Source::Gpsd:
        return QStringLiteral("gpsd %1:%2").arg(m_gpsdHost).arg(m_gpsdPort);
    case Source::None:
        break;
    }
    return QStringLiteral("no GPS");
}

void GpsLink::watch()
{
    if (m_source == Source::Serial && !m_serial.isOpen())
        m_serial.open(); // the receiver was unplugged: try it again
    else if (m_source == Source::Gpsd && m_gpsd.state() == QAbstractSocket::UnconnectedState)
        connectGpsd(); // gpsd stopped or was not running yet
}

void GpsLink::connectGpsd()
{
    m_gpsd.abort();
    m_gpsd.connectToHost(m_gpsdHost, m_gpsdPort);
}

} // namespace links
