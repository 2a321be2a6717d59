#include "records/log_file.h"

#include "records/log_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

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

void LogFile::rollOver() const
{
    auto name = [this](int n) {
        return QFile::encodeName(n == 0 ? m_path : m_path + QLatin1Char('.') + QString::number(n));
    };
    std::remove(name(m_kept).constData());
    // rename() replaces its target in one step, so every name always holds a whole file.
    for (int n = m_kept - 1; n >= 0; --n)
        std::rename(name(n).constData(), name(n + 1).constData());
}

bool LogFile::appendBytes(const QByteArray& bytes) const
{
    const qint64 size = QFileInfo(m_path).size();
    if (size > 0 && size + bytes.size() > m_maxBytes)
        rollOver();
    QFile file(m_path);
    // Append never truncates; the file is created when missing.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

} // namespace records
