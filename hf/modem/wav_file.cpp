#include "hf/modem/wav_file.h"

#include "hf/modem/resampler.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hf::modem {

namespace {

/// Frames read from the file per call into libsndfile.
constexpr std::size_t kBlockFrames = 4096;

/// A file image in memory, read through libsndfile's virtual I/O.
struct MemoryImage {
    const std::uint8_t* data = nullptr;
    sf_count_t size = 0;
    sf_count_t pos = 0;
};

sf_count_t memoryLength(void* user)
{
    return static_cast<MemoryImage*>(user)->size;
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    auto* m = static_cast<MemoryImage*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = m->pos;
    else if (whence == SEEK_END)
        base = m->size;
    const sf_count_t target = base + offset;
    if (target < 0 || target > m->size)
        return -1;
    m->pos = target;
    return m->pos;
}

sf_count_t memoryRead(void* ptr, sf_count_t count, void* user)
{
    auto* m = static_cast<MemoryImage*>(user);
    const sf_count_t n = std::clamp<sf_count_t>(m->size - m->pos, 0, std::max<sf_count_t>(count, 0));
    if (n > 0)
        std::memcpy(ptr, m->data + m->pos, static_cast<std::size_t>(n));
    m->pos += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t memoryTell(void* user)
{
    return static_cast<MemoryImage*>(user)->pos;
}

} // namespace

struct WavReader::State {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    MemoryImage image;
    int channel = 0;
    std::vector<float> frames; // one block of interleaved frames

    ~State()
    {
        if (file != nullptr)
            sf_close(file);
    }
};

WavReader::WavReader() = default;
WavReader::~WavReader() = default;

bool WavReader::open(const std::string& path, int channel)
{
    close();
    m_state = std::make_unique<State>();
    m_state->file = sf_open(path.c_str(), SFM_READ, &m_state->info);
    return finishOpen(channel);
}

bool WavReader::open(const std::uint8_t* data, std::size_t size, int channel)
{
    close();
    m_state = std::make_unique<State>();
    if (data != nullptr) {
        m_state->image = MemoryImage{data, static_cast<sf_count_t>(size), 0};
        static SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
        m_state->file = sf_open_virtual(&io, SFM_READ, &m_state->info, &m_state->image);
    }
    return finishOpen(channel);
}

bool WavReader::finishOpen(int channel)
{
    if (m_state->file == nullptr) {
        m_error = sf_strerror(nullptr);
        m_state.reset();
        return false;
    }
    const SF_INFO& info = m_state->info;
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate) {
        m_error = "unsupported sample rate " + std::to_string(info.samplerate);
        m_state.reset();
        return false;
    }
    if (channel < 0 || channel >= info.channels) {
        m_error = "no channel " + std::to_string(channel + 1) + " (the file has " +
                  std::to_string(info.channels) + ")";
        m_state.reset();
        return false;
    }
    // Integer samples arrive scaled to -1..+1; float files may hold anything: clip them.
    sf_command(m_state->file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    m_state->channel = channel;
    m_state->frames.resize(kBlockFrames * static_cast<std::size_t>(info.channels));
    m_error.clear();
    return true;
}

void WavReader::close()
{
    m_state.reset();
}

bool WavReader::isOpen() const
{
    return m_state != nullptr;
}

int WavReader::sampleRate() const
{
    return m_state ? m_state->info.samplerate : 0;
}

int WavReader::channels() const
{
    return m_state ? m_state->info.channels : 0;
}

std::size_t WavReader::read(float* out, std::size_t max)
{
    if (!m_state)
        return 0;
    const auto channels = static_cast<std::size_t>(m_state->info.channels);
    std::size_t done = 0;
    while (done < max) {
        const std::size_t want = std::min(max - done, kBlockFrames);
        const sf_count_t got =
            sf_readf_float(m_state->file, m_state->frames.data(), static_cast<sf_count_t>(want));
        if (got <= 0)
            break;
        const auto* frame = m_state->frames.data() + m_state->channel;
        for (sf_count_t i = 0; i < got; ++i, frame += channels) {
            const float v = *frame;
            out[done++] = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
        }
        if (static_cast<std::size_t>(got) < want)
            break;
    }
    return done;
}

bool WavReader::rewind()
{
    return m_state && sf_seek(m_state->file, 0, SEEK_SET) == 0;
}

namespace {

std::optional<WavAudio> readAll(WavReader& reader, std::size_t maxSamples)
{
    WavAudio audio;
    audio.sampleRate = reader.sampleRate();
    while (audio.samples.size() < maxSamples) {
        const std::size_t at = audio.samples.size();
        const std::size_t want = std::min(kBlockFrames, maxSamples - at);
        audio.samples.resize(at + want);
        const std::size_t got = reader.read(audio.samples.data() + at, want);
        audio.samples.resize(at + got);
        if (got < want)
            break;
    }
    return audio;
}

} // namespace

std::optional<WavAudio> parseWav(const std::uint8_t* data, std::size_t size, int channel,
                                 std::size_t maxSamples)
{
    WavReader reader;
    if (!reader.open(data, size, channel))
        return std::nullopt;
    return readAll(reader, maxSamples);
}

std::optional<WavAudio> readWavFile(const std::string& path, int channel, std::size_t maxSamples)
{
    WavReader reader;
    if (!reader.open(path, channel))
        return std::nullopt;
    return readAll(reader, maxSamples);
}

bool writeWavFile(const std::string& path, const WavAudio& audio)
{
    WavWriter writer;
    if (!writer.open(path, audio.sampleRate) || !writer.write(audio.samples.data(), audio.samples.size()))
        return false;
    writer.close();
    return true;
}

struct WavWriter::State {
    SNDFILE* file = nullptr;

