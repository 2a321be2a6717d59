#include "station/start_links.h"

#include <QStringList>

namespace station {

bool applyStartLinkList(const QString& list, StartLinks& links, QString* error)
{
    static constexpr struct {
        const char* name;
        bool StartLinks::*field;
    } Names[] = {
        {"kiss", &StartLinks::kiss}, {"agwpe", &StartLinks::agwpe}, {"aprs-is", &StartLinks::aprsIs}};

    StartLinks result = links;
    const QStringList items = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (items.isEmpty()) {
        if (error)
            *error = QStringLiteral("no links given");
        return false;
    }
    for (const QString& raw : items) {
        const QString name = raw.trimmed();
        bool known = false;
        for (const auto& n : Names) {
            if (name == QLatin1String(n.name)) {
                result.*(n.field) = true;
                known = true;
            }
        }
        if (!known) {
            if (error)
                *error = QStringLiteral("unknown link '%1' (known: %2)").arg(name.left(40), StartLinkNames);
            return false;
        }
    }
    links = result;
    return true;
}

} // namespace station
