#pragma once
// The beacon schedule and the beacon senders: the minute counter of the beacon timer
// (`beaconScheduleTimer`), the countdown shown every second (`beaconCountdownTimer`), the beacon on/off
// button, and `sendFixedBeacon` / `sendGpsBeacon` on every bearer that is set up (HF through the modem, VHF
// by KISS, a text-mode TNC, APRS-IS).
//
// This part owns its timers; the window owns the controls: it connects the button to the
// methods here and shows what the signals carry. Everything runs on the user-interface
// thread; the senders wait cooperatively (station::Waits), so other events run meanwhile.

#include "position/gps_display.h"
#include "position/gps_input.h"

#include "station/station_links.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace station {
struct StationState;
class Waits;
} // namespace station

namespace position {

class BeaconStation : public QObject {
    Q_OBJECT
public:
    /// The HF step of a beacon: frame the information behind the HF callsign and the tocall
    /// of the selected mode and send it at once. Called only in the modes that beacon on HF.
    using HfBeaconSend = std::function<void(const QByteArray& info)>;

    /// `gps` is the GPS receiver's input (its latest checked sentence). Its timers:
    /// `beaconScheduleTimer` (60 s; whether it runs is whether beacons are on),
    /// `beaconCountdownTimer` (1 s) and `startupBeaconTimer` (2 s, once).
    BeaconStation(station::StationState& state, station::Waits& waits, station::StationLinks& links,
                  const GpsInput& gps, QObject* parent = nullptr);

    /// The countdown runs (the window's opening).
    void startCountdown() { m_countdownTimer.start(); }
    /// The start-up beacon is due 2 s from now.
    void startStartupBeacon() { m_startupTimer.start(); }
    /// Beacons on: the schedule runs from now with its 60 s minute.
    void startSchedule();
    /// Beacons off.
    void stopSchedule() { m_scheduleTimer.stop(); }
    /// Stops every timer (the window's closing).
    void stopTimers();
    QTimer& scheduleTimer() { return m_scheduleTimer; }
    QTimer& countdownTimer() { return m_countdownTimer; }
    QTimer& startupBeaconTimer() { return m_startupTimer; }

    void setHfSend(HfBeaconSend send) { m_hfSend = std::move(send); }

    /// The "Fixed Beacon or Status Text" field as typed (`beaconTextField`).
    void setBeaconText(const QByteArray& text) { m_beaconText = text; }
    const QByteArray& beaconText() const { return m_beaconText; }

    /// Seconds to the next beacon as shown; informs only, sending follows the minute counter.
    double countdown() const { return m_countdown; }
    /// Minutes since the last scheduled beacon.
    int minuteCounter() const { return m_minutes; }
    /// The countdown back to the full interval of the beacon rate.
    void reloadCountdown();

    /// `beaconScheduleTimer`: one more minute; at the rate's interval the counter restarts and one beacon
    /// goes out by the beacon choice.
    void beaconMinuteTick();
    /// `beaconCountdownTimer`: the countdown steps down one second; label, button and title are shown.
    void beaconCountdownTick();
    /// The beacon on/off button: stops a running schedule, or starts it and reloads the
    /// countdown. The minute counter is left alone either way.
    void beaconButtonClicked();

    /// The beacon choice: the position beacon when the beacon type is "GPS" and a sentence
    /// has been received, the fixed beacon otherwise.
    void sendBeacon();
    /// The fixed beacon: the text cleaned of "~", "{" and "|" (and written back to the
    /// field), then on every bearer that is set up.
    void sendFixedBeacon();
    /// The position beacon from the latest sentence; without a sentence, or without a fix,
    /// the fixed beacon goes out instead.
    void sendGpsBeacon();

signals:
    /// The beacon text without "~", "{" and "|", for the field.
    void beaconTextCleaned(const QByteArray& text);
    /// The countdown label (`beaconCountdownLabel`).
    void countdownTextChanged(const QString& text);
    /// The beacon on/off button (`beaconButton`).
    void beaconButtonChanged(const QString& caption, position::StatusColour colour);
    /// The title label (`titleLabel`): normal, or red while remote control holds HF transmission.
    void titleChanged(const QString& text, position::StatusColour colour);
    /// The TNC port's second modem-control line follows the remote transmit switch; the owner
    /// of the port applies it when the port is open.
    void tncSecondLineRequested(bool on);
    /// `sendGpsBeacon` found a fix (`gpsStatusLabel` "GPS fix OK:" green) or none ("No GPS fix:"
    /// and the beacon-type buttons as for a sentence without a fix).
    void gpsFixChecked(bool fix);
    /// The beacon line (without line ends) could not go to APRS-IS: the link is down.
    void aprsIsBeaconNotSent(const QByteArray& line);
    /// The start-up beacon is due: the window presses "Send Beacon" once.
    void startupBeaconDue();

private:
    void sendOnBearers(const QByteArray& info);
    void sendToTextTnc(const QByteArray& line);

    station::StationState& m_state;
    station::Waits& m_waits;
    station::StationLinks& m_links;
    const GpsInput& m_gps;
    QTimer m_scheduleTimer;  // beaconScheduleTimer
    QTimer m_countdownTimer; // beaconCountdownTimer
    QTimer m_startupTimer;   // startupBeaconTimer
    HfBeaconSend m_hfSend;
    QByteArray m_beaconText;
    double m_countdown = 0.0;
    int m_minutes = 0;
};

} // namespace position
