#pragma once
#include <QByteArray>
#include <QString>

namespace settings {

/// A fixed-record settings file: records of 100 bytes, record n (from 1) at byte offset
/// (n - 1) * 100, each holding a 16-bit little-endian length L and L bytes of text; the rest
/// of a record is not significant. Records never written read back as empty text.
class RecordFile {
public:
    static constexpr int RecordLength = 100;
    static constexpr int MaxText = RecordLength - 2;
    static constexpr int MaxRecords = 1000;

    /// The file's content; a missing or unreadable file gives an empty set of records.
    static RecordFile load(const QString& path);
    /// Creates an empty file when none exists (the start-up page opens its file for reading
    /// and writing at load, so it exists from then on).
    static bool ensureExists(const QString& path);
    /// Writes all records to a temporary file renamed into place.
    bool save(const QString& path) const;

    QByteArray record(int n) const;
    /// Sets record n (1..MaxRecords); the text is cut to MaxText bytes. Unwritten records
    /// before it are zero-filled.
    void setRecord(int n, const QByteArray& text);
    const QByteArray& bytes() const { return m_bytes; }
    static RecordFile fromBytes(const QByteArray& bytes);

    /// The containment tests used when reading: a record holding "10" counts as both.
    static bool holdsOne(const QByteArray& text) { return text.contains('1'); }
    static bool holdsZero(const QByteArray& text) { return text.contains('0'); }

private:
    QByteArray m_bytes;
};

} // namespace settings
