#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hf::modem {

/// Mono audio as read from or written to a WAV file; samples are in -1.0..+1.0.
struct WavAudio {
    int sampleRate = 0; ///< Hz
    std::vector<float> samples;
};

/// Parses a 16-bit PCM mono RIFF/WAVE image. Returns nothing for anything else (other sample
/// formats, stereo, truncated or malformed chunks). Never reads outside `data`.
/// At most `maxSamples` samples are taken, so a hostile header cannot make it allocate more.
std::optional<WavAudio> parseWav(const std::uint8_t* data, std::size_t size,
                                 std::size_t maxSamples = 48000u * 3600u);

/// Builds a 16-bit PCM mono WAV image; samples are clipped to -1..+1.
std::vector<std::uint8_t> buildWav(const WavAudio& audio);

/// File helpers; readWavFile returns nothing when the file cannot be read or parsed.
std::optional<WavAudio> readWavFile(const std::string& path);
bool writeWavFile(const std::string& path, const WavAudio& audio);

} // namespace hf::modem
