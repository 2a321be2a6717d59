#pragma once

// PTT on a GPIO pin of a CM108/CM119 (or compatible) USB sound interface, through the Linux
// hidraw device of the interface. The chips take a HID output report of four bytes: a mode
// byte (0: GPIO write), the GPIO data bits, the GPIO direction bits (1: output) and a last byte
// left 0; GPIO n is bit n-1. A hidraw write starts with the report number, 0 here.

#include "hf/radio/ptt_switch.h"

#include <QByteArray>

#include <optional>

namespace hf::radio {

/// The bytes written to the hidraw device to drive `gpio` (1..8) high (keyed) or low.
QByteArray cm108Report(int gpio, bool keyed);

/// The ALSA card number in a sound device's name, as in "USB Audio Device: - (hw:1,0)".
std::optional<int> alsaCardOf(const QString& deviceName);

/// The /dev/hidrawN device on the same USB device as ALSA card `card`, found through sysfs
/// (`sysRoot` is "/sys" except in tests); empty when there is none.
QString hidrawForSoundCard(int card, const QString& sysRoot = QStringLiteral("/sys"));

class Cm108Ptt final : public PttSwitch {
public:
    Cm108Ptt(QString device, int gpio);
    ~Cm108Ptt() override;
    bool set(bool keyed) override;

private:
    QString m_device;
    int m_gpio;
};

} // namespace hf::radio
