#pragma once

// The transmitter's push-to-talk on a serial port's modem-control lines: RTS, DTR or both.
// Lives on the modem's thread. The port is opened with both lines off; a line that cannot be
// set is reported (once per port setting) and the transmission goes ahead without it.

#include "hf/radio/ptt_switch.h"

#include <QSerialPort>
#include <QString>

namespace hf::radio {

class PttLine final : public PttSwitch {
public:
    PttLine() = default;
    ~PttLine();

    /// The device to key (empty: none, e.g. VOX) and the lines to use. Takes effect at once
    /// (the old port is released and closed).
    void configure(const QString& device, bool rts, bool dtr);
    /// Keys (true) or releases (false). Returns false when a line could not be set.
    bool set(bool keyed) override;
    const QString& device() const { return m_device; }

private:
    bool openPort();

    QSerialPort m_port;
    QString m_device;
    bool m_rts = true;
    bool m_dtr = false;
};

} // namespace hf::radio
