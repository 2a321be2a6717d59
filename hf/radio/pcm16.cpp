#include "hf/radio/pcm16.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace hf::radio {

std::size_t decodePcm16(const QByteArray& bytes, std::vector<float>& out, std::size_t max)
{
    const auto pairs = static_cast<std::size_t>(bytes.size()) / 2;
    const std::size_t n = std::min(pairs, max);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (std::size_t i = 0; i < n; ++i) {
        const auto v = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(p[2 * i] | (static_cast<unsigned>(p[2 * i + 1]) << 8)));
        out.push_back(static_cast<float>(v) / 32768.0f);
    }
    return n;
}

QByteArray encodePcm16(const float* samples, std::size_t count)
{
    QByteArray bytes(static_cast<qsizetype>(count * 2), '\0');
    for (std::size_t i = 0; i < count; ++i) {
        const float s = std::isfinite(samples[i]) ? std::clamp(samples[i], -1.0f, 1.0f) : 0.0f;
        // The same scale as decoding, so 16-bit samples survive a round trip unchanged.
        const auto v = static_cast<std::int16_t>(std::clamp(std::lround(s * 32768.0f), -32768L, 32767L));
        const auto u = static_cast<std::uint16_t>(v);
        bytes[static_cast<qsizetype>(2 * i)] = static_cast<char>(u & 0xFF);
        bytes[static_cast<qsizetype>(2 * i + 1)] = static_cast<char>(u >> 8);
    }
    return bytes;
}

} // namespace hf::radio
