#pragma once

// How the transmitter is keyed: a serial port's RTS/DTR lines, a rig's CAT interface through
// hamlib, or a GPIO pin of a CM108/CM119 USB sound interface. A switch lives on the modem's
// thread; one that fails is reported once per setting, never stops a transmission, and is
// tried again at the next key-down.

#include <QString>

#include <memory>

namespace hf::radio {

class PttSwitch {
public:
    virtual ~PttSwitch() = default;
    /// Keys (true) or releases (false). Returns false when it could not; the reason is in
    /// lastError().
    virtual bool set(bool keyed) = 0;
    bool keyed() const { return m_keyed; }
    QString lastError() const { return m_error; }
    /// True the first time a failure happens for this switch, false afterwards.
    bool takeFirstFailure();

protected:
    /// Records a failure; returns false for the caller to pass on.
    bool fail(const QString& error);
    /// Forgets the failure state (the switch was set up anew).
    void clearFailure();

    bool m_keyed = false;

private:
    QString m_error;
    bool m_failed = false;
    bool m_failureReported = false;
};

/// The station's PTT setting.
struct PttChoice {
    enum class Kind { SerialLines, Hamlib, Cm108 };
    Kind kind = Kind::SerialLines;
    QString serialDevice; ///< empty: no PTT port (VOX)
    bool rts = true;
    bool dtr = false;
    int hamlibModel = 2;  ///< hamlib's rig model number; 2 is "NET rigctl"
    QString hamlibDevice; ///< serial device, or host:port for a rig server
    int hamlibSpeed = 0;  ///< 0: the rig's default
    QString cm108Device;  ///< /dev/hidrawN
    int cm108Gpio = 3;    ///< 1..8

    bool operator==(const PttChoice&) const = default;
};

std::unique_ptr<PttSwitch> makePttSwitch(const PttChoice& choice);

} // namespace hf::radio
