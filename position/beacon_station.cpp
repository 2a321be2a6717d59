#include "position/beacon_station.h"

#include "platform/clock.h"

#include "position/beacon_forms.h"
#include "position/gps_icon.h"
#include "position/gps_position.h"

#include "messaging/message_composer.h"
#include "station/program_titles.h"
#include "station/station_state.h"
#include "station/waits.h"

namespace position {

using station::TransmitMode;

namespace {
/// The seven HF modes whose beacon frame goes out at once.
bool beaconsOnHfAtOnce(TransmitMode mode)
{
    return station::isHfMode(mode) && mode != TransmitMode::Ax25Mfsk;
}

/// The AX.25 modes that also beacon on HF, after the VHF side has had its turn.
bool beaconsOnHfLater(TransmitMode mode)
{
    return mode == TransmitMode::Ax25Psk63 || mode == TransmitMode::Ax25Gmsk ||
           mode == TransmitMode::Ax25Mfsk;
}

/// The schedule's tick: one minute.
constexpr int kMinuteMs = 60000;
/// Seconds the AX.25 modes leave between the VHF beacon and the HF one, in 1 s waits.
constexpr int kHfAfterVhfSeconds = 10;
} // namespace

BeaconStation::BeaconStation(station::StationState& state, station::Waits& waits,
                             station::StationLinks& links, const GpsInput& gps, QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits), m_links(links), m_gps(gps), m_scheduleTimer(this),
      m_countdownTimer(this), m_startupTimer(this)
{
    platform::Clock::setUpTimer(m_scheduleTimer, QStringLiteral("beaconScheduleTimer"), kMinuteMs);
    connect(&m_scheduleTimer, &QTimer::timeout, this, &BeaconStation::beaconMinuteTick);
    platform::Clock::setUpTimer(m_countdownTimer, QStringLiteral("beaconCountdownTimer"), 1000);
    connect(&m_countdownTimer, &QTimer::timeout, this, &BeaconStation::beaconCountdownTick);
    platform::Clock::setUpTimer(m_startupTimer, QStringLiteral("startupBeaconTimer"), 2000);
    connect(&m_startupTimer, &QTimer::timeout, this, [this] {
        m_startupTimer.stop();
        emit startupBeaconDue();
    });
    reloadCountdown();
}

void BeaconStation::startSchedule()
{
    platform::Clock::setDesignInterval(m_scheduleTimer, kMinuteMs); // the beacon interval set again
    m_scheduleTimer.start();
}

void BeaconStation::stopTimers()
{
    for (QTimer* t : {&m_scheduleTimer, &m_countdownTimer, &m_startupTimer})
        t->stop();
}

void BeaconStation::reloadCountdown()
{
    m_countdown = station::beaconIntervalSeconds(m_state.beaconRateCode);
}

void BeaconStation::beaconMinuteTick()
{
    const int interval = station::beaconIntervalSeconds(m_state.beaconRateCode) / 60;
    ++m_minutes;
    if (m_minutes < interval)
        return;
    m_minutes = 0;
    sendBeacon();
}

void BeaconStation::beaconCountdownTick()
{
    m_countdown = m_countdown - 1.0 < 0.0 ? 0.0 : m_countdown - 1.0;
    if (m_scheduleTimer.isActive())
        emit countdownTextChanged(QString::fromLatin1(countdownLabelText(m_countdown)));
    else
        emit countdownTextChanged(QString::fromLatin1(kBeaconOff));

    const bool txOn = m_state.igateTransmitEnabled;
    if (!txOn)
        emit beaconButtonChanged(QString::fromLatin1(kBeaconOff), StatusColour::Red);
    else if (m_scheduleTimer.isActive())
        emit beaconButtonChanged(QString::fromLatin1(kBeaconOn), StatusColour::Green);
    else
        emit beaconButtonChanged(QString::fromLatin1(kBeaconOff), StatusColour::Grey);
    emit titleChanged(
        QString::fromLatin1(txOn ? station::titles::kProgramTitle : station::titles::kRemoteTxOffTitle),
        txOn ? StatusColour::Grey : StatusColour::Red);
    emit tncSecondLineRequested(txOn);
}

void BeaconStation::beaconButtonClicked()
{
    if (m_scheduleTimer.isActive()) {
        m_scheduleTimer.stop();
        emit beaconButtonChanged(QString::fromLatin1(kBeaconOff), StatusColour::Grey);
        return;
    }
    emit beaconButtonChanged(QString::fromLatin1(kBeaconOn), StatusColour::Green);
    m_scheduleTimer.start();
    reloadCountdown();
}

void BeaconStation::sendBeacon()
{
    if (m_state.gpsBeacon && m_gps.latest())
        sendGpsBeacon();
    else
        sendFixedBeacon();
}

void BeaconStation::sendFixedBeacon()
{
    reloadCountdown();
    const QByteArray text = messaging::cleanMessageText(m_beaconText);
    if (text != m_beaconText) {
        m_beaconText = text;
        emit beaconTextCleaned(text);
    }
    sendOnBearers(text);
}

void BeaconStation::sendGpsBeacon()
{
    const std::optional<RmcSentence>& sentence = m_gps.latest();
    if (!sentence) {
        sendFixedBeacon();
        return;
    }
    reloadCountdown();
    GpsIcon icon;
    if (!m_state.gpsIconTable.isEmpty())
        icon.table = m_state.gpsIconTable[0];
    if (!m_state.gpsIconSymbol.isEmpty())
        icon.code = m_state.gpsIconSymbol[0];
    // The comment goes out in the HF frame too, where "~" would end the body early and spoil
    // the check for every receiver.
    const std::optional<QByteArray> info =
        gpsPositionInfo(*sentence, icon, messaging::cleanMessageText(m_state.gpsBeaconText));
    emit gpsFixChecked(info.has_value());
    if (!info) {
        sendFixedBeacon();
        return;
    }
    sendOnBearers(*info);
}

void BeaconStation::sendOnBearers(const QByteArray& info)
{
    const station::WindowChoices& choices = m_state.choices;
    const TransmitMode mode = choices.transmitMode;

    // HF in the seven message modes: at once.
    if (beaconsOnHfAtOnce(mode) && m_hfSend)
        m_hfSend(info);

    // VHF by KISS: the link decides where the frame goes (KISS over TCP, the serial TNC).
    if (m_links.tnc && (station::isAx25Mode(mode) || m_state.kissSerial))
        m_links.tnc->sendKissFrame(kBeaconTocall, m_state.myCall,
                                   kissBeaconPath(choices.digipeatMe, choices.digiPath), info);

    // A text-mode TNC in converse mode sends each line it is given.
    if (m_links.tnc && m_links.tnc->isTextModeTnc() && !m_state.kissSerial)
        sendToTextTnc(textTncBeaconLine(info));

    if (mode == TransmitMode::AprsIs) {
        const QByteArray line = aprsIsBeaconLine(m_state.aprsIsCall, info);
        if (m_links.aprsIs && m_links.aprsIs->isConnected())
            m_links.aprsIs->sendToAprsIs(line);
        else
            emit aprsIsBeaconNotSent(line.trimmed());
    }

    // The AX.25 modes that also reach the modem send there last, once the VHF side is done.
    if (beaconsOnHfLater(mode)) {
        for (int i = 0; i < kHfAfterVhfSeconds && !m_state.shuttingDown; ++i)
            m_waits.waitSeconds(1.0);
        if (!m_state.shuttingDown && m_hfSend)
            m_hfSend(info);
    }
    if (m_links.tnc)
        m_links.tnc->clearMessageHeading();
}

void BeaconStation::sendToTextTnc(const QByteArray& line)
{
    if (!m_waits.waitForTransmitter())
        return;
    if (m_state.choices.operatingMode != station::OperatingMode::TncCommand) {
        m_waits.waitSeconds(1.0);
        // Another sender may have taken the port during the pause: its hold must not be
        // cleared from under it.
        if (!m_waits.waitForTransmitter())
            return;
    }
    m_state.transmitBusy = true;
    m_links.tnc->writeTnc(line);
    m_state.transmitBusy = false;
}

} // namespace position
