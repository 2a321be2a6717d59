#include "station/status_colours.h"
#include "messaging/message_sender.h"

#include "messaging/ack_rules.h"
#include "messaging/display_text.h"
#include "messaging/received_message.h"

#include "platform/clock.h"
#include "records/log_file.h"
#include "records/log_record.h"
#include "station/station_state.h"
#include "station/waits.h"

#include <QTimer>

namespace messaging {

namespace {
using namespace station::colours;

const QByteArray CrLf("\r\n");

/// One step of a retry schedule: an acknowledgement check, a wait of whole seconds, a resend.
struct Step {
    enum Kind { Check, Wait, Resend } kind;
    int seconds = 0;
};
constexpr Step C{Step::Check, 0};
constexpr Step R{Step::Resend, 0};
constexpr Step W(int s)
{
    return Step{Step::Wait, s};
}

// Three transmissions in all: the send, then two resends, the last about 30 s (VHF) or 35 s
// (APRS-IS) after the first.
constexpr Step VhfSchedule[] = {C, W(4), C, W(5), C, R, W(5), C, W(5), C, W(5), C, W(5), C, R};
constexpr Step AprsIsSchedule[] = {C, W(5), C, W(5), C, R, W(5), C, W(5), C, W(10), C, W(5), C, R};
} // namespace

MessageSender::MessageSender(station::StationState& state, station::Waits& waits,
                             station::StationLinks& links, QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits), m_links(links), m_flashTimer(this)
{
    platform::Clock::setUpTimer(m_flashTimer, QStringLiteral("messageFlashTimer"), 500);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] {
        flashMessagesDisplay();
        emit flashTicked();
    });
}

void MessageSender::startFlashing()
{
    m_flashTimer.start();
    emit flashingStarted();
}

OperatingMode MessageSender::operatingMode() const
{
    switch (m_state.choices.operatingMode) {
    case station::OperatingMode::TncCommand:
        return OperatingMode::TncCommand;
    case station::OperatingMode::PacketConverse:
        return OperatingMode::PacketConverse;
    case station::OperatingMode::Raynet:
        return OperatingMode::Raynet;
    case station::OperatingMode::AprsMessaging:
    case station::OperatingMode::None: // nothing chosen yet: an APRS message
        break;
    }
    return OperatingMode::AprsMessaging;
}

void MessageSender::appendMessagesText(const QByteArray& head)
{
    appendDisplayText(m_state.messagesText, head);
    emit messagesTextChanged();
}

void MessageSender::restartPortWatch()
{
    if (m_state.tncPort > 0 || m_state.gpsPort > 0)
        emit portWatch(true);
}

void MessageSender::writeTransmitLog(const QByteArray& addressee, const QByteArray& text)
{
    records::LogFile::transmitLog(m_state.stationDir)
        .append({records::logTimeStamp(m_now()), addressee, text});
}

void MessageSender::noteNotSentToAprsIs(const QByteArray& addressee, const QByteArray& line)
{
    const QByteArray note = "Not sent, no APRS-IS connection: " + line;
    appendMessagesText(" " + note + CrLf);
    writeTransmitLog(addressee, note + '\r');
}

void MessageSender::sendToAprsIs(const QByteArray& addressee, const QByteArray& line)
{
    if (m_links.aprsIs && m_links.aprsIs->isConnected())
        m_links.aprsIs->sendToAprsIs(line + CrLf);
    else
        noteNotSentToAprsIs(addressee, line);
}

void MessageSender::send(const SendFields& fields)
{
    if (m_retryRunning)
        return; // a second send would nest its retry waits inside the first one's
    m_state.sendInProgress = true;
    emit controlEnabled(SendControl::SendButton, false);
    emit portWatch(false);
    emit controlColour(SendControl::SendButton, Green);

    const station::TransmitMode mode = m_state.choices.transmitMode;
    if (station::sendsMessagesOnHf(mode)) {
        if (m_hfSend)
            m_hfSend(fields);
    } else if (mode == station::TransmitMode::AprsIs) {
        transmitOnAprsIs(fields);
    } else {
        vhfSend(fields);
    }
    m_state.sendInProgress = false;
}

