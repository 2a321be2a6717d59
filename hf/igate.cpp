#include "hf/igate.h"

#include "platform/clock.h"

#include "hf/hf_frame.h"
#include "hf/hf_link.h"
#include "hf/igate_rules.h"

#include "messaging/display_text.h"
#include "messaging/message_composer.h"
#include "messaging/received_message.h"
#include "station/program_titles.h"
#include "station/status_colours.h"
#include "station/waits.h"

namespace hf {

Igate::Igate(station::StationState& state, station::Waits& waits, station::StationLinks& links, HfLink& hf,
             std::function<QByteArrayList()> heardStations, QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits), m_links(links), m_hf(hf), m_gateTick(this),
      m_heardStations(std::move(heardStations))
{
    platform::Clock::setUpTimer(m_gateTick, QStringLiteral("aprsIsToHfTimer"), 100);
    connect(&m_gateTick, &QTimer::timeout, this, &Igate::gateAprsIsLineToHf);
}

QByteArray Igate::igatedSource(const QByteArray& packet)
{
    return messaging::innerSource(packet);
}

void Igate::addIgatedVhfSource(const QByteArray& line)
{
    const QByteArray inner = messaging::innerSource(line);
    if (!inner.isEmpty())
        emit tncStationHeard(inner);
}

void Igate::aprsIsLine(const QByteArray& line)
{
    if (!m_state.choices.internetToHf)
        return;
    const QByteArrayList heard = m_heardStations ? m_heardStations() : QByteArrayList();
    if (!gateToHf(line, heard, m_state.hfCall))
        return;
    if (m_queue.size() >= kMaxQueuedLines) {
        m_queue.removeFirst();
        ++m_dropped;
    }
    m_queue.append(line);
    if (!m_gateTick.isActive())
        m_gateTick.start();
}

void Igate::gateAprsIsLineToHf()
{
    if (m_sending) // a gated transmission is waiting; the next line follows it
        return;
    if (m_queue.isEmpty() || !m_state.choices.internetToHf) {
        m_queue.clear();
        m_gateTick.stop();
        return;
    }
    m_sending = true;
    const QByteArray line = m_queue.takeFirst();
    const auto body = gatedHfBody(line, m_state.hfCall);
    // Gated packets go out in GMSK 250, and only while that option is selected.
    if (body && m_state.choices.transmitMode == station::TransmitMode::Gmsk250 &&
        m_waits.waitForTransmitter()) {
        m_state.transmitBusy = true;
        m_hf.transmitFrame(buildFrame(*body, FrameSender::AprsIsGate),
                           m_state.choices.fiveSecondDelay ? 5.0 : 0.2, gmsk250Setting());
        m_state.transmitBusy = false;
    }
    m_sending = false;
    if (m_queue.isEmpty())
        m_gateTick.stop();
}

void Igate::remoteIgateOn()
{
    remoteIgate(true);
}

void Igate::remoteIgateOff()
{
    remoteIgate(false);
}

void Igate::remoteCommand(bool transmitOn)
{
    remoteIgate(transmitOn);
}

void Igate::remoteIgate(bool on)
{
    m_state.igateTransmitEnabled = on;
    emit titleChanged(
        QString::fromLatin1(on ? station::titles::kProgramTitle : station::titles::kRemoteTxOffTitle),
        on ? station::colours::LightGrey : station::colours::Red);
    m_state.messageNumber = messaging::nextMessageNumber(static_cast<qint16>(m_state.messageNumber));
    const messaging::RemoteConfirmation c =
        messaging::remoteConfirmation(m_state.aprsIsCall, m_state.remoteCall, on, m_state.messageNumber);
    messaging::appendDisplayText(m_state.messagesText, c.head);
    emit messagesChanged();
    if (m_links.aprsIs && m_links.aprsIs->isConnected())
        m_links.aprsIs->sendToAprsIs(c.line + "\r\n");
    if (m_links.receiveLog)
        m_links.receiveLog->logReceivedMessage(m_state.aprsIsCall, c.line);
}

} // namespace hf
