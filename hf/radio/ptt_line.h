#pragma once

// The transmitter's push-to-talk on a serial port's modem-control lines: RTS, DTR or both.
// Lives on the modem's thread. The port is opened with both lines off; a line that cannot be
// set is reported (once per port setting) and the transmission goes ahead without it.

#include <QSerialPort>
#include <QString>

namespace hf::radio {

class PttLine {
public:
    PttLine() = default;
    ~PttLine();

    /// The device to key (empty: none, e.g. VOX) and the lines to use. Takes effect at once
    /// (the old port is released and closed).
    void configure(const QString& device, bool rts, bool dtr);
    /// Keys (true) or releases (false). Returns false when a line could not be set; the
    /// reason is in lastError(), and reported() says whether it was reported already.
    bool set(bool keyed);
    bool keyed() const { return m_keyed; }
    const QString& device() const { return m_device; }
    QString lastError() const { return m_error; }
    /// True the first time a failure happens for the current setting, false afterwards.
    bool takeFirstFailure();

private:
    bool openPort();

    QSerialPort m_port;
    QString m_device;
    QString m_error;
    bool m_rts = true;
    bool m_dtr = false;
    bool m_keyed = false;
    bool m_failed = false;
    bool m_failureReported = false;
};

} // namespace hf::radio
