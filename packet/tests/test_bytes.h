#pragma once
// Helpers for writing frames in tests as hexadecimal text.

#include <QByteArray>

#include <ostream>

namespace packet::test {

/// "c0 00 82 ..." -> bytes; blanks and line breaks are ignored.
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

/// The bytes 0..255 in order.
inline QByteArray allByteValues()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    return bytes;
}

} // namespace packet::test

// Readable failure output for byte arrays: printable text plus hex.
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F)
            *os << c;
        else
            *os << "\\x"
                << "0123456789abcdef"[u >> 4] << "0123456789abcdef"[u & 15];
    }
    *os << "\" (" << bytes.toHex(' ').constData() << ')';
}
