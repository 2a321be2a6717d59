#pragma once
#include <QByteArray>
#include <QList>

namespace records {

/// A sheet held as CSV text (RFC 4180): one line per row, one field per column. Cells are
/// 8-bit byte strings; nothing is re-encoded, so whatever the operator's spreadsheet program
/// saved comes back unchanged except for quoting.
class CsvTable {
public:
    /// Largest row and column a cell may be written to (the usual spreadsheet limits).
    static constexpr int kMaxRow = 1048576;
    static constexpr int kMaxColumn = 16384;

    /// Reads CSV text. Accepts CR LF, LF or a lone CR as the row end; quoted fields may hold
    /// commas, line ends and doubled quotes. Lenient with stray quotes (taken literally) and
    /// a missing closing quote (the field runs to the end). A final line end adds no row.
    static CsvTable parse(const QByteArray& text);

    /// Writes CSV text: rows end with CR LF; a field is quoted when it holds a comma, a
    /// double quote, CR or LF, with inner quotes doubled.
    QByteArray serialize() const;

    /// Sets one cell, 1-based row and column, adding empty rows and cells as needed. Other
    /// cells are left as they are. False (and nothing changed) outside 1..kMaxRow/kMaxColumn.
    bool setCell(int row, int column, const QByteArray& value);
    /// The cell's value, empty when it does not exist.
    QByteArray cell(int row, int column) const;

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const QList<QList<QByteArray>>& rows() const { return m_rows; }

private:
    QList<QList<QByteArray>> m_rows;
};

} // namespace records
