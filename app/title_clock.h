#pragma once
#include <QDateTime>
#include <QString>

namespace app {

/// The date and time of the title-bar clock: year/month/day without leading zeros, then
/// hh:mm:ss with two digits each, e.g. "2026/3/7 09:05:01".
QString clockText(const QDateTime& time);

/// The main window caption: "Tamberlane Skylark v" and the version, ten blanks, the date and
/// time, and " UTC". `zone` "LOC" shows local time, any other zone UTC; the suffix is " UTC"
/// either way (the window only ever asks for UTC).
QString clockCaption(const QDateTime& now, const QString& zone = QStringLiteral("UTC"));

} // namespace app
