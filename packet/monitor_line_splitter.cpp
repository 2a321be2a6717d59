#include "packet/monitor_line_splitter.h"

namespace packet {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

bool MonitorLineSplitter::isSplitHeader(const QByteArray& line)
{
    qsizetype end = line.size();
    while (end > 0 && isBlank(line[end - 1]))
        --end;
    // ...<UI>:  -> the marker ends at `end - 2` with ">"
    if (end < 6 || line[end - 1] != ':' || line[end - 2] != '>')
        return false;
    const QByteArray body = line.left(end - 1); // without the ":"
    qsizetype open = body.lastIndexOf('<');
    if (open < 0)
        return false;
    const bool doubled = open > 0 && body[open - 1] == '<';
    if (!body.mid(open).startsWith("<UI"))
        return false;
    const qsizetype afterUi = open + 3;
    qsizetype close = body.indexOf('>', afterUi);
    if (close != afterUi && !isBlank(body[afterUi]) && body[afterUi] != ',')
        return false;
    // Exactly one ">" (two when doubled) closes the marker and ends the body.
    const qsizetype closers = doubled ? 2 : 1;
    if (close != body.size() - closers || (doubled && body[close + 1] != '>'))
        return false;
    if (doubled)
        --open;
    return body.left(open).contains('>');
}

void MonitorLineSplitter::completeLine(const QByteArray& line, QList<QByteArray>& out)
{
    if (line.isEmpty())
        return;
    const bool header = isSplitHeader(line);
    if (!m_header.isEmpty()) {
        if (header) {
            out.append(m_header); // its information line never came
            m_header = line;
        } else {
            out.append(m_header + line);
            m_header.clear();
        }
        return;
    }
    if (header)
        m_header = line;
    else
        out.append(line);
}

QList<QByteArray> MonitorLineSplitter::feed(const QByteArray& data)
{
    QList<QByteArray> out;
    qsizetype begin = 0; // start of the current line's bytes within `data`
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            m_partial.append(data.constData() + begin, i - begin);
            completeLine(m_partial, out);
            m_partial.clear();
            begin = i + 1;
        } else if (m_partial.size() + (i + 1 - begin) >= kMaxLine) {
            m_partial.append(data.constData() + begin, i + 1 - begin);
            completeLine(m_partial, out);
            m_partial.clear();
            begin = i + 1;
        }
    }
    m_partial.append(data.constData() + begin, data.size() - begin);
    return out;
}

QList<QByteArray> MonitorLineSplitter::flush()
{
    QList<QByteArray> out;
    completeLine(m_partial, out);
    m_partial.clear();
    if (!m_header.isEmpty()) {
        out.append(m_header);
        m_header.clear();
    }
    return out;
}

void MonitorLineSplitter::reset()
{
    m_partial.clear();
    m_header.clear();
}

} // namespace packet
