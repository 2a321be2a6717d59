#include "links/tnc_line_handler.h"

#include "links/tnc_line_rules.h"
#include "packet/packet_line.h"
#include "platform/clock.h"
#include "station/station_links.h"
#include "station/station_state.h"

#include <QDateTime>

namespace links {

TncLineHandler::TncLineHandler(station::StationState& state, station::StationLinks& links, QObject* parent)
    : QObject(parent), m_state(state), m_links(links), m_lineTimer(this)
{
    platform::Clock::setUpTimer(m_lineTimer, QStringLiteral("tncLineTimer"), 50);
    connect(&m_lineTimer, &QTimer::timeout, this, &TncLineHandler::onLineTimer);
}

void TncLineHandler::receiveLine(const QByteArray& line)
{
    if (withoutLineEnd(line).trimmed().isEmpty())
        return;
    if (m_queue.size() >= kMaxQueuedLines)
        return;
    m_queue.append(line.endsWith("\r\n") ? line : withoutLineEnd(line) + "\r\n");
    if (!m_lineTimer.isActive())
        m_lineTimer.start();
}

void TncLineHandler::clear()
{
    m_queue.clear();
    m_lineTimer.stop();
}

void TncLineHandler::onLineTimer()
{
    // A wait inside the handler (returnToConverse) keeps the event loop running; the next line waits
    // for the next tick after this one has finished.
    if (m_handling)
        return;
    if (m_queue.isEmpty()) {
        // Nothing to do until the next receive enables the timer again. The watch timer is
        // left alone: it must run while the TNC is silent, or a port that vanished before
        // any traffic would never be opened again.
        m_lineTimer.stop();
        return;
    }
    emit handlingStarted();
    m_handling = true;
    const QByteArray line = m_queue.takeFirst();
    handle(line);
    m_handling = false;
    finishLine();
}

void TncLineHandler::handle(const QByteArray& line)
{
    const bool commandMode = m_state.choices.operatingMode == station::OperatingMode::TncCommand;
    if (!packet::isOneLine(line)) {
        // A frame whose information holds CR, LF or NUL is shown, and goes nowhere else:
        // passed on, its second line would be a packet nobody sent.
        ++m_multiLinePackets;
        emit monitorText(monitorEntry(packet::escapedControlBytes(withoutLineEnd(line)) + "\r\n", commandMode,
                                      QDateTime::currentDateTimeUtc()));
        return;
    }

    const QByteArray copy = internetCopy(line);
    if (!copy.isEmpty() && m_links.aprsIs && m_links.aprsIs->isConnected())
        if (const auto gated = packet::igateLine(copy, m_state.aprsIsCall))
            m_links.aprsIs->sendToAprsIs(*gated + "\r\n");

    emit monitorText(monitorEntry(line, commandMode, QDateTime::currentDateTimeUtc()));
    if (commandMode)
        return;

    if (line.contains("cmd:") && m_returnToConverse)
        m_returnToConverse();

    // Traffic relayed from the internet ("}") names the station inside it as heard, through
    // the igate's addIgatedVhfSource, instead of the gating station that put it on the air.
    const QByteArray source = sourceOf(line);
    if (line.contains('}'))
        emit igatedLine(line);
    else if (!source.isEmpty() && source != m_state.myCall)
        emit stationHeard(source);
    emit packetLine(line);

    const QByteArray text = withoutLineEnd(line);
    if (m_links.local && text.size() <= packet::kMaxGatedPacketLength)
        m_links.local->sendToLocalProgram(text + "\r\n");
}

void TncLineHandler::finishLine()
{
    if (m_queue.isEmpty())
        m_lineTimer.stop();
    emit handlingFinished();
}

} // namespace links
