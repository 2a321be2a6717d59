#include "records/raynet_sheet.h"

#include "records/csv_table.h"
#include "records/raynet_row.h"

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

std::optional<int> RaynetSheet::parseStartRow(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 7)
        return std::nullopt;
    for (const QChar c : t)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int row = t.toInt();
    if (row < FirstEntryRow || row > CsvTable::kMaxRow)
        return std::nullopt;
    return row;
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
