#pragma once
#include <QByteArray>
#include <QString>

namespace settings {

/// Single-value settings files: one line holding one field.
///
/// A text is stored as `"text"` CR LF (embedded quotes are not escaped, an empty text is
/// `""` CR LF); a number as its decimal digits, unquoted, CR LF. Texts are 8-bit bytes.
/// Writes go to a temporary file renamed into place, so a crash or power cut never leaves a
/// settings file empty or half written.

/// The first field of a file's content: a quoted value up to the last quote of its line
/// (quotes inside it are kept; the line end when the quote is never closed); an unquoted
/// value up to the first comma or line end, blanks trimmed.
QByteArray firstField(const QByteArray& content);
/// The first field of the file at `path`; empty when the file cannot be read.
QByteArray readValue(const QString& path);
/// The value read as an integer; `fallback` when the file holds no number.
int readNumber(const QString& path, int fallback = 0);
/// Writes `"text"` CR LF. Returns false when the file could not be written.
bool writeText(const QString& path, const QByteArray& text);
/// Writes the number's digits and CR LF.
bool writeNumber(const QString& path, qint64 value);

} // namespace settings
