// decode on arbitrary frames; the first byte picks the own callsign.
#include "packet/kiss_codec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const QByteArray calls[] = {"N1CALL", "WIDE1-1", "", "A"};
    const QByteArray& own = calls[data[0] % 4];
    const QByteArray frame(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const auto r = packet::Kiss::decode(frame, own);
    if (r.digipeat) {
        // A digipeat request must be encodable or rejected with a message, never crash.
        const auto e = packet::Kiss::encode(r.digipeat->destination, r.digipeat->source, r.digipeat->path,
                                            r.digipeat->info);
        if (e.ok() == e.frame.isEmpty())
            __builtin_trap();
    }
    return 0;
}
