#include "messaging/received_message.h"

#include "messaging/ack_rules.h"
#include "messaging/byte_text.h"

namespace messaging {

namespace {

constexpr QByteArrayView kCrLf("\r\n");

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    while (!line.isEmpty() && (line.back() == '\r' || line.back() == '\n'))
        line.chop(1);
    return line;
}

QByteArray sourceOf(Bearer bearer, QByteArrayView line, const QByteArray& ownCall)
{
    const qsizetype gt = line.indexOf('>');
    switch (bearer) {
    case Bearer::Tnc:
        return (gt >= 0 ? line.first(gt) : line).toByteArray().trimmed();
    case Bearer::AprsIs:
        return (gt >= 0 ? line.first(gt) : line).toByteArray();
    case Bearer::Hf:
        break;
    }
    QByteArray source = gt >= 0 ? line.first(gt).toByteArray() : QByteArray();
    const qsizetype star = source.indexOf('*');
    if (star >= 0)
        source.truncate(star);
    if (line.contains('}') && line.contains(QByteArrayView(">APSK"))) {
        const QByteArray inner = innerSource(line);
        if (!inner.isEmpty() && inner != ownCall)
            source = inner;
    }
    return source;
}

/// Position of "::" + callsign where the callsign fills the addressee field (followed by a
/// blank or the field's closing ":"), or -1. A bare prefix match would take a message for
/// G4ABCD, or for another SSID, as ours and acknowledge it on that station's behalf.
qsizetype findKey(QByteArrayView line, const QByteArray& callsign, bool anySsid)
{
    const QByteArray key = "::" + callsign;
    for (qsizetype at = line.indexOf(key); at >= 0; at = line.indexOf(key, at + 1)) {
        const qsizetype next = at + key.size();
        if (next < line.size() && (line[next] == ' ' || line[next] == ':' || (anySsid && line[next] == '-')))
            return at;
    }
    return -1;
}

qsizetype findOwnKey(QByteArrayView line, const QByteArray& callsign)
{
    return callsign.isEmpty() ? -1 : findKey(line, callsign, false);
}

/// The base key matches a message to any SSID of the base callsign. An empty base (an HF
/// callsign without SSID) matches every addressee field.
bool holdsBaseKey(QByteArrayView line, const QByteArray& base)
{
    return base.isEmpty() ? line.contains(QByteArrayView("::")) : findKey(line, base, true) >= 0;
}

QByteArray listEntry(QByteArrayView timeText, const QByteArray& source, const QByteArray& addressed,
                     QByteArrayView key)
{
    const qsizetype at = addressed.indexOf(key);
    if (at < 0)
        return {};
    return detail::join({timeText, " From: ", source, "  ", addressed.mid(at + 1), kCrLf});
}

bool containsCode(const QByteArray& text, const QByteArray& code)
{
    return !code.isEmpty() && text.contains(code);
}

} // namespace

QByteArray baseCallsign(QByteArrayView callsign, Bearer bearer)
{
    const qsizetype dash = callsign.indexOf('-');
    if (dash >= 0)
        return callsign.first(dash).toByteArray();
    return bearer == Bearer::Hf ? QByteArray() : callsign.toByteArray();
}

QByteArray innerSource(QByteArrayView packet)
{
    const qsizetype brace = packet.indexOf('}');
    if (brace < 0)
        return {};
    QByteArrayView rest = packet.sliced(brace + 1);
    const qsizetype gt = rest.indexOf('>');
    if (gt >= 0)
        rest = rest.first(gt);
    return rest.toByteArray().trimmed();
}

QByteArray groupListEntry(QByteArrayView timeText, QByteArrayView text, bool fromAprsIs)
{
    QByteArray entry = detail::join({timeText, " ", text, kCrLf});
    if (entry.contains("ack"))
        return {};
    if (fromAprsIs)
        entry.replace(",TCPIP*,qAC,", "  ");
    entry.replace(">APSK25", "  ");
    entry.replace(">APSK63", "  ");
    if (fromAprsIs)
        entry.replace(",TCPIP*,", "  ");
    entry.replace(">WIDE2-1:", "  ");
    const qsizetype brace = entry.indexOf('{');
    if (brace >= 0) {
        entry.truncate(brace);
        entry += kCrLf;
    }
    return entry;
}

