// Arbitrary bytes from the GPS port, fed in pieces: the reader must stay bounded and every
// position text produced must have the fixed layout.
#include "position/gps_input.h"
#include "position/gps_position.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    position::NmeaReader reader;
    position::GpsInput gps;
    size_t pos = 0;
    while (pos < size) {
        // Piece length from the data itself, 1..16 bytes.
        const size_t piece = std::min<size_t>(size - pos, (data[pos] & 15u) + 1u);
        const QByteArray bytes(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(piece));
        pos += piece;
        for (const QByteArray& s : reader.feed(bytes)) {
            if (s.isEmpty() || s[0] != '$' || s.size() > position::NmeaReader::kMaxSentenceBytes)
                std::abort();
            (void)position::nmeaChecksumValid(s);
        }
        if (reader.pendingBytes() > position::NmeaReader::kMaxSentenceBytes)
            std::abort();
        if (gps.feed(bytes)) {
            const auto info = position::gpsPositionInfo(*gps.latest(), {}, "");
            if (info && (info->size() != 20 || (*info)[0] != '='))
                std::abort();
        }
    }
    // Whole sentences too, so the RMC parser sees long inputs directly.
    const QByteArray all(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (auto rmc = position::parseRmc(all))
        (void)position::gpsPositionInfo(*rmc, {}, "x");
    return 0;
}
