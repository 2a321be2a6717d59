#include "hf/modem/wav_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace hf::modem {

namespace {

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putTag(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

bool tagIs(const std::uint8_t* p, const char* tag)
{
    return std::equal(p, p + 4, reinterpret_cast<const std::uint8_t*>(tag));
}

} // namespace

std::optional<WavAudio> parseWav(const std::uint8_t* data, std::size_t size, std::size_t maxSamples)
{
    if (data == nullptr || size < 12 || !tagIs(data, "RIFF") || !tagIs(data + 8, "WAVE"))
        return std::nullopt;
    std::size_t pos = 12;
    bool haveFormat = false;
    WavAudio audio;
    while (pos + 8 <= size) {
        const std::uint8_t* chunk = data + pos;
        const std::size_t length = le32(chunk + 4);
        const std::size_t bodyStart = pos + 8;
        const std::size_t available = size - bodyStart;
        if (tagIs(chunk, "fmt ")) {
            if (length < 16 || available < 16)
                return std::nullopt;
            const std::uint8_t* f = data + bodyStart;
            const std::uint16_t format = le16(f);
            const std::uint16_t channels = le16(f + 2);
            const std::uint32_t rate = le32(f + 4);
            const std::uint16_t bits = le16(f + 14);
            if ((format != 1 && format != 0xFFFE) || channels != 1 || bits != 16 || rate < 1000 ||
                rate > 192000)
                return std::nullopt;
            audio.sampleRate = static_cast<int>(rate);
            haveFormat = true;
        } else if (tagIs(chunk, "data")) {
            if (!haveFormat)
                return std::nullopt;
            // A truncated data chunk (common when a recorder was killed) is read as far as it goes.
            const std::size_t bytes = std::min(length, available);
            const std::size_t count = std::min(bytes / 2, maxSamples);
            audio.samples.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                const auto v = static_cast<std::int16_t>(le16(data + bodyStart + 2 * i));
                audio.samples[i] = static_cast<float>(v) / 32768.0f;
            }
            return audio;
        }
        if (length > available)
            return std::nullopt;
        pos = bodyStart + length + (length & 1u);
    }
    return std::nullopt;
}

std::vector<std::uint8_t> buildWav(const WavAudio& audio)
{
    const auto dataBytes = static_cast<std::uint32_t>(audio.samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, static_cast<std::uint32_t>(audio.sampleRate));
    put32(out, static_cast<std::uint32_t>(audio.sampleRate) * 2);
    put16(out, 2);
    put16(out, 16);
    putTag(out, "data");
    put32(out, dataBytes);
    for (float s : audio.samples) {
        const float clipped = std::clamp(s, -1.0f, 1.0f);
        const auto v = static_cast<std::int16_t>(std::lround(clipped * 32767.0f));
        put16(out, static_cast<std::uint16_t>(v));
    }
    return out;
}

std::optional<WavAudio> readWavFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseWav(bytes.data(), bytes.size());
}

bool writeWavFile(const std::string& path, const WavAudio& audio)
{
    const auto bytes = buildWav(audio);
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace hf::modem
