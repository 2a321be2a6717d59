#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace records {

/// One append-only log file. Every write opens the file for appending (creating it when
/// missing), writes whole records and closes it again, so no log stays open between
/// records. The file is never truncated. A file that cannot be opened is skipped: the
/// write reports false and the caller carries on.
class LogFile {
public:
    explicit LogFile(QString path) : m_path(std::move(path)) {}

    /// The three logs of a station folder.
    static LogFile receiveLog(const QString& stationDir);
    static LogFile transmitLog(const QString& stationDir);
    static LogFile mheardLog(const QString& stationDir);

    QString path() const { return m_path; }

    /// Appends one record (logRecord() of the fields). False when the file cannot be written.
    bool append(const QList<QByteArray>& fields) const;
    /// Appends bytes exactly as given.
    bool appendBytes(const QByteArray& bytes) const;

private:
    QString m_path;
};

} // namespace records
