// UDP audio datagrams: any bytes decode to bounded, finite samples.
#include "hf/radio/pcm16.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::vector<float> out;
    const std::size_t n = hf::radio::decodePcm16(bytes, out, 1000);
    if (n != out.size() || n > 1000 || n > size / 2)
        std::abort();
    for (float s : out)
        if (!std::isfinite(s) || s < -1.0f || s > 1.0f)
            std::abort();
    const QByteArray again = hf::radio::encodePcm16(out.data(), out.size());
    if (again != bytes.left(static_cast<qsizetype>(2 * n)))
        std::abort();
    return 0;
}
