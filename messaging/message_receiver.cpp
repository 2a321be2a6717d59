#include "station/status_colours.h"
#include "messaging/message_receiver.h"

#include "messaging/display_text.h"
#include "messaging/message_sender.h"
#include "platform/clock.h"

#include "station/station_state.h"

namespace messaging {

namespace {
using namespace station::colours;
} // namespace

MessageReceiver::MessageReceiver(station::StationState& state, station::StationLinks& links,
                                 MessageSender& sender, QObject* parent)
    : QObject(parent), m_state(state), m_links(links), m_sender(sender), m_receiveTimer(this)
{
    platform::Clock::setUpTimer(m_receiveTimer, QStringLiteral("aprsIsReceiveTimer"), 10);
    connect(&m_receiveTimer, &QTimer::timeout, this, &MessageReceiver::classifyAprsIsLines);
}

QByteArray MessageReceiver::timeText() const
{
    return m_now().toLocalTime().time().toString(QStringLiteral("HH:mm:ss")).toLatin1();
}

ReceivedMessage MessageReceiver::classifyAndShow(Bearer bearer, const QByteArray& line,
                                                 const QByteArray& callsign)
{
    const StationIdentity station{callsign, m_state.groupCall, m_state.remoteCall, m_state.remoteTxOnCode,
                                  m_state.remoteTxOffCode};
    const ReceivedMessage m = classifyLine(bearer, line, station, timeText());
    if (m.background == MessagesBackground::White)
        emit messagesBoxColour(White);
    if (m.remote.transmitOn)
        emit remoteIgateOn();
    if (m.remote.transmitOff)
        emit remoteIgateOff();
    if (!m.messageHead.isEmpty()) {
        appendDisplayText(m_state.messagesText, m.messageHead);
        emit messagesTextChanged();
    }
    bool lists = false;
    for (const auto& [entry, list] :
         {std::pair{&m.bulletinEntry, &m_state.bulletinList}, std::pair{&m.nwsEntry, &m_state.nwsList},
          std::pair{&m.groupEntry, &m_state.groupList}}) {
        if (!entry->isEmpty()) {
            appendDisplayText(*list, *entry);
            lists = true;
        }
    }
    if (m.clearGroupList) {
        m_state.groupList.clear();
        lists = true;
    }
    if (lists)
        emit listsChanged();
    if (m.background == MessagesBackground::Yellow)
        emit messagesBoxColour(Yellow);
    if (m.receiveLog && m_links.receiveLog)
        m_links.receiveLog->logReceivedMessage(m.source, line);
    return m;
}

void MessageReceiver::tncLine(const QByteArray& rawLine)
{
    if (m_state.choices.operatingMode == station::OperatingMode::TncCommand)
        return;
    QByteArray line = rawLine;
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    if (line.isEmpty())
        return;
    const ReceivedMessage m = classifyAndShow(Bearer::Tnc, line, m_state.myCall);
    if (m.sendAck)
        m_sender.sendVhfAck(m.ackToSend);
    if (m.isAck)
        m_sender.readVhfAck(m.addressedText);

    QByteArray heard = line.contains('}') ? innerSource(line) : m.source;
    if (heard.isEmpty())
        heard = m.source;
    if (!heard.isEmpty() && heard != m_state.myCall)
        emit tncStationHeard(heard);
}

void MessageReceiver::aprsIsLine(const QByteArray& line)
{
    if (line.isEmpty())
        return;
    const ReceivedMessage m = classifyAndShow(Bearer::AprsIs, line, m_state.aprsIsCall);
    if (m.sendAck)
        m_sender.sendAprsIsAck(m.ackToSend);
    if (m.isAck)
        m_sender.readAprsIsAck(m.addressedText);
}

void MessageReceiver::queueAprsIsLine(const QByteArray& line)
{
    if (m_queue.size() >= MaxQueuedLines)
        m_queue.removeFirst();
    m_queue.append(line);
    m_receiveTimer.start();
}

void MessageReceiver::classifyAprsIsLines()
{
    // Taken first: a wait inside a step (an acknowledgement check) may let new lines arrive.
    const QList<QByteArray> lines = std::exchange(m_queue, {});
    for (const QByteArray& line : lines) {
        if (m_state.shuttingDown)
            break;
        aprsIsLine(line);
    }
    if (m_queue.isEmpty())
        clearAprsIsQueue();
}

void MessageReceiver::clearAprsIsQueue()
{
    m_queue.clear();
    m_receiveTimer.stop();
}

} // namespace messaging
