#include "app/title_clock.h"

#include "station/program_titles.h"

namespace app {

QString clockText(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime h = t.time();
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(h.hour(), 2, 10, QLatin1Char('0'))
        .arg(h.minute(), 2, 10, QLatin1Char('0'))
        .arg(h.second(), 2, 10, QLatin1Char('0'));
}

QString clockCaption(const QDateTime& now, const QString& zone)
{
    const QDateTime shown = zone == QLatin1String("LOC") ? now.toLocalTime() : now.toUTC();
    return QLatin1String(station::titles::kMainWindowTitle) + QString(10, QLatin1Char(' ')) +
           clockText(shown) + QStringLiteral(" UTC");
}

} // namespace app
