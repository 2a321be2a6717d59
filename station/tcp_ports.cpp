#include "station/tcp_ports.h"

#include <QStringList>

namespace station {

namespace {

struct PortName {
    const char* name;
    quint16 TcpPorts::*field;
    bool local; ///< a service port of our own: 0 lets the system pick
};

constexpr PortName Names[] = {
    {"packets", &TcpPorts::packets, true},        {"ptt", &TcpPorts::ptt, true},
    {"receive-log", &TcpPorts::receiveLog, true}, {"kiss", &TcpPorts::kiss, false},
    {"agwpe", &TcpPorts::agwpe, false},           {"aprs-is", &TcpPorts::aprsIs, false},
};

} // namespace

bool applyTcpPortList(const QString& list, TcpPorts& ports, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    TcpPorts result = ports;
    const QStringList items = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (items.isEmpty())
        return fail(QStringLiteral("no ports given"));
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(QStringLiteral("'%1' is not NAME=PORT").arg(item.left(40)));
        const QString name = item.left(eq).trimmed();
        bool ok = false;
        const uint value = item.mid(eq + 1).trimmed().toUInt(&ok, 10);
        const PortName* entry = nullptr;
        for (const PortName& n : Names) {
            if (name == QLatin1String(n.name))
                entry = &n;
        }
        if (!entry)
            return fail(
                QStringLiteral("unknown port name '%1' (known: %2)").arg(name.left(40), TcpPortNames));
        if (!ok || value > 65535 || (value == 0 && !entry->local))
            return fail(
                QStringLiteral("'%1' is not a port number for %2").arg(item.mid(eq + 1).left(40), name));
        result.*(entry->field) = static_cast<quint16>(value);
    }
    ports = result;
    return true;
}

} // namespace station
