#pragma once
#include "station/station_state.h"

#include <QByteArray>
#include <QObject>

#include <functional>

namespace station {
class Waits;
} // namespace station

namespace messaging {

/// The operating-mode choice for a text-mode TNC: "TNC Command", "APRS Messaging", "Packet
/// Converse" or "RAYNET messaging". Every choice first waits (cooperatively, for as long as it
/// takes) until no one transmits, then puts the TNC in command mode with Ctrl-C CR. "TNC
/// Command" leaves it there and the beacons stop. The other three hold the transmitter for a
/// second with the other choices locked, then send "conv" CR and the beacon button works again.
/// A close of the station ends every wait and nothing more is sent. The window shows the
/// outcome through the signals.
class OperatingModeSwitch : public QObject {
    Q_OBJECT
public:
    /// The TNC as the switch drives it.
    struct Tnc {
        std::function<void()> enterCommandMode;       ///< Ctrl-C CR
        std::function<void(const QByteArray&)> write; ///< a line (the caller includes CR)
    };

    /// `hfModeSelected` tells whether a transmit option of the modem is chosen; "TNC Command"
    /// is offered again after the pause only when none is.
    OperatingModeSwitch(station::StationState& state, station::Waits& waits, Tnc tnc,
                        std::function<bool()> hfModeSelected, QObject* parent = nullptr);

    /// The operator chose `mode` (TncCommand .. Raynet).
    void select(station::OperatingMode mode);

signals:
    /// The "Message ACK" choices: none for TNC commands and packet converse.
    void acksEnabled(bool on);
    /// One operating-mode choice offered or locked.
    void modeEnabled(station::OperatingMode mode, bool on);
    /// "TNC Command" is in force: no beacons, no tune and no "Send Beacon".
    void commandModeEntered();
    /// The TNC is back in converse: the beacon button works; `sendControls` says whether tune
    /// and "Send Beacon" may be used again (not while a send is in progress).
    void converseResumed(bool sendControls);

private:
    /// Waits until the transmitter is free; false when the station is closing.
    bool waitForFreeTransmitter();
    void resumeConverse(station::OperatingMode mode);

    station::StationState& m_state;
    station::Waits& m_waits;
    Tnc m_tnc;
    std::function<bool()> m_hfModeSelected;
};

} // namespace messaging
