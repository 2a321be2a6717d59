// A byte stream cut into reads of varying size through KissDeframer, every frame decoded.
#include "packet/fuzz/stream_reads.h"
#include "packet/kiss_codec.h"
#include "packet/kiss_deframer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packet::KissDeframer deframer;
    fuzzing::forEachRead(data, size, [&deframer](const QByteArray& read) {
        for (const QByteArray& frame : deframer.feed(read))
            (void)packet::Kiss::decode(frame, "N1CALL");
        if (deframer.pendingBytes() > packet::KissDeframer::kMaxPending)
            __builtin_trap();
    });
    return 0;
}