void MessageSender::transmitVhf(const QByteArray& destination, const QByteArray& payload)
{
    if (!m_links.tnc)
        return;
    if (m_links.tnc->isTextModeTnc())
        m_links.tnc->writeTnc(payload);
    m_links.tnc->sendKissFrame(destination, m_state.myCall,
                               m_state.choices.digipeatMe ? m_state.choices.digiPath : QByteArray(), payload);
}

void MessageSender::vhfSend(const SendFields& fields)
{
    const OperatingMode mode = operatingMode();
    const bool normal = m_state.choices.acksNormal;
    m_state.sendInProgress = false;
    m_state.ackReceived = false;
    const QByteArray text = cleanMessageText(fields.text);
    emit messageTextCleaned(text);

    m_state.messageNumber = nextMessageNumber(static_cast<qint16>(m_state.messageNumber));
    const QByteArray payload =
        composeVhfPayload(mode, fields.addressee, text, fields.raynet,
                          normal ? std::optional<int>(m_state.messageNumber) : std::nullopt);
    if (mode != OperatingMode::TncCommand)
        appendMessagesText(vhfSendHead(m_state.myCall, payload));
    m_vhfFrameText = payload;

    m_waits.waitForTransmitter();
    if (mode != OperatingMode::TncCommand)
        m_waits.waitSeconds(1.0);
    if (!m_state.shuttingDown) {
        m_state.transmitBusy = true;
        if (m_links.tnc) {
            if (fields.tncOptionEnabled && m_links.tnc->isTextModeTnc())
                m_links.tnc->writeTnc(m_vhfFrameText);
            if (fields.tncOptionEnabled || fields.ax25OptionEnabled)
                m_links.tnc->sendKissFrame(
                    "APSK20", m_state.myCall,
                    m_state.choices.digipeatMe ? m_state.choices.digiPath : QByteArray(), m_vhfFrameText);
        }
        m_state.transmitBusy = false;
    }

    if (const auto logText = transmitLogText(mode, text, fields.raynet))
        writeTransmitLog(fields.addressee, *logText);

    const bool messaging = mode == OperatingMode::AprsMessaging || mode == OperatingMode::Raynet;
    if (normal && messaging) {
        emit controlEnabled(SendControl::SendButton, false);
        emit controlEnabled(SendControl::MessageBox, false);
        emit controlEnabled(SendControl::DataBoxes, false);
    }
    if (mode == OperatingMode::Raynet) {
        emit controlEnabled(SendControl::MessageBox, false);
        emit controlEnabled(SendControl::DataBoxes, false);
    }
    if (normal) {
        emit controlColour(SendControl::MessageBox, White);
        emit controlColour(SendControl::DataBoxes, White);
    }
    if (mode == OperatingMode::TncCommand || mode == OperatingMode::PacketConverse) {
        emit controlColour(SendControl::MessageBox, Yellow);
        emit controlColour(SendControl::DataBoxes, Yellow);
    }
    if (!normal)
        emit controlEnabled(SendControl::DataBoxes, true);
    if (fields.packetConverseEnabled)
        emit controlEnabled(SendControl::MessageBox, true);

    if (messaging)
        runRetries(Bearer::Vhf);

    emit controlColour(SendControl::SendButton, Grey);
    emit focusMessageBox();
    restartPortWatch();
}

