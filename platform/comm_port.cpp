#include "platform/comm_port.h"

#include <QMap>

namespace platform {

CommPort::CommPort(std::function<QString(int)> resolve, QObject* parent)
    : QObject(parent), m_resolve(std::move(resolve))
{
    connect(&m_port, &QSerialPort::readyRead, this, &CommPort::dataReceived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CommPort::onError);
}

CommPort::~CommPort()
{
    close();
}

bool CommPort::setSettings(const QString& settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;
    const QString parity = parts[1].trimmed().toUpper();
    const int bits = parts[2].trimmed().toInt();
    const QString stop = parts[3].trimmed();
    if (!QStringList{"N", "E", "O", "M", "S"}.contains(parity) || bits < 5 || bits > 8 ||
        (stop != QLatin1String("1") && stop != QLatin1String("2")))
        return false;
    m_settings = settings.trimmed();
    return true;
}

bool CommPort::open()
{
    if (m_port.isOpen())
        return true;
    const QString device = m_number > 0 && m_resolve ? m_resolve(m_number) : QString();
    if (device.isEmpty()) {
        m_error = true;
        return false;
    }
    const QStringList parts = m_settings.split(QLatin1Char(','));
    m_port.setPortName(device);
    m_port.setBaudRate(parts[0].toInt());
    static const QMap<QString, QSerialPort::Parity> parities{{"N", QSerialPort::NoParity},
                                                             {"E", QSerialPort::EvenParity},
                                                             {"O", QSerialPort::OddParity},
                                                             {"M", QSerialPort::MarkParity},
                                                             {"S", QSerialPort::SpaceParity}};
    m_port.setParity(parities.value(parts[1].trimmed().toUpper(), QSerialPort::NoParity));
    m_port.setDataBits(static_cast<QSerialPort::DataBits>(parts[2].toInt()));
    m_port.setStopBits(parts[3].trimmed() == QLatin1String("2") ? QSerialPort::TwoStop
                                                                : QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = true;
        return false;
    }
    // Pseudo-terminals refuse modem-control lines; that is harmless.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    m_port.clearError();
    return true;
}

void CommPort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

bool CommPort::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        return false;
    return m_port.write(bytes) == bytes.size();
}

void CommPort::setSecondLine(bool on)
{
    setRts(on);
}

void CommPort::setDtr(bool on)
{
    if (m_port.isOpen())
        m_port.setDataTerminalReady(on);
}

void CommPort::setRts(bool on)
{
    if (m_port.isOpen())
        m_port.setRequestToSend(on);
}

bool CommPort::takeError()
{
    const bool e = m_error;
    m_error = false;
    return e;
}

void CommPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::UnsupportedOperationError: // DTR/RTS on a pseudo-terminal
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    default:
        break;
    }
    m_error = true;
    // A vanished device keeps reporting errors at full speed until closed.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError)
        close();
    m_port.clearError();
    emit errorRaised();
}

} // namespace platform
