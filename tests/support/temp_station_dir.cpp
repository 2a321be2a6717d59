#include "tests/support/temp_station_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

TempStationDir::TempStationDir() : m_dir(QDir::tempPath() + "/skylark-test-XXXXXX") {}

QString TempStationDir::file(const QString& name) const
{
    return m_dir.filePath(name);
}

QByteArray TempStationDir::read(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TempStationDir::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

bool TempStationDir::exists(const QString& name) const
{
    return QFileInfo::exists(file(name));
}

QString testDataPath(const QString& relative)
{
    QByteArray root = qgetenv("SKYLARK_TEST_DATA");
    return QDir(QString::fromLocal8Bit(root)).filePath(relative);
}

} // namespace testsupport
