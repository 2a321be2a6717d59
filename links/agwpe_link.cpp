#include "links/agwpe_link.h"

#include "links/tnc_line_handler.h"
#include "packet/agwpe_monitor.h"

namespace links {

AgwpeLink::AgwpeLink(TncLineHandler& lines, QObject* parent)
    : TcpTncLink(TcpTnc::Agwpe, QStringLiteral("agwpe"), QStringLiteral("127.0.0.1"), 8000, parent),
      m_lines(lines)
{
    connect(&socket(), &platform::StationSocket::connected, this, [this] {
        m_deframer.reset();
        socket().send(packet::agwpeMonitorRequest());
    });
    connect(&socket(), &platform::StationSocket::dataArrived, this, &AgwpeLink::onData);
}

void AgwpeLink::startingConnection()
{
    m_deframer.reset();
    m_frames = 0;
}

void AgwpeLink::onData()
{
    for (const packet::AgwpeFrame& frame : m_deframer.feed(socket().readAll())) {
        ++m_frames;
        if (const auto line = packet::agwpeMonitorLine(frame))
            m_lines.receiveLine(*line);
    }
}

} // namespace links
