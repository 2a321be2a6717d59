#include "hf/modem_control.h"

#include "hf/mode_table.h"

#include "hf/modem/air_time.h"
#include "platform/clock.h"
#include "station/status_colours.h"
#include "station/waits.h"

#include <algorithm>
#include <cmath>

namespace hf {

ModemControl::ModemControl(Modem& modem, station::StationState& state, station::Waits& waits,
                           station::StationLinks& links, QObject* parent)
    : QObject(parent), m_modem(modem), m_state(state), m_waits(waits), m_links(links), m_watchdog(this),
      m_tuneEnd(this), m_retuneTimer(this)
{
    platform::Clock::setUpTimer(m_watchdog, QStringLiteral("transmitWatchdogTimer"), kWatchdogMs);
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &ModemControl::transmitWatchdogExpired);
    platform::Clock::setUpTimer(m_tuneEnd, QStringLiteral("tuneEndTimer"), 5000);
    connect(&m_tuneEnd, &QTimer::timeout, this, &ModemControl::endTune);
    platform::Clock::setUpTimer(m_retuneTimer, QStringLiteral("modemRetuneTimer"), 2000);
    connect(&m_retuneTimer, &QTimer::timeout, this, &ModemControl::retuneModem);
    connect(&m_modem, &Modem::periodic, this, &ModemControl::onPeriodic);
    connect(&m_modem, &Modem::transmitStateChanged, this, &ModemControl::onTransmitState);
    connect(&m_modem, &Modem::levelEvent, this, &ModemControl::applySquelchLevel);
    m_remembered = carrierHz();
}

int ModemControl::carrierHz() const
{
    return roundHalfEven(m_state.pskAudioFrequency);
}

void ModemControl::startUp()
{
    // The start-up page stores the receive list entry itself (entry i -> i) but the transmit
    // entry plus one (entry i -> i + 1, 0 = none chosen, so the system default).
    const int rx = m_state.rxSoundCard >= 0 ? m_state.rxSoundCard : -1;
    const int tx = m_state.txSoundCard > 0 ? m_state.txSoundCard - 1 : -1;
    m_modem.setRunning(m_state.sampleSpeedCode != 0);
    m_modem.setSoundDevices(QByteArray::number(rx) + "," + QByteArray::number(tx));
    m_modem.setInputChannel(
        m_state.inputChannelCode >= 0 && m_state.inputChannelCode <= 2 ? m_state.inputChannelCode : 0);
    for (int ch = 0; ch < Modem::kChannelCount; ++ch)
        m_modem.setChannelEnabled(ch, true);
    m_modem.setSampleRate(m_state.sampleSpeedCode == 1 ? 11025 : 48000);
    for (int ch = 0; ch < Modem::kChannelCount; ++ch) {
        const ChannelPlanEntry p = channelPlan(ch);
        if (!p.mode.isEmpty())
            m_modem.setChannelMode(ch, p.mode);
        m_modem.setChannelRate(ch, p.rate);
        m_modem.setChannelSquelch(ch, p.squelch);
    }
    if (m_state.choices.lsbTxMode)
        setLsbTxMode(true);
    m_remembered = carrierHz();
    m_modem.setCarrierFrequency(carrierHz());
    // Every channel on its carrier at once rather than at the first periodic event: until then
    // the channels would listen at the modem's default carrier.
    m_modem.setChannelCarrier(0, carrierHz());
    applyCarrierPlan();
    const int ptt = m_state.hfPttPort;
    m_modem.setPttPort(ptt >= 1 && ptt <= 8 ? "COM" + QByteArray::number(ptt) : QByteArray("NONE"));
    m_watchdog.start();
}

void ModemControl::stopTimers()
{
    for (QTimer* t : {&m_watchdog, &m_tuneEnd, &m_retuneTimer})
        t->stop();
}

void ModemControl::stopTransmitter()
{
    m_modem.setEndAfterQueue(true);
    m_modem.setTransmitter(false);
}

void ModemControl::switchOff()
{
    m_watchdog.stop();
    m_tuneEnd.stop();
    m_modem.setEndAfterQueue(true);
    m_modem.setRunning(false);
}

void ModemControl::selectTransmitMode(station::TransmitMode mode)
{
    const auto s = selectionSetting(mode, m_state.choices.lsbTxMode);
    if (!s)
        return;
    if (s->squelch)
        m_modem.setChannelSquelch(0, *s->squelch);
    m_modem.setChannelMode(0, s->mode);
    m_modem.setChannelRate(0, s->rate);
}

void ModemControl::setLsbTxMode(bool lsb)
{
    emit mfskCaption(lsb ? QStringLiteral("MFSK16 LSB") : QStringLiteral("MFSK16 USB"));
    for (int ch : kMfskChannels)
        m_modem.setChannelMode(ch, mfskMode(lsb));
}

void ModemControl::setNotchEnabled(bool on)
{
    m_modem.setNotch(on ? m_notchHz : 0);
}

void ModemControl::waterfallClicked(double hz)
{
    m_notchHz = roundHalfEven(hz);
    if (m_state.choices.notch)
        m_modem.setNotch(m_notchHz);
}

void ModemControl::applySquelchLevel(int level)
{
    const int base = roundHalfEven(level / 4.0);
    for (int ch = 0; ch < Modem::kChannelCount; ++ch)
        m_modem.setChannelSquelch(ch, base + squelchOffset(ch));
}