void MessageSender::transmitOnAprsIs(const SendFields& fields)
{
    const OperatingMode mode = operatingMode();
    const bool normal = m_state.choices.acksNormal;
    // A "Cancel send" pressed while nothing waited must not stop this message at its first check.
    m_state.ackReceived = false;
    const QByteArray text = cleanMessageText(fields.text);
    m_state.messageNumber = nextMessageNumber(static_cast<qint16>(m_state.messageNumber));
    const std::optional<int> number = normal ? std::optional<int>(m_state.messageNumber) : std::nullopt;
    const QByteArray line =
        composeAprsIsLine(m_state.aprsIsCall, mode, fields.addressee, text, fields.raynet, number);
    if (line.isEmpty())
        return; // "TNC Command" and "Packet Converse" have nothing to put on APRS-IS

    const QByteArray shown = mode == OperatingMode::Raynet ? raynetText(fields.raynet) : text;
    appendMessagesText(aprsIsSendHead(m_state.aprsIsCall, fields.addressee, shown, number));

    m_pendingIsLine = line;
    m_pendingIsAddressee = fields.addressee;
    const bool linkUp = m_links.aprsIs && m_links.aprsIs->isConnected();
    if (linkUp)
        m_links.aprsIs->sendToAprsIs(line + CrLf);
    if (m_links.receiveLog)
        m_links.receiveLog->logReceivedMessage(m_state.aprsIsCall, line);

    if (!m_state.groupCall.isEmpty() && line.contains(m_state.groupCall)) {
        const QByteArray entry = groupListEntry("", line, true);
        if (!entry.isEmpty())
            appendDisplayText(m_state.groupList, entry);
        if (m_links.tnc)
            m_links.tnc->clearMessageHeading();
    }
    if (const auto logText = transmitLogText(mode, text, fields.raynet))
        writeTransmitLog(fields.addressee, *logText);
    if (!linkUp)
        noteNotSentToAprsIs(fields.addressee, line);

    emit controlColour(normal ? SendControl::MessageBox : SendControl::DataBoxes, White);
    runRetries(Bearer::AprsIs);
    emit focusMessageBox();
    emit controlColour(SendControl::SendButton, Grey);
    emit controlColour(SendControl::CancelButton, Grey);
    emit controlColour(SendControl::MessageBox, Yellow);
    emit controlColour(SendControl::DataBoxes, Yellow);
}

void MessageSender::enableBoxes()
{
    emit controlEnabled(SendControl::MessageBox, true);
    emit controlEnabled(SendControl::DataBoxes, true);
    emit controlEnabled(SendControl::SendButton, true);
    emit controlColour(SendControl::MessageBox, Yellow);
    emit controlColour(SendControl::DataBoxes, Yellow);
}

bool MessageSender::ackCheck(Bearer bearer)
{
    if (messaging::ackMatches(m_state.lastAckNumber, m_state.messageNumber))
        m_state.ackReceived = true;
    if (!m_state.ackReceived)
        return false;
    enableBoxes();
    emit controlColour(SendControl::SendButton, Grey);
    emit controlColour(SendControl::CancelButton, Grey);
    m_state.transmitBusy = false;
    if (bearer == Bearer::AprsIs)
        m_waits.waitSeconds(0.5);
    if (!m_state.shuttingDown) {
        startFlashing();
        m_state.ackReceived = false;
        emit focusMessageBox();
    }
    return true;
}

void MessageSender::resend(Bearer bearer)
{
    if (m_state.shuttingDown)
        return;
    if (bearer == Bearer::Vhf) {
        m_waits.waitForTransmitter();
        m_waits.waitSeconds(1.0);
        if (m_state.shuttingDown)
            return;
        m_state.transmitBusy = true;
        transmitVhf("APSK63", m_vhfFrameText);
        m_state.transmitBusy = false;
        return;
    }
    m_waits.waitSeconds(0.2);
    if (!m_state.shuttingDown)
        sendToAprsIs(m_pendingIsAddressee, m_pendingIsLine);
}

