#pragma once
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

namespace platform {

/// A serial port addressed by its station port number (see CommPortMap), with the small
/// surface the station uses: a settings text such as "9600,N,8,1", open and close, read all
/// waiting input, write, a receive event and the two modem-control line outputs.
///
/// When the far end goes away (USB adapter unplugged, pseudo-terminal closed) the port is
/// closed at once instead of reporting read errors in a tight loop; the owner's watch timer
/// opens it again later.
class CommPort : public QObject {
    Q_OBJECT
public:
    /// `resolve` maps a port number to a device path (empty: no such port).
    explicit CommPort(std::function<QString(int)> resolve, QObject* parent = nullptr);
    ~CommPort() override;

    void setPortNumber(int n) { m_number = n; }
    int portNumber() const { return m_number; }
    /// "BAUD,PARITY,DATABITS,STOPBITS", e.g. "4800,N,8,1"; false (settings unchanged) when
    /// the text is not understood.
    bool setSettings(const QString& settings);
    QString settings() const { return m_settings; }

    /// Opens the port of the current number; true when open afterwards. Switches DTR and
    /// RTS on (a device that cannot set them, such as a pseudo-terminal, is still opened).
    bool open();
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    /// Writes bytes; false when the port is closed or the write failed.
    bool write(const QByteArray& bytes);
    /// Everything received and not yet read.
    QByteArray readAll() { return m_port.isOpen() ? m_port.readAll() : QByteArray(); }

    /// The second modem-control line (RTS) on or off; failures are harmless.
    void setSecondLine(bool on);
    void setDtr(bool on);
    void setRts(bool on);

    /// True once after the port reported an error (open failure or a lost device).
    bool takeError();

signals:
    /// Data arrived (the port's receive event).
    void dataReceived();
    /// The port reported an error; it has been closed when the device went away.
    void errorRaised();

private:
    void onError(QSerialPort::SerialPortError error);

    std::function<QString(int)> m_resolve;
    QSerialPort m_port;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_number = 0;
    bool m_error = false;
};

} // namespace platform
