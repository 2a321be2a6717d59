// A byte stream cut into reads of varying size through MonitorLineSplitter.
#include "packet/monitor_line_splitter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packet::MonitorLineSplitter splitter;
    size_t pos = 0;
    const auto check = [](const QList<QByteArray>& lines) {
        for (const QByteArray& line : lines) {
            // A line is never empty, never holds a line end, and a joined line is at most
            // a header and one more piece.
            if (line.isEmpty() || line.contains('\r') || line.contains('\n') ||
                line.size() > 2 * packet::MonitorLineSplitter::kMaxLine)
                __builtin_trap();
        }
    };
    while (pos < size) {
        const size_t length = std::min<size_t>(size - pos - 1, data[pos] + 1u);
        ++pos;
        const QByteArray read(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(length));
        pos += length;
        check(splitter.feed(read));
    }
    check(splitter.flush());
    return 0;
}
