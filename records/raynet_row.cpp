#include "records/raynet_row.h"

namespace records {

RaynetRow raynetRow(const QByteArray& firstField, const QByteArray& logCallsign, const QByteArray& logText,
                    const QByteArray& myCall)
{
    RaynetRow row;
    row.cells[0] = firstField;
    row.cells[1] = logCallsign;

    // The text after its first ":" (the whole text when it has none).
    const qsizetype colon = logText.indexOf(':');
    const QByteArray rest = colon < 0 ? logText : logText.mid(colon + 1);
    const bool isMessage = rest.contains(':');
    const bool fromThisStation = !myCall.isEmpty() && logCallsign.contains(myCall);

    if (isMessage || fromThisStation) {
        row.cells[2] = QByteArray();
        row.cells[3] = QByteArray();
        row.cells[4] = QByteArray();
    }
    if (isMessage)
        row.cells[5] = rest;
    if (fromThisStation)
        row.cells[6] = rest;
    if (!isMessage)
        return row;

    // Data 1..3: each the text before the next ","; a field with no "," after it is missing.
    QByteArray remaining = rest;
    for (int column = 2; column <= 4; ++column) {
        const qsizetype comma = remaining.indexOf(',');
        if (comma < 0)
            break; // the remaining data columns stay empty
        row.cells[static_cast<size_t>(column)] = remaining.left(comma);
        remaining = remaining.mid(comma + 1);
    }
    return row;
}

} // namespace records
