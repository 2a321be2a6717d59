#include "messaging/operating_mode_switch.h"

#include "station/waits.h"

namespace messaging {

using station::OperatingMode;

namespace {
constexpr OperatingMode Modes[] = {OperatingMode::TncCommand, OperatingMode::AprsMessaging,
                                   OperatingMode::PacketConverse, OperatingMode::Raynet};
} // namespace

OperatingModeSwitch::OperatingModeSwitch(station::StationState& state, station::Waits& waits, Tnc tnc,
                                         std::function<bool()> hfModeSelected, QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits), m_tnc(std::move(tnc)),
      m_hfModeSelected(std::move(hfModeSelected))
{
}

bool OperatingModeSwitch::waitForFreeTransmitter()
{
    while (m_state.transmitBusy && !m_state.shuttingDown) {
        m_waits.yieldOnce();
        m_waits.waitSeconds(0.1);
    }
    return !m_state.shuttingDown;
}

void OperatingModeSwitch::select(OperatingMode mode)
{
    if (mode == OperatingMode::TncCommand) {
        emit acksEnabled(false);
        if (waitForFreeTransmitter()) {
            m_state.transmitBusy = true;
            m_tnc.enterCommandMode();
            m_state.transmitBusy = false;
        }
        emit commandModeEntered();
        return;
    }

    emit acksEnabled(mode != OperatingMode::PacketConverse);
    if (!waitForFreeTransmitter())
        return;
    m_state.transmitBusy = true;
    m_tnc.enterCommandMode();
    for (OperatingMode other : Modes)
        if (other != mode)
            emit modeEnabled(other, false);
    m_waits.waitSeconds(1.0);
    if (m_state.shuttingDown) { // the station closed during the pause: nothing more is sent
        m_state.transmitBusy = false;
        return;
    }
    resumeConverse(mode);
}

void OperatingModeSwitch::resumeConverse(OperatingMode mode)
{
    emit modeEnabled(OperatingMode::TncCommand, !m_hfModeSelected());
    for (OperatingMode other : Modes)
        if (other != mode && other != OperatingMode::TncCommand)
            emit modeEnabled(other, true);
    m_tnc.write("conv\r");
    m_state.transmitBusy = false;
    emit converseResumed(!m_state.sendInProgress);
}

} // namespace messaging