void ModemControl::applyCarrierPlan()
{
    const int f = carrierHz();
    if (m_modem.channelState(1) == 0) {
        m_remembered = f;
        m_modem.setChannelCarrier(1, m_remembered);
    }
    const int one = m_modem.channelCarrier(1);
    for (int ch = 0; ch < Modem::kChannelCount; ++ch) {
        const CarrierPlanEntry p = carrierPlan(ch);
        switch (p.rule) {
        case CarrierRule::Always:
            m_modem.setChannelCarrier(ch, f + p.offsetHz);
            break;
        case CarrierRule::Reparked:
            if (m_modem.channelState(ch) == 0)
                m_modem.setChannelCarrier(ch, f + p.offsetHz);
            break;
        case CarrierRule::FollowsOne:
            m_modem.setChannelCarrier(ch, one);
            break;
        case CarrierRule::ChannelOne:
            break;
        }
    }
}

void ModemControl::onPeriodic(const Spectrum& spectrum)
{
    emit spectrumReady(spectrum);
    emit signalLevelChanged(m_modem.signalLevel());
    m_modem.setChannelCarrier(0, carrierHz());
    applyCarrierPlan();
    using station::TransmitMode;
    for (TransmitMode mode :
         {TransmitMode::Mfsk16, TransmitMode::Psk63, TransmitMode::Qpsk125, TransmitMode::Psk250,
          TransmitMode::Qpsk250, TransmitMode::Gmsk63, TransmitMode::Ax25Mfsk, TransmitMode::Gmsk250})
        emit optionColour(mode, m_modem.channelState(indicatorChannel(mode)) != 0
                                    ? station::colours::Green
                                    : station::colours::LightGrey);
    const int st = m_modem.state();
    emit beaconButtonState(st == Modem::kStateIdle ? station::colours::LightGrey : station::colours::Green,
                           st == Modem::kStateTransmitting);
}

void ModemControl::retuneModem()
{
    m_modem.setChannelCarrier(0, carrierHz());
}

void ModemControl::onTransmitState(bool transmitting)
{
    m_watchdog.stop();
    if (!transmitting)
        m_queuedAirMs = 0;
    armWatchdog();
    if (transmitting)
        m_watchdog.start();
}

void ModemControl::transmitWatchdogExpired()
{
    if (m_modem.state() != Modem::kStateIdle)
        m_modem.setTransmitter(false);
    m_watchdog.stop();
    m_queuedAirMs = 0;
    armWatchdog();
}

void ModemControl::frameQueued(const QByteArray& mode, double rate, const QByteArray& frame)
{
    const auto config = modem::modeFromChannel(mode.toStdString(), rate);
    if (!config)
        return;
    const double seconds = modem::airTimeSeconds(
        *config, std::string_view(frame.constData(), static_cast<std::size_t>(frame.size())));
    m_queuedAirMs += static_cast<qint64>(std::ceil(seconds * 1000.0));
    const bool running = m_watchdog.isActive();
    armWatchdog();
    if (running)
        m_watchdog.start(); // restarts with the longer interval
}

qint64 ModemControl::watchdogMs() const
{
    return std::max(kWatchdogMs, m_queuedAirMs + kWatchdogMarginMs);
}

void ModemControl::armWatchdog()
{
    platform::Clock::setDesignInterval(m_watchdog, static_cast<double>(watchdogMs()));
}

void ModemControl::carriersToF()
{
    m_modem.setCarrierFrequency(carrierHz());
    m_modem.setChannelCarrier(0, carrierHz());
}

void ModemControl::tuneClicked()
{
    if (m_state.choices.transmitMode == station::TransmitMode::Tnc)
        return;
    if (m_tuning) { // a click while tuning stops it at once
        ++m_tuneGeneration;
        m_tuning = false;
        m_modem.setTransmitter(false);
        m_tuneEnd.stop();
        releasePtt();
        emit tuneButtonColour(station::colours::LightGrey);
        carriersToF();
        emit sendBeaconEnabled(true);
        return;
    }
    m_tuning = true;
    const unsigned generation = ++m_tuneGeneration;
    const auto abandoned = [this, generation] {
        return m_state.shuttingDown || generation != m_tuneGeneration;
    };
    m_modem.setChannelCarrier(0, carrierHz());
    m_waits.waitSeconds(1.0);
    if (abandoned())
        return;
    m_modem.setCarrierFrequency(carrierHz());
    emit tuneButtonColour(station::colours::Yellow);
    emit sendBeaconEnabled(false);
    if (!m_state.choices.priorityTx)
        m_waits.waitWhile([this, &abandoned] { return !abandoned() && m_modem.channelState(1) != 0; });
    if (abandoned())
        return;
    emit tuneButtonColour(station::colours::Green);
    if (m_links.local)
        m_links.local->announcePttOn();
    m_pttKeyed = true;
    // While remote control holds the transmitter off, not even the tune carrier goes out.
    if (m_state.igateTransmitEnabled)
        m_modem.sendTune(4);
    m_tuneEnd.start();
}

void ModemControl::releasePtt()
{
    // The PTT notice is keyed when the carrier starts, so every tune is framed by a pair.
    if (!m_pttKeyed)
        return;
    m_pttKeyed = false;
    if (m_links.local)
        m_links.local->announcePttOff();
}

void ModemControl::endTune()
{
    ++m_tuneGeneration;
    m_tuning = false;
    m_modem.setTransmitter(false);
    releasePtt();
    m_tuneEnd.stop();
    emit sendBeaconEnabled(true);
    emit tuneButtonColour(station::colours::LightGrey);
    carriersToF();
}

} // namespace hf
