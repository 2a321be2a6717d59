#pragma once
#include <QByteArray>
#include <QString>

#include <optional>

namespace records {

/// The RAYNET sheet: every receive-log entry becomes one row of `raynet.csv` in the station
/// folder (layout in raynet_row.h). The file is a CSV sheet the operator opens in any
/// spreadsheet program; headings or notes typed into other rows or columns survive, because
/// each entry replaces only the cells it writes. Each write goes to a temporary file that is
/// renamed into place, so the sheet is never left half written.
class RaynetSheet {
public:
    static constexpr const char kFileName[] = "raynet.csv";
    /// Larger files are not read back (the entry is skipped), so a stray file cannot make
    /// the program read without limit.
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    /// `startRow` is the number typed in "Start on row:"; the first entry goes to that row.
    RaynetSheet(QString path, int startRow);

    static QString pathIn(const QString& stationDir);
    /// Row 1 holds the headings; entries start at row 2 or later.
    static constexpr int FirstEntryRow = 2;
    /// The row typed in "Start on row:": digits only (blanks around them allowed), 2 up to
    /// the sheet's last row; nothing for any other text.
    static std::optional<int> parseStartRow(const QString& text);

    /// Creates the file with one empty row when it is missing, so that it can be opened with
    /// the default application at start. True when the file exists afterwards.
    static bool createIfMissing(const QString& path);

    /// Writes one entry. The row counter advances first, whatever happens next; when the
    /// file cannot be read or written, or the row is outside the sheet, the entry is skipped
    /// and false returned.
    bool writeEntry(const QByteArray& firstField, const QByteArray& logCallsign, const QByteArray& logText,
                    const QByteArray& myCall);

    /// The row of the latest entry (the start row minus 1 before the first one).
    int row() const { return m_row; }
    QString path() const { return m_path; }

private:
    QString m_path;
    int m_row;
};

} // namespace records
