#include "hf/hf_link.h"

#include "hf/hf_frame.h"
#include "hf/igate_rules.h"

#include "messaging/ack_rules.h"
#include "messaging/display_text.h"
#include "packet/packet_line.h"
#include "platform/clock.h"
#include "records/log_file.h"
#include "records/log_record.h"
#include "station/waits.h"

#include <QRandomGenerator>
#include <QTime>
#include <QTimer>

namespace hf {

using station::TransmitMode;

namespace {
messaging::OperatingMode composeMode(station::OperatingMode mode)
{
    switch (mode) {
    case station::OperatingMode::TncCommand:
        return messaging::OperatingMode::TncCommand;
    case station::OperatingMode::PacketConverse:
        return messaging::OperatingMode::PacketConverse;
    case station::OperatingMode::Raynet:
        return messaging::OperatingMode::Raynet;
    case station::OperatingMode::AprsMessaging:
    case station::OperatingMode::None: // an HF-only station may have none selected: messages
        break;
    }
    return messaging::OperatingMode::AprsMessaging;
}
} // namespace

HfLink::HfLink(Modem& modem, station::StationState& state, station::Waits& waits,
               station::StationLinks& links, QObject* parent)
    : QObject(parent), m_modem(modem), m_state(state), m_waits(waits), m_links(links), m_assemblyTimer(this),
      m_receiveTick(this), m_relayTick(this), m_transmitDelayTimer(this),
      m_assembler(platform::Clock::scaled(FrameAssembler::kDefaultDuplicateWindowMs))
{
    const struct {
        QTimer& timer;
        const char* name;
        int designMs;
        void (HfLink::*tick)();
    } timers[] = {{m_assemblyTimer, "hfAssemblyTimer", 10, &HfLink::assembleHfFrames},
                  {m_receiveTick, "hfReceiveTimer", 100, &HfLink::processHfFrame},
                  {m_relayTick, "localToHfRelayTimer", 200, &HfLink::relayLocalLineToHf},
                  {m_transmitDelayTimer, "transmitDelayTimer", 1000, &HfLink::drawTransmitDelay}};
    for (const auto& t : timers) {
        platform::Clock::setUpTimer(t.timer, QLatin1String(t.name), t.designMs);
        connect(&t.timer, &QTimer::timeout, this, t.tick);
    }
    m_clock.start();
    connect(&m_modem, &Modem::textReceived, this, &HfLink::onTextReceived);
    // Assembly looks only at text that came since its last run: one run 10 ms after text
    // arrives, instead of a timer waking every 10 ms through the silence.
    m_assemblyTimer.setSingleShot(true);
    connect(&m_modem, &Modem::textReceived, this, [this] {
        if (!m_assemblyTimer.isActive())
            m_assemblyTimer.start();
    });
}

void HfLink::stopTimers()
{
    for (QTimer* t : {&m_assemblyTimer, &m_receiveTick, &m_relayTick, &m_transmitDelayTimer})
        t->stop();
}

messaging::StationIdentity HfLink::identity() const
{
    return {m_state.hfCall, m_state.groupCall, m_state.remoteCall, m_state.remoteTxOnCode,
            m_state.remoteTxOffCode};
}

// ---------------------------------------------------------------------------------------
// Receive

void HfLink::onTextReceived(int channel, const QByteArray& text)
{
    m_assembler.append(channel, text);
}

void HfLink::assembleHfFrames()
{
    if (!m_assembler.hasPendingText())
        return;
    const QList<AssembledFrame> frames = m_assembler.tick(m_clock.elapsed());
    for (const AssembledFrame& f : frames)
        if (m_frames.size() < kMaxPendingFrames)
            m_frames.append(f);
    if (!m_frames.isEmpty() && !m_receiveTick.isActive())
        m_receiveTick.start();
}

void HfLink::processHfFrame()
{
    // Processing waits (query answers, the 6 s hold, digipeats); ticks meanwhile are skipped.
    if (m_processing)
        return;
    if (m_frames.isEmpty()) {
        m_receiveTick.stop();
        return;
    }
    m_processing = true;
    const AssembledFrame frame = m_frames.takeFirst();
    processFrame(frame);
    m_processing = false;
    if (m_frames.isEmpty())
        m_receiveTick.stop();
}

void HfLink::drawTransmitDelay()
{
    m_replyDelay = static_cast<int>(QRandomGenerator::global()->bounded(12));
}

void HfLink::processFrame(const AssembledFrame& frame)
{
    // 1
    const ParsedFrame parsed = parseFrame(frame.text);
    const QByteArray& body = parsed.body;
    const QByteArray& hfCall = m_state.hfCall;
    // A body holding CR, LF or NUL (a trailing line end aside) is shown and logged escaped,
    // as one record, and goes nowhere else: passed on, its second line would be a packet
    // with a source nobody checked.
    const bool oneLine = packet::isOneLine(body);
    const QByteArray shown =
        oneLine ? packet::withoutLineEnd(body).toByteArray() : packet::escapedControlBytes(body);
    // 2
    if (!m_state.choices.displayCrc || parsed.good) {
        messaging::appendDisplayText(m_traffic, "   " + shown + "\r\n");
        emit trafficTextChanged(m_traffic);
    }
    // 3
    records::LogFile::mheardLog(m_state.stationDir).append({records::logTimeStampNow(), shown});
    if (!oneLine) {
        ++m_multiLineFrames;
        return;
    }
    // 4
    if (m_state.choices.operatingMode != station::OperatingMode::TncCommand && body.contains("cmd:"))
        emit tncCommandReceived(body);
    // A frame whose check failed is shown and logged only: acting on damaged text would
    // acknowledge, answer or repeat something nobody sent.
    if (!parsed.good)
        return;
    // 5, 7: source (with the inner source of a relayed packet) and classification.
    const messaging::ReceivedMessage m = messaging::classifyLine(messaging::Bearer::Hf, body, identity(),
                                                                 QTime::currentTime().toString().toLatin1());
    const QByteArray& source = m.source;
    const bool fromUs = !hfCall.isEmpty() && source.contains(hfCall);
    // 6
    if (!fromUs && !body.contains(">APSK99") && !source.isEmpty())
        emit stationHeard(source);
    // 7
    if (m.remote.transmitOn)
        emit remoteCommand(true);
    if (m.remote.transmitOff)
        emit remoteCommand(false);
    bool listsChanged = false;
    if (!m.messageHead.isEmpty()) {
        messaging::appendDisplayText(m_state.messagesText, m.messageHead);
        listsChanged = true;
    }
    if (!m.bulletinEntry.isEmpty()) {
        messaging::appendDisplayText(m_state.bulletinList, m.bulletinEntry);
        listsChanged = true;
    }
    if (!m.nwsEntry.isEmpty()) {
        messaging::appendDisplayText(m_state.nwsList, m.nwsEntry);
        listsChanged = true;
    }
    if (!m.groupEntry.isEmpty()) {
        messaging::appendDisplayText(m_state.groupList, m.groupEntry);
        listsChanged = true;
    }
    if (m.clearGroupList && !m_state.groupList.isEmpty()) {
        m_state.groupList.clear();
        listsChanged = true;
    }
    if (listsChanged || m.background != messaging::MessagesBackground::Unchanged)
        emit messagesChanged(m.background);
    if (m.receiveLog && m_links.receiveLog)
        m_links.receiveLog->logReceivedMessage(source, m.addressedText);
    if (m.sendAck)
        queueReply(ackFrame(m.ackToSend), 1.0, std::nullopt);
    if (m.isAck)
        readHfAck(m.addressedText);
    // 8
    // The answer follows after the reply delay; receive processing does not wait for it.
    if (!fromUs)
        for (const char* query : {":?APRS", ":?aprs"})
            if (body.contains(query))
                QTimer::singleShot(platform::Clock::scaled(m_replyDelay * 1000.0), this, [this] {
                    if (!m_state.shuttingDown)
                        emit beaconRequested();
                });
    // 9
    if (!m_state.shuttingDown)
        gateHfPacket(body, source, parsed.good);
}

// ---------------------------------------------------------------------------------------
// Transmit

QByteArray HfLink::unproto() const
{
    const auto s = sendSetting(m_state.choices.transmitMode, m_state.choices.lsbTxMode);
    return s ? messaging::hfUnproto(s->tocall, m_state.choices.digipeatMe) : QByteArray();
}

bool HfLink::transmitFrame(const QByteArray& frame, double pauseSeconds, std::optional<ModeSetting> setting)
{
    if (pauseSeconds > 0)
        m_waits.waitSeconds(pauseSeconds);
    if (m_state.shuttingDown)
        return false;
    m_assembler.clearChannels(0, 8);
    if (!m_state.choices.priorityTx) {
        const auto end =
            m_waits.waitWhileFor([this] { return m_modem.channelState(1) != 0; }, kChannelBusyWaitSeconds);
        if (end == station::Waits::WaitEnd::Closing)
            return false;
        if (end == station::Waits::WaitEnd::TimedOut) {
            // A carrier, or a squelch held open by noise, must not stop HF transmission for good.
            ++m_channelBusyTimeouts;
            messaging::appendDisplayText(m_traffic, kChannelBusyNote);
            emit trafficTextChanged(m_traffic);
        }
    }
    if (!setting)
        setting = sendSetting(m_state.choices.transmitMode, m_state.choices.lsbTxMode);
    if (!setting)
        return false;
    m_modem.setChannelMode(0, setting->mode);
    m_modem.setChannelRate(0, setting->rate);
    if (m_links.local)
        m_links.local->announcePttOn();
    if (m_state.igateTransmitEnabled) {
        m_modem.setTransmitter(true);
        m_modem.queueText(frame);
        m_modem.setEndAfterQueue(true);
        emit frameQueued(setting->mode, setting->rate, frame);
    }
    if (m_links.local)
        m_links.local->announcePttOff();
    return true;
}

void HfLink::transmitOnHf(const QByteArray& addressee, const QByteArray& text,
                          const messaging::RaynetFields& raynet)
{
    const messaging::OperatingMode mode = composeMode(m_state.choices.operatingMode);
    m_state.messageNumber = messaging::nextMessageNumber(static_cast<qint16>(m_state.messageNumber));
    std::optional<int> number;
    if (m_state.choices.acksNormal)
        number = m_state.messageNumber;
    const QByteArray body =
        messaging::composeHfBody(m_state.hfCall, unproto(), mode, addressee, text, raynet, number);
    m_pendingFrame = buildFrame(body, FrameSender::Message);
    transmitFrame(m_pendingFrame, 0.2);
    if (m_links.tnc)
        m_links.tnc->clearMessageHeading();
    if (const auto logText = messaging::transmitLogText(mode, text, raynet))
        records::LogFile::transmitLog(m_state.stationDir)
            .append({records::logTimeStampNow(), addressee, *logText});
    if (mode == messaging::OperatingMode::AprsMessaging || mode == messaging::OperatingMode::Raynet)
        retryOnHf();
}

bool HfLink::ackCheck()
{
    if (messaging::ackMatches(m_state.lastAckNumber, m_state.messageNumber))
        m_state.ackReceived = true;
    if (!m_state.ackReceived)
        return false;
    m_state.transmitBusy = false;
    if (!m_state.shuttingDown) {
        m_state.ackReceived = false;
        emit retryFinished(true);
    }
    return true;
}

void HfLink::retryOnHf()
{
    if (!m_state.choices.acksNormal) {
        m_state.ackReceived = false;
        return;
    }
    m_state.transmitBusy = true;
    const auto wait = [this](int seconds) {
        for (int i = 0; i < seconds && !m_state.shuttingDown; ++i)
            m_waits.retryWaitSeconds(1.0);
    };
    const auto resend = [this] {
        if (!m_state.shuttingDown)
            transmitFrame(m_pendingFrame, 0.2);
    };
    // C 14 C 14 C R 14 C 14 C 14 C 14 C R
    const int schedule[] = {14, 14, -1, 14, 14, 14, 14, -1};
    if (ackCheck())
        return;
    for (int step : schedule) {
        if (step < 0) {
            resend();
            continue;
        }
        wait(step);
        if (ackCheck())
            return;
    }
    m_state.transmitBusy = false;
    m_state.ackReceived = false;
    emit retryFinished(false);
}

QByteArray HfLink::ackFrame(const QByteArray& ackPayload) const
{
    const QByteArray up = unproto();
    if (up.isEmpty())
        return {}; // no HF option selected: nothing to send in
    return buildFrame(m_state.hfCall + up + ackPayload, FrameSender::Ack);
}

void HfLink::queueReply(const QByteArray& frame, double pauseSeconds, std::optional<ModeSetting> setting)
{
    if (frame.isEmpty())
        return;
    if (m_replies.size() >= kMaxPendingReplies) {
        m_replies.removeFirst();
        ++m_droppedReplies;
    }
    m_replies.append({frame, pauseSeconds, setting});
    if (!m_sendingReplies)
        QTimer::singleShot(0, this, &HfLink::sendReplies);
}

void HfLink::sendReplies()
{
    if (m_sendingReplies)
        return;
    m_sendingReplies = true;
    // Replies queued while one is being sent go out in the same run, in order.
    while (!m_replies.isEmpty() && !m_state.shuttingDown) {
        const Reply r = m_replies.takeFirst();
        transmitFrame(r.frame, r.pauseSeconds, r.setting);
    }
    m_sendingReplies = false;
}

void HfLink::readHfAck(const QByteArray& addressedText)
{
    if (m_state.hfCall.isEmpty())
        return;
    m_state.lastAckNumber = messaging::ackNumberFrom(addressedText);
    if (messaging::ackMatches(m_state.lastAckNumber, m_state.messageNumber))
        emit ackMatched();
}

void HfLink::digipeatOnHf(const QByteArray& body, const QByteArray& source)
{
    if (!shouldDigipeat(body, source, m_state.hfCall))
        return;
    queueReply(buildFrame(digipeatBody(body, m_state.hfCall), FrameSender::Digipeat), 0.3, gmsk250Setting());
}

void HfLink::gateHfPacket(const QByteArray& body, const QByteArray& source, bool good)
{
    if (hfGateExcluded(body) || !good)
        return;
    if (!m_state.hfCall.isEmpty() && body.contains(m_state.hfCall)) {
        // Held for 6 s; receive processing goes on meanwhile.
        QTimer::singleShot(platform::Clock::scaled(kOwnCallHoldSeconds * 1000.0), this, [this, body, source] {
            if (!m_state.shuttingDown)
                gate(body, source);
        });
        return;
    }
    gate(body, source);
}

void HfLink::gate(const QByteArray& body, const QByteArray& source)
{
    const QByteArrayView packetText = packet::withoutLineEnd(body);
    if (m_links.local && packetText.size() <= packet::kMaxGatedPacketLength)
        m_links.local->sendToLocalProgram(packetText.toByteArray() + "\r\n");
    if (m_links.aprsIs && m_links.aprsIs->isConnected())
        if (const auto line = packet::igateLine(packetText, m_state.aprsIsCall))
            m_links.aprsIs->sendToAprsIs(*line + "\r\n");
    if (m_state.choices.hfDigipeat)
        digipeatOnHf(body, source);
}

void HfLink::sendBeaconFrame(const QByteArray& beaconText)
{
    if (!station::isHfMode(m_state.choices.transmitMode) ||
        m_state.choices.transmitMode == TransmitMode::Ax25Mfsk)
        return;
    const QByteArray frame = buildFrame(m_state.hfCall + unproto() + beaconText, FrameSender::Beacon);
    transmitFrame(frame, 0.0);
}

// ---------------------------------------------------------------------------------------
// Relay of the local program's packets

void HfLink::localProgramLine(const QByteArray& line)
{
    if (m_relayLines.size() >= kMaxRelayLines)
        m_relayLines.removeFirst();
    m_relayLines.append(line);
    if (!m_relayTick.isActive())
        m_relayTick.start();
}

void HfLink::relayLocalLineToHf()
{
    if (m_relaying)
        return;
    if (m_relayLines.isEmpty()) {
        m_relayTick.stop();
        return;
    }
    m_relaying = true;
    const QByteArray line = m_relayLines.takeFirst();
    if (m_state.choices.tcpTx) {
        const auto body = relayBody(line, unproto());
        if (body && !unproto().isEmpty())
            transmitFrame(buildFrame(*body, FrameSender::LocalRelay), 0.2);
    }
    m_relaying = false;
    if (m_relayLines.isEmpty())
        m_relayTick.stop();
}

} // namespace hf
