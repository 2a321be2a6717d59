#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace records {

/// File names of the three logs, kept in the station folder.
inline constexpr const char kReceiveLogName[] = "skylark_receive.log";
inline constexpr const char kTransmitLogName[] = "skylark_transmit.log";
inline constexpr const char kMheardLogName[] = "skylark_mheard.log";

/// First field of every log record and of the port-8064 record: the UTC date and time,
/// "YYYY-MM-DD HH:MM:SS" (date and time joined by one blank). The value is converted to UTC.
QByteArray logTimeStamp(const QDateTime& when);
/// logTimeStamp() of the current time.
QByteArray logTimeStampNow();

/// One log record: every field in double quotes, fields separated by ",", ended by CR LF.
/// Fields are written as they are: embedded double quotes are not escaped and a CR inside a
/// field stays (the transmit log ends its text field with CR). Bytes are never re-encoded.
QByteArray logRecord(const QList<QByteArray>& fields);

/// The receive-log record for the local TCP port 8064: first field, ",", log callsign, ",",
/// log text, no quotes and no line end.
QByteArray networkRecord(const QByteArray& firstField, const QByteArray& logCallsign,
                         const QByteArray& logText);

} // namespace records
