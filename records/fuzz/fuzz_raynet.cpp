// The RAYNET sheet reads its CSV file back from disk (the operator edits it) and splits
// received texts: fuzz both. The first byte picks the target.
#include "records/csv_table.h"
#include "records/raynet_row.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (data[0] & 1) {
        // Parse, write back, parse again: the second pass must reproduce the first.
        records::CsvTable table = records::CsvTable::parse(input);
        table.setCell(3, 7, input.left(16));
        const QByteArray once = table.serialize();
        const QByteArray twice = records::CsvTable::parse(once).serialize();
        if (once != twice)
            std::abort();
    } else {
        // Split the input into callsign and text at the first NUL.
        const qsizetype cut = input.indexOf('\0');
        const QByteArray call = cut < 0 ? QByteArray() : input.left(cut);
        const QByteArray text = cut < 0 ? input : input.mid(cut + 1);
        const records::RaynetRow row = records::raynetRow("t", call, text, "M0XYZ");
        // Columns 3 to 7 are pieces of the text.
        for (size_t i = 2; i < row.cells.size(); ++i) {
            if (row.cells[i] && row.cells[i]->size() > text.size())
                std::abort();
        }
    }
    return 0;
}
