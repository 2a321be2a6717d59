// A byte stream cut into reads of varying size through MonitorLineSplitter.
#include "packet/fuzz/stream_reads.h"
#include "packet/monitor_line_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packet::MonitorLineSplitter splitter;
    const auto check = [](const QList<QByteArray>& lines) {
        for (const QByteArray& line : lines) {
            // A line is never empty, never holds a line end, and a joined line is at most
            // a header and one more piece.
            if (line.isEmpty() || line.contains('\r') || line.contains('\n') ||
                line.size() > 2 * packet::MonitorLineSplitter::kMaxLine)
                __builtin_trap();
        }
    };
    fuzzing::forEachRead(data, size, [&](const QByteArray& read) { check(splitter.feed(read)); });
    check(splitter.flush());
    return 0;
}
