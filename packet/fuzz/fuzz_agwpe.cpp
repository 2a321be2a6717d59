// A byte stream cut into reads of varying size through AgwpeDeframer, every frame turned
// into a monitor line.
#include "packet/agwpe_deframer.h"
#include "packet/agwpe_monitor.h"
#include "packet/fuzz/stream_reads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packet::AgwpeDeframer deframer;
    fuzzing::forEachRead(data, size, [&deframer](const QByteArray& read) {
        for (const packet::AgwpeFrame& frame : deframer.feed(read)) {
            const auto line = packet::agwpeMonitorLine(frame);
            if (line && !line->endsWith("\r\n"))
                __builtin_trap();
        }
        if (deframer.pendingBytes() > packet::AgwpeFrame::kHeaderSize + packet::AgwpeDeframer::kMaxDataLength)
            __builtin_trap();
    });
    return 0;
}
