#pragma once
// A fuzz input read as a byte stream arriving in pieces of varying size, as a socket or serial
// port delivers it: one byte gives the length of the next read (1..256), the bytes after it are
// the read.
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzzing {

template<typename OnRead>
void forEachRead(const uint8_t* data, size_t size, OnRead onRead)
{
    size_t pos = 0;
    while (pos < size) {
        const size_t length = std::min<size_t>(size - pos - 1, data[pos] + 1u);
        ++pos;
        onRead(QByteArray(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(length)));
        pos += length;
    }
}

} // namespace fuzzing
