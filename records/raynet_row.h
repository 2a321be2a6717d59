#pragma once
#include <QByteArray>
#include <array>
#include <optional>

namespace records {

/// The cells one receive-log entry writes into the RAYNET sheet. Index 0 is column 1.
/// A cell holding nullopt is not written, so whatever the sheet has there stays; an empty
/// value clears the cell.
///
///   1  first field of the log record (the time stamp)
///   2  log callsign
///   3-5 first, second and third comma-separated data field of the text after its first
///      ":" (the RAYNET "Data 1", "Data 2", "Data 3"), written only when that remainder holds
///      another ":" (a message); emptied for entries from this station and for messages
///   6  the text after its first ":", when that remainder still holds a ":"
///   7  the same remainder, when the log callsign contains the TNC callsign
///
/// A data column whose field is missing (the remainder holds no further comma) is written
/// empty. Cutting at a comma that is not there used to leave the previous column's value in
/// the scratch field, so "a,b" put "a" into columns 3, 4 and 5; that misfiles data, so a
/// missing field now leaves its column empty. A RAYNET message always ends its three fields
/// with "," and is not affected.
struct RaynetRow {
    static constexpr int kColumns = 7;
    std::array<std::optional<QByteArray>, kColumns> cells;
};

/// Builds the row for one entry. `myCall` is the TNC callsign; an empty one matches nobody.
RaynetRow raynetRow(const QByteArray& firstField, const QByteArray& logCallsign, const QByteArray& logText,
                    const QByteArray& myCall);

} // namespace records
