// A byte stream cut into reads of varying size through AgwpeDeframer, every frame turned
// into a monitor line.
#include "packet/agwpe_deframer.h"
#include "packet/agwpe_monitor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packet::AgwpeDeframer deframer;
    size_t pos = 0;
    while (pos < size) {
        const size_t length = std::min<size_t>(size - pos - 1, data[pos] + 1u);
        ++pos;
        const QByteArray read(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(length));
        pos += length;
        for (const packet::AgwpeFrame& frame : deframer.feed(read)) {
            const auto line = packet::agwpeMonitorLine(frame);
            if (line && !line->endsWith("\r\n"))
                __builtin_trap();
        }
        if (deframer.pendingBytes() > packet::AgwpeFrame::kHeaderSize + packet::AgwpeDeframer::kMaxDataLength)
            __builtin_trap();
    }
    return 0;
}
