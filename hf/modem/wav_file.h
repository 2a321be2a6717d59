#pragma once

// Sound files through libsndfile: WAV with 8/16/24/32-bit integer or float samples, any number
// of channels and any sample rate, read as one channel of floats in -1.0..+1.0, a block at a
// time. Recordings the modem writes are 16-bit mono PCM WAV.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hf::modem {

/// Mono audio as read from or written to a WAV file; samples are in -1.0..+1.0.
struct WavAudio {
    int sampleRate = 0; ///< Hz
    std::vector<float> samples;
};

/// Reads one channel of a sound file in blocks, never holding more than a block in memory.
class WavReader {
public:
    /// Sample rates outside this range are refused (no recording of radio audio has them).
    static constexpr int kMinRate = 1000;
    static constexpr int kMaxRate = 384000;

    WavReader();
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    /// Opens `path` and selects `channel` (0 the first). False, with error(), when the file
    /// cannot be opened, is not a sound file or has no such channel.
    bool open(const std::string& path, int channel = 0);
    /// The same for a file image in memory; `data` must outlive the reader.
    bool open(const std::uint8_t* data, std::size_t size, int channel = 0);
    void close();
    bool isOpen() const;

    int sampleRate() const;
    int channels() const;
    /// Copies up to `max` samples of the chosen channel to `out`; 0 at the end of the file.
    std::size_t read(float* out, std::size_t max);
    /// Back to the first sample.
    bool rewind();
    const std::string& error() const { return m_error; }

private:
    struct State;
    bool finishOpen(int channel);

    std::unique_ptr<State> m_state;
    std::string m_error;
};

/// Parses a sound-file image (see WavReader). At most `maxSamples` samples are taken.
std::optional<WavAudio> parseWav(const std::uint8_t* data, std::size_t size, int channel = 0,
                                 std::size_t maxSamples = 48000u * 3600u);

/// Reads one channel of a whole file (at most `maxSamples` samples); nothing when it cannot be
/// read.
std::optional<WavAudio> readWavFile(const std::string& path, int channel = 0,
                                    std::size_t maxSamples = 48000u * 3600u);

/// Writes a 16-bit PCM mono WAV file; samples are clipped to -1..+1.
bool writeWavFile(const std::string& path, const WavAudio& audio);

/// Appends to a 16-bit PCM mono WAV file; flush() brings its header up to date, so the file is
/// complete after each flush.
class WavWriter {
public:
    WavWriter();
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    /// Creates (or truncates) `path`; false, with error(), when it cannot.
    bool open(const std::string& path, int sampleRate);
    void close();
    bool isOpen() const;
    bool write(const float* samples, std::size_t count);
    void flush();
    const std::string& error() const { return m_error; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::string m_error;
};

/// Converts a stream of samples from one rate to another (low-pass filtered), block by block.
class RateConverter {
public:
    RateConverter(int inRate, int outRate);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    /// Appends the output samples that `count` more input samples produce to `out`.
    void process(const float* in, std::size_t count, std::vector<float>& out);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace hf::modem
