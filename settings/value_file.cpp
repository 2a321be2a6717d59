#include "settings/value_file.h"

#include <QFile>
#include <QSaveFile>

namespace settings {

namespace {
constexpr qint64 MaxSettingsFileSize = 64 * 1024;

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return f.commit();
}
} // namespace

QByteArray firstField(const QByteArray& content)
{
    qsizetype i = 0;
    while (i < content.size() && (content[i] == ' ' || content[i] == '\t'))
        ++i;
    if (i < content.size() && content[i] == '"') {
        // Quotes inside a text are stored as they are, so the value ends at the last quote
        // of its line (or at the line end when it is never closed).
        qsizetype lineEnd = i + 1;
        while (lineEnd < content.size() && content[lineEnd] != '\r' && content[lineEnd] != '\n')
            ++lineEnd;
        qsizetype end = lineEnd;
        for (qsizetype k = lineEnd - 1; k > i; --k)
            if (content[k] == '"') {
                end = k;
                break;
            }
        return content.mid(i + 1, end - i - 1);
    }
    qsizetype end = i;
    while (end < content.size() && content[end] != ',' && content[end] != '\r' && content[end] != '\n')
        ++end;
    return content.mid(i, end - i).trimmed();
}

QByteArray readValue(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return firstField(f.read(MaxSettingsFileSize));
}

int readNumber(const QString& path, int fallback)
{
    bool ok = false;
    const int n = readValue(path).toInt(&ok);
    return ok ? n : fallback;
}

bool writeText(const QString& path, const QByteArray& text)
{
    return writeAtomically(path, '"' + text + "\"\r\n");
}

bool writeNumber(const QString& path, qint64 value)
{
    return writeAtomically(path, QByteArray::number(value) + "\r\n");
}

} // namespace settings
