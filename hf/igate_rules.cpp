#include "hf/igate_rules.h"

namespace hf {

namespace {
QByteArray withoutLineEnds(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    out.replace("\r", "");
    out.replace("\n", "");
    return out;
}

/// "::" + key found at position 3 or later.
bool holdsKeyFrom3(QByteArrayView line, QByteArrayView callsign)
{
    const QByteArray key = "::" + callsign.toByteArray();
    return line.indexOf(key, 3) >= 0;
}
} // namespace

bool hfGateExcluded(QByteArrayView packet)
{
    for (const char* s : {"TCPIP", "TCPXX", "?APRS", "?aprs", "?igate", "?IGATE", ">APSK99"})
        if (packet.contains(QByteArrayView(s)))
            return true;
    return false;
}

bool gateToHf(QByteArrayView rawLine, const QByteArrayList& heard, QByteArrayView hfCall)
{
    const QByteArray line = withoutLineEnds(rawLine);
    if (!hfCall.isEmpty() && line.contains(hfCall.toByteArray() + ">"))
        return false;
    if (line.size() >= 256)
        return false;
    bool selected = false;
    for (qsizetype i = 0; i < heard.size() && i < kGatedHeardEntries && !selected; ++i)
        selected = heard[i].size() >= 2 && holdsKeyFrom3(line, heard[i]);
    if (!selected)
        return false;
    return hfCall.isEmpty() || !holdsKeyFrom3(line, hfCall);
}

std::optional<QByteArray> gatedHfBody(QByteArrayView rawLine, QByteArrayView hfCall)
{
    const QByteArray line = withoutLineEnds(rawLine);
    const qsizetype gt = line.indexOf('>');
    if (gt < 0)
        return std::nullopt;
    const qsizetype colon = line.indexOf(':', gt);
    if (colon < 0)
        return std::nullopt;
    return line.left(gt) + ">APSK20," + hfCall.toByteArray() + "*:" + line.mid(colon + 1);
}

std::optional<QByteArray> relayBody(QByteArrayView rawLine, QByteArrayView unproto)
{
    if (!rawLine.contains(QByteArrayView(">APWW")) || rawLine.contains(QByteArrayView(">APU")))
        return std::nullopt;
    const QByteArray line = withoutLineEnds(rawLine);
    const qsizetype gt = line.indexOf('>');
    const qsizetype colon = line.indexOf(':');
    if (gt < 0 || colon < 0)
        return std::nullopt;
    return line.left(gt) + unproto.toByteArray() + line.mid(colon + 1);
}

bool shouldDigipeat(QByteArrayView body, QByteArrayView source, QByteArrayView hfCall)
{
    if (body.isEmpty() || !body.contains(QByteArrayView(",WIDE2-1")))
        return false;
    if (!hfCall.isEmpty() && source.contains(hfCall))
        return false;
    return !body.contains("::" + hfCall.toByteArray());
}

QByteArray digipeatBody(QByteArrayView body, QByteArrayView hfCall)
{
    QByteArray out = body.toByteArray();
    out.replace("~", "");
    out.replace("|", "");
    out.replace("WIDE2-1", hfCall.toByteArray() + "*,WIDE2-1");
    return out;
}

} // namespace hf
