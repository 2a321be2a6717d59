// Feeds arbitrary bytes to the bulletin parser: it must never crash. Each of the three
// figures is a piece of the bulletin (they may overlap), so the caption is bounded.
#include "records/space_weather.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bulletin(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto caption = records::spaceWeatherCaption(bulletin);
    if (caption && caption->size() > 3 * bulletin.size() + 40)
        std::abort();
    if (caption.has_value() != bulletin.contains("Solar flux"))
        std::abort();
    return 0;
}
