#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

/// A fresh, empty station folder that is removed when the test ends.
class TempStationDir {
public:
    TempStationDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;
    QByteArray read(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;
    bool exists(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

/// Path of a file under the project's tests/data folder.
QString testDataPath(const QString& relative);

} // namespace testsupport