    ~State()
    {
        if (file != nullptr)
            sf_close(file);
    }
};

WavWriter::WavWriter() = default;
WavWriter::~WavWriter() = default;

bool WavWriter::open(const std::string& path, int sampleRate)
{
    close();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        m_error = sf_strerror(nullptr);
        return false;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    m_state = std::make_unique<State>();
    m_state->file = file;
    m_error.clear();
    return true;
}

void WavWriter::close()
{
    m_state.reset();
}

bool WavWriter::isOpen() const
{
    return m_state != nullptr;
}

bool WavWriter::write(const float* samples, std::size_t count)
{
    if (!m_state)
        return false;
    const auto n = static_cast<sf_count_t>(count);
    if (sf_write_float(m_state->file, samples, n) != n) {
        m_error = sf_strerror(m_state->file);
        return false;
    }
    return true;
}

void WavWriter::flush()
{
    if (!m_state)
        return;
    sf_command(m_state->file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    sf_write_sync(m_state->file);
}

struct RateConverter::State {
    std::optional<Resampler> resampler; // none when the rates are equal
    std::vector<Complex> scratch;
};

RateConverter::RateConverter(int inRate, int outRate) : m_state(std::make_unique<State>())
{
    if (inRate == outRate)
        return;
    // The modem's band ends below 4.5 kHz: nothing above it needs to survive, which keeps the
    // filter short.
    const double lower = std::min(inRate, outRate);
    const double cutoff = std::min(0.42 * lower, 4500.0);
    const double transition = lower / 2.0 - cutoff;
    const int taps = std::clamp(static_cast<int>(std::ceil(4.0 * inRate / transition)), 16, 512);
    m_state->resampler.emplace(inRate, outRate, cutoff, taps);
}

RateConverter::~RateConverter() = default;

void RateConverter::process(const float* in, std::size_t count, std::vector<float>& out)
{
    if (!m_state->resampler) {
        out.insert(out.end(), in, in + count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        m_state->scratch.clear();
        m_state->resampler->process(Complex{in[i], 0.0f}, m_state->scratch);
        for (const Complex& c : m_state->scratch)
            out.push_back(c.real());
    }
}

} // namespace hf::modem