void MessageSender::runRetries(Bearer bearer)
{
    if (!m_state.choices.acksNormal) {
        m_state.ackReceived = false;
        return;
    }
    m_retryRunning = true;
    if (bearer == Bearer::AprsIs)
        m_state.transmitBusy = true; // other transmissions wait while APRS-IS retries run
    const auto run = [&](const auto& schedule) {
        for (const Step& step : schedule) {
            switch (step.kind) {
            case Step::Check:
                if (ackCheck(bearer))
                    return true;
                break;
            case Step::Wait:
                for (int i = 0; i < step.seconds && !m_state.shuttingDown; ++i)
                    m_waits.retryWaitSeconds(1.0);
                break;
            case Step::Resend:
                resend(bearer);
                break;
            }
        }
        return false;
    };
    const bool acknowledged = bearer == Bearer::Vhf ? run(VhfSchedule) : run(AprsIsSchedule);
    if (!acknowledged)
        endRetries();
    m_retryRunning = false;
}

void MessageSender::endRetries()
{
    m_state.transmitBusy = false;
    enableBoxes();
    m_state.ackReceived = false;
}

void MessageSender::cancelSend()
{
    m_state.ackReceived = true;
    emit controlEnabled(SendControl::MessageBox, true);
    emit controlEnabled(SendControl::DataBoxes, true);
    emit controlColour(SendControl::CancelButton, Green);
    emit controlColour(SendControl::SendButton, Yellow);
    restartPortWatch();
}

void MessageSender::readVhfAck(const QByteArray& receivedText)
{
    if (m_state.myCall.isEmpty())
        return;
    m_state.lastAckNumber = ackNumberFrom(receivedText);
    if (ackMatches(m_state.lastAckNumber, m_state.messageNumber))
        enableBoxes();
}

void MessageSender::readAprsIsAck(const QByteArray& receivedText)
{
    if (m_state.aprsIsCall.isEmpty())
        return;
    m_state.lastAckNumber = ackNumberFrom(receivedText);
    if (ackMatches(m_state.lastAckNumber, m_state.messageNumber))
        enableBoxes();
}

void MessageSender::sendVhfAck(const QByteArray& ackPayload)
{
    if (ackPayload.isEmpty() || m_pendingAcks >= MaxPendingAcks)
        return;
    ++m_pendingAcks;
    QTimer::singleShot(platform::Clock::scaled(1000), this,
                       [this, ackPayload] { sendAckWhenFree(ackPayload, 2); });
}

void MessageSender::sendAckWhenFree(const QByteArray& payload, int remaining)
{
    if (m_state.shuttingDown) {
        --m_pendingAcks;
        return;
    }
    if (m_state.transmitBusy) { // try again shortly, as the busy wait would
        QTimer::singleShot(platform::Clock::scaled(4), this,
                           [this, payload, remaining] { sendAckWhenFree(payload, remaining); });
        return;
    }
    m_state.transmitBusy = true;
    transmitVhf("APSK63", payload);
    m_state.transmitBusy = false;
    if (remaining > 1) {
        // The second transmission follows 4 x 1 s and 1 s more after the first.
        QTimer::singleShot(platform::Clock::scaled(5000), this,
                           [this, payload, remaining] { sendAckWhenFree(payload, remaining - 1); });
        return;
    }
    --m_pendingAcks;
}

void MessageSender::sendAprsIsAck(const QByteArray& ackLine)
{
    if (ackLine.isEmpty() || m_state.aprsIsCall.isEmpty())
        return;
    if (m_links.aprsIs && m_links.aprsIs->isConnected())
        m_links.aprsIs->sendToAprsIs(ackLine + CrLf);
}

void MessageSender::flashMessagesDisplay()
{
    if (!m_state.choices.alert) {
        emit messagesBoxColour(White);
        stopFlashing();
        return;
    }
    if (m_state.transmitBusy) {
        stopFlashing();
        return;
    }
    m_flashGreen = !m_flashGreen;
    emit messagesBoxColour(m_flashGreen ? Green : Yellow);
}

} // namespace messaging
