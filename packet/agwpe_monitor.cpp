#include "packet/agwpe_monitor.h"

namespace packet {

QByteArray agwpeMonitorRequest()
{
    QByteArray header(AgwpeFrame::kHeaderSize, '\0');
    header[4] = 'm';
    return header;
}

std::optional<QByteArray> agwpeMonitorLine(const AgwpeFrame& frame)
{
    if (frame.kind != 'U' || frame.callFrom.isEmpty() || frame.callTo.isEmpty())
        return std::nullopt;

    QByteArray text;
    text.reserve(frame.data.size());
    for (const char c : frame.data) {
        if (c != '\0' && c != '\r' && c != '\n')
            text.append(c);
    }

    const qsizetype stampEnd = text.indexOf(']');
    if (stampEnd < 0)
        return std::nullopt;
    const QByteArray header = text.left(stampEnd);
    const qsizetype ui = header.indexOf("<UI");
    if (ui < 0)
        return std::nullopt; // SABM, UA, DISC...: no information to monitor

    QByteArray line = frame.callFrom + '>' + frame.callTo;
    const qsizetype via = header.left(ui).indexOf("Via ");
    if (via >= 0) {
        const QByteArray path = header.mid(via + 4, ui - via - 4).trimmed();
        if (!path.isEmpty())
            line += ',' + path;
    }
    line += ':' + text.mid(stampEnd + 1) + "\r\n";
    return line;
}

} // namespace packet
