#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace records {

/// One append-only log file. Every write opens the file for appending (creating it when
/// missing), writes whole records and closes it again, so no log stays open between
/// records. The file is never truncated. A file that cannot be opened is skipped: the
/// write reports false and the caller carries on.
///
/// Bounded for unattended use: when a record would take the file past its size limit, the
/// file rolls over first — NAME.1 becomes NAME.2 and so on up to the number kept (the oldest
/// is removed), NAME becomes NAME.1 — and the record starts a new NAME. Readers keep finding
/// the current log under its usual name, and a record is never split between two files.
class LogFile {
public:
    static constexpr qint64 kDefaultMaxBytes = 10 * 1024 * 1024;
    static constexpr int kDefaultKept = 3;

    explicit LogFile(QString path, qint64 maxBytes = kDefaultMaxBytes, int kept = kDefaultKept)
        : m_path(std::move(path)), m_maxBytes(maxBytes), m_kept(kept)
    {
    }

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
    void rollOver() const;

    QString m_path;
    qint64 m_maxBytes;
    int m_kept;
};

} // namespace records
