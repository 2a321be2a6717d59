#include "raynet_sheet.h"

#include "csv_table.h"
#include "raynet_row.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

namespace records {

RaynetSheet::RaynetSheet(QString path, int startRow) : m_path(std::move(path)), m_row(startRow - 1) {}

QString RaynetSheet::pathIn(const QString& stationDir)
{
    return QDir(stationDir).filePath(QLatin1String(kFileName));
}

int RaynetSheet::startRowFromText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > CsvTable::kMaxRow + 1)
            value = CsvTable::kMaxRow + 1; // beyond the sheet anyway
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

bool RaynetSheet::createIfMissing(const QString& path)
{
    if (QFileInfo::exists(path))
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("\r\n");
    return file.commit();
}

bool RaynetSheet::writeEntry(const QByteArray& firstField, const QByteArray& logCallsign,
                             const QByteArray& logText, const QByteArray& myCall)
{
    if (m_row < std::numeric_limits<int>::max())
        ++m_row;
    if (m_row < 1 || m_row > CsvTable::kMaxRow)
        return false;

    CsvTable table;
    const QFileInfo info(m_path);
    if (info.exists()) {
        if (!info.isFile() || info.size() > kMaxFileBytes)
            return false;
        QFile in(m_path);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = in.read(kMaxFileBytes + 1);
        if (in.error() != QFileDevice::NoError || text.size() > kMaxFileBytes)
            return false;
        table = CsvTable::parse(text);
    }

    const RaynetRow row = raynetRow(firstField, logCallsign, logText, myCall);
    for (int column = 1; column <= RaynetRow::kColumns; ++column) {
        const auto& value = row.cells[static_cast<size_t>(column - 1)];
        if (value)
            table.setCell(m_row, column, *value);
    }

    // QSaveFile writes a temporary file beside the sheet and renames it over the old one;
    // it refuses an existing file that is not writable.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = table.serialize();
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace records
