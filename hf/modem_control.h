#pragma once

// Control of the sound-card modem around the transmissions: start-up set-up and the receive
// channel plan, channel carriers kept on every periodic event, channel 0 set by the transmit
// option, lower-sideband MFSK, notch, squelch from the level meter, the 30 s transmit
// watchdog (transmitWatchdogTimer), the "HF TUNE (5 sec)" carrier (tuneButton, tuneEndTimer) and the 2 s
// re-tune (modemRetuneTimer). The control owns these timers; the window starts and stops them with
// the station.

#include "hf/modem.h"

#include "station/station_links.h"
#include "station/station_state.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace station {
class Waits;
}

namespace hf {

class ModemControl : public QObject {
    Q_OBJECT
public:
    /// Its timers: transmitWatchdogTimer (30 s, longer for long frames, one-shot), tuneEndTimer
    /// (5 s) and modemRetuneTimer (2 s).
    ModemControl(Modem& modem, station::StationState& state, station::Waits& waits,
                 station::StationLinks& links, QObject* parent = nullptr);

    /// The watchdog runs from the window's opening on, as after each transmission.
    void startWatchdog() { m_watchdog.start(); }
    /// The 2 s re-tune runs (the window's opening).
    void startRetune() { m_retuneTimer.start(); }
    /// Stops every timer of the control (the window's closing).
    void stopTimers();
    /// "Cancel send": the tune carrier's end timer stops with the send.
    void stopTuneTimer() { m_tuneEnd.stop(); }

    /// The HF audio frequency F in whole Hz.
    int carrierHz() const;

    /// Start-up: devices, input channel, channels enabled, sample rate, channel plan, carrier,
    /// PTT port; the modem runs unless "No digi modes" was chosen.
    void startUp();
    /// At close: finish the transmission and stop.
    void stopTransmitter();
    void switchOff();

    /// Channel 0 writes of a transmit option (none for "TNC", "AX.25", "APRS-IS").
    void selectTransmitMode(station::TransmitMode mode);
    /// "LSB Tx mode" (lsbTxModeCheck) changed.
    void setLsbTxMode(bool lsb);
    /// "Notch filter..." (notchCheck) changed.
    void setNotchEnabled(bool on);
    /// A click on the waterfall at `hz`.
    void waterfallClicked(double hz);
    /// The level meter's event: every channel's squelch from level / 4.
    void applySquelchLevel(int level);

    /// modemRetuneTimer: channel 0 back on F.
    void retuneModem();
    /// transmitWatchdogTimer: the transmitter is switched off if the modem still transmits.
    void transmitWatchdogExpired();
    /// A frame went into the modem's queue, to go out in channel mode `mode` at `rate`: the
    /// watchdog lets the transmission run for the air time of everything queued plus a margin
    /// (never less than its 30 s).
    void frameQueued(const QByteArray& mode, double rate, const QByteArray& frame);
    /// The watchdog's design interval now, in ms.
    qint64 watchdogMs() const;
    /// tuneEndTimer: end of the tune carrier.
    void endTune();
    /// "HF TUNE (5 sec)".
    void tuneClicked();
    bool tuning() const { return m_tuning; }

    /// Remembered carrier R of channel 1.
    int rememberedCarrier() const { return m_remembered; }

public slots:
    void onPeriodic(const hf::Spectrum& spectrum);
    void onTransmitState(bool transmitting);

signals:
    void spectrumReady(const hf::Spectrum& spectrum);
    void signalLevelChanged(int level);
    /// A transmit option coloured by the state of its channel.
    void optionColour(station::TransmitMode mode, unsigned bgr);
    /// "Send Beacon" colour; while `transmitting` its caption is "Transmit" and the eight
    /// modem options are disabled, otherwise "Send Beacon" with the options enabled.
    void beaconButtonState(unsigned bgr, bool transmitting);
    /// New caption of the MFSK option ("MFSK16 USB" / "MFSK16 LSB").
    void mfskCaption(const QString& caption);
    void tuneButtonColour(unsigned bgr);
    void sendBeaconEnabled(bool on);

private:
    static constexpr qint64 kWatchdogMs = 30000;
    static constexpr qint64 kWatchdogMarginMs = 10000;

    void armWatchdog();
    void carriersToF();
    void releasePtt();
    void applyCarrierPlan();

    Modem& m_modem;
    station::StationState& m_state;
    station::Waits& m_waits;
    station::StationLinks& m_links;
    QTimer m_watchdog;    // transmitWatchdogTimer
    QTimer m_tuneEnd;     // tuneEndTimer
    QTimer m_retuneTimer; // modemRetuneTimer
    int m_remembered = 0;
    int m_notchHz = 0;
    bool m_tuning = false;
    bool m_pttKeyed = false;
    unsigned m_tuneGeneration = 0;
    qint64 m_queuedAirMs = 0; ///< air time of what was queued since the transmitter was last off
};

} // namespace hf
