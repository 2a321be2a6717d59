#include "records/log_record.h"

#include <QTimeZone>

namespace records {

QByteArray logTimeStamp(const QDateTime& when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
}

QByteArray logTimeStampNow()
{
    return logTimeStamp(QDateTime::currentDateTimeUtc());
}

QByteArray logRecord(const QList<QByteArray>& fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        out += '"';
        out += fields[i];
        out += '"';
    }
    out += "\r\n";
    return out;
}

QByteArray networkRecord(const QByteArray& firstField, const QByteArray& logCallsign,
                         const QByteArray& logText)
{
    return firstField + ',' + logCallsign + ',' + logText;
}

} // namespace records
