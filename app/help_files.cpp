#include "app/help_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace app {

QString helpFilePath(const QString& stationDir, const char* fileName)
{
    const QString name = QString::fromLatin1(fileName);
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates{QDir(stationDir).filePath(name), QDir(appDir).filePath(name),
                                 QDir(appDir).filePath(QStringLiteral("../share/skylark/") + name)};
    for (const QString& c : candidates)
        if (QFileInfo::exists(c))
            return QFileInfo(c).absoluteFilePath();
    return candidates.first();
}

} // namespace app
