// A byte stream cut into reads of varying size through KissDeframer, every frame decoded.
#include "packet/kiss_codec.h"
#include "packet/kiss_deframer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packet::KissDeframer deframer;
    size_t pos = 0;
    while (pos < size) {
        // One byte gives the read length (1..256), the following bytes are the read.
        const size_t length = std::min<size_t>(size - pos - 1, data[pos] + 1u);
        ++pos;
        const QByteArray read(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(length));
        pos += length;
        for (const QByteArray& frame : deframer.feed(read))
            (void)packet::Kiss::decode(frame, "N1CALL");
        if (deframer.pendingBytes() > packet::KissDeframer::kMaxPending)
            __builtin_trap();
    }
    return 0;
}
