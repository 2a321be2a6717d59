#include "records/csv_table.h"

namespace records {

CsvTable CsvTable::parse(const QByteArray& text)
{
    CsvTable table;
    QList<QByteArray> row;
    QByteArray field;
    bool inQuotes = false;
    bool fieldStarted = false; // anything seen on this row (a line with nothing is an empty row)
    const qsizetype n = text.size();

    auto endField = [&] {
        row.append(field);
        field.clear();
    };
    auto endRow = [&] {
        if (fieldStarted || !row.isEmpty())
            endField();
        table.m_rows.append(row);
        row.clear();
        fieldStarted = false;
    };

    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < n && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"' && field.isEmpty()) {
            inQuotes = true;
            fieldStarted = true;
        } else if (c == ',') {
            fieldStarted = true;
            endField();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            endRow();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !row.isEmpty())
        endRow();
    return table;
}

static bool needsQuotes(const QByteArray& field)
{
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

QByteArray CsvTable::serialize() const
{
    QByteArray out;
    for (const auto& row : m_rows) {
        for (qsizetype col = 0; col < row.size(); ++col) {
            if (col > 0)
                out += ',';
            const QByteArray& field = row[col];
            if (needsQuotes(field)) {
                QByteArray quoted = field;
                quoted.replace("\"", "\"\"");
                out += '"' + quoted + '"';
            } else {
                out += field;
            }
        }
        out += "\r\n";
    }
    return out;
}

bool CsvTable::setCell(int row, int column, const QByteArray& value)
{
    if (row < 1 || row > kMaxRow || column < 1 || column > kMaxColumn)
        return false;
    while (m_rows.size() < row)
        m_rows.append(QList<QByteArray>());
    auto& cells = m_rows[row - 1];
    while (cells.size() < column)
        cells.append(QByteArray());
    cells[column - 1] = value;
    return true;
}

QByteArray CsvTable::cell(int row, int column) const
{
    if (row < 1 || row > m_rows.size() || column < 1)
        return {};
    const auto& cells = m_rows[row - 1];
    if (column > cells.size())
        return {};
    return cells[column - 1];
}

} // namespace records
