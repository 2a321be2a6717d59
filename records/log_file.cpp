#include "log_file.h"

#include "log_record.h"

#include <QDir>
#include <QFile>

namespace records {

LogFile LogFile::receiveLog(const QString& stationDir)
{
    return LogFile(QDir(stationDir).filePath(QLatin1String(kReceiveLogName)));
}

LogFile LogFile::transmitLog(const QString& stationDir)
{
    return LogFile(QDir(stationDir).filePath(QLatin1String(kTransmitLogName)));
}

LogFile LogFile::mheardLog(const QString& stationDir)
{
    return LogFile(QDir(stationDir).filePath(QLatin1String(kMheardLogName)));
}

bool LogFile::append(const QList<QByteArray>& fields) const
{
    return appendBytes(logRecord(fields));
}

bool LogFile::appendBytes(const QByteArray& bytes) const
{
    QFile file(m_path);
    // Append never truncates; the file is created when missing.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

} // namespace records