ReceivedMessage classifyLine(Bearer bearer, QByteArrayView rawLine, const StationIdentity& station,
                             QByteArrayView timeText)
{
    const QByteArrayView line = withoutLineEnd(rawLine);
    const QByteArray& call = station.callsign;
    ReceivedMessage m;
    m.source = sourceOf(bearer, line, call);

    const qsizetype ownAt = findOwnKey(line, call);
    m.toUs = ownAt >= 0;
    m.addressedText = (m.toUs ? line.sliced(ownAt + 1) : line).toByteArray();
    const QByteArray& addressed = m.addressedText;

    // Addressee field and message text, for the caller's display and tests.
    const qsizetype fieldOpen = m.toUs ? ownAt : line.indexOf(QByteArrayView("::"));
    if (fieldOpen >= 0) {
        const qsizetype fieldStart = fieldOpen + 2;
        const qsizetype fieldEnd = line.indexOf(':', fieldStart);
        if (fieldEnd >= 0) {
            m.addressee = line.sliced(fieldStart, fieldEnd - fieldStart).toByteArray().trimmed();
            QByteArrayView text = line.sliced(fieldEnd + 1);
            const qsizetype brace = text.indexOf('{');
            m.messageText = (brace >= 0 ? text.first(brace) : text).toByteArray();
        }
    }
    const qsizetype brace = addressed.indexOf('{');
    if (brace >= 0)
        m.messageNumber = addressed.mid(brace + 1);

    const bool holdsAckField = addressed.contains(":ack");
    if (!call.isEmpty() && !holdsAckField && holdsBaseKey(line, baseCallsign(call, bearer))) {
        if (bearer == Bearer::Hf)
            m.messageHead = detail::join({"  From: ", m.source, " To: ", addressed, kCrLf});
        else
            m.messageHead = detail::join({timeText, " From: ", m.source, "  To: ", addressed, kCrLf});
    }

    // Remote control: only in a message to this station, from the remote-control station.
    const QByteArray& head = m.messageHead;
    const bool remoteCandidate = !head.isEmpty() && !station.remoteCall.isEmpty() && head.contains(call) &&
                                 head.contains(station.remoteCall) && m.source.contains(station.remoteCall) &&
                                 !head.contains("NOCALL");
    if (remoteCandidate) {
        m.remote.transmitOn = containsCode(head, station.remoteOnCode);
        m.remote.transmitOff = containsCode(head, station.remoteOffCode);
    }

    if (!m.toUs)
        m.background = MessagesBackground::White;
    else if (!holdsAckField)
        m.background = MessagesBackground::Yellow;

    m.bulletinEntry = listEntry(timeText, m.source, addressed, "::BLN");
    m.nwsEntry = listEntry(timeText, m.source, addressed, "::NWS-");

    if (station.groupCall.isEmpty())
        m.clearGroupList = true;
    else if (addressed.contains(station.groupCall))
        m.groupEntry = groupListEntry(timeText, addressed, bearer == Bearer::AprsIs);

    if (m.toUs) {
        m.receiveLog = true;
        if (isAcknowledgement(addressed)) {
            m.isAck = true;
            m.ackNumber = ackNumberFrom(addressed);
        }
        if (brace >= 0 && isValidMessageNumber(m.messageNumber) && isAcknowledgeableCall(m.source)) {
            m.sendAck = true;
            switch (bearer) {
            case Bearer::Tnc:
                m.ackToSend = vhfAckPayload(m.source, m.messageNumber);
                break;
            case Bearer::Hf:
                m.ackToSend = hfAckPayload(m.source, m.messageNumber);
                break;
            case Bearer::AprsIs:
                m.ackToSend = aprsIsAckLine(call, m.source, m.messageNumber);
                break;
            }
        }
    }
    return m;
}

} // namespace messaging
