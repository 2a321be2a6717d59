#include "links/kiss_tcp_link.h"

#include "links/tnc_line_handler.h"
#include "platform/clock.h"

#include <utility>

namespace links {

KissTcpLink::KissTcpLink(TncLineHandler& lines, std::function<QByteArray(const QByteArray&)> decodeFrame,
                         QObject* parent)
    : TcpTncLink(TcpTnc::KissOverTcp, QStringLiteral("kissTcp"), QStringLiteral("127.0.0.1"), 4000, parent),
      m_lines(lines), m_decode(std::move(decodeFrame)), m_receiveTimer(this)
{
    platform::Clock::setUpTimer(m_receiveTimer, QStringLiteral("kissTcpReceiveTimer"), 50);
    connect(&m_receiveTimer, &QTimer::timeout, this, &KissTcpLink::onReceiveTimer);
    connect(&socket(), &platform::StationSocket::dataArrived, this, &KissTcpLink::onData);
}

void KissTcpLink::stopTimers()
{
    m_receiveTimer.stop();
    TcpTncLink::stopTimers();
}

void KissTcpLink::startingConnection()
{
    m_buffer.clear();
    m_deframer.reset();
}

void KissTcpLink::connectionStarted()
{
    emit labelText(QString::number(state()));
}

void KissTcpLink::connectionAccepted()
{
    m_deframer.reset();
    emit labelText(QStringLiteral("%1 connected").arg(peerPort()));
}

void KissTcpLink::listeningAgain()
{
    m_deframer.reset();
    emit labelText(QStringLiteral("%1 listening").arg(peerPort()));
}

void KissTcpLink::onData()
{
    const QByteArray bytes = socket().readAll();
    m_buffer += bytes.left(kMaxBuffered - m_buffer.size());
    if (!m_receiveTimer.isActive())
        m_receiveTimer.start();
}

void KissTcpLink::onReceiveTimer()
{
    m_receiveTimer.stop();
    const QByteArray data = std::exchange(m_buffer, QByteArray());
    for (const QByteArray& frame : m_deframer.feed(data)) {
        const QByteArray text = m_decode ? m_decode(frame) : QByteArray();
        if (!text.isEmpty())
            m_lines.receiveLine(text + "\r\n");
    }
}

} // namespace links
