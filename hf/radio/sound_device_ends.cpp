#include "hf/radio/sound_device_ends.h"

#include <portaudio.h>

#include <algorithm>
#include <vector>

namespace hf::radio {

namespace {

/// PortAudio's index of entry `number` of the input (or output) list; -1 the default.
PaDeviceIndex deviceIndex(int number, bool input)
{
    if (number < 0)
        return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    int seen = 0;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info || !info->name)
            continue;
        if ((input ? info->maxInputChannels : info->maxOutputChannels) <= 0)
            continue;
        if (seen++ == number)
            return i;
    }
    return paNoDevice;
}

int inputCallback(const void* in, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user)
{
    static_cast<SoundDeviceInput*>(user)->onAudio(static_cast<const float*>(in), frames);
    return paContinue;
}

int outputCallback(const void*, void* out, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                   PaStreamCallbackFlags, void* user)
{
    static_cast<SoundDeviceOutput*>(user)->onAudio(static_cast<float*>(out), frames,
                                                   time ? time->outputBufferDacTime : 0.0);
    return paContinue;
}

/// Reads and writes fail once a started device has not called back for this many modem ticks
/// (about 2 s): the device is gone.
constexpr int kQuietLimit = 200;

/// Starts the sound system and finds the requested device; nullptr (with `error` set) when
/// either fails. `index` receives the device's index.
const PaDeviceInfo* findDevice(const AudioRequest& request, bool input,
                               std::unique_ptr<PortAudioSession>& session, PaDeviceIndex& index,
                               QString& error)
{
    session = std::make_unique<PortAudioSession>();
    if (!session->ok()) {
        error = QStringLiteral("the sound system cannot be started");
        return nullptr;
    }
    index = deviceIndex(request.device, input);
    const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    if (!info) {
        const QString kind = input ? QStringLiteral("input") : QStringLiteral("output");
        error = request.device < 0 ? QStringLiteral("no sound %1 device").arg(kind)
                                   : QStringLiteral("sound %1 %2 not found").arg(kind).arg(request.device);
    }
    return info;
}

/// Opens and starts a stream of `channels` float samples one way on device `index`; nullptr
/// (with `error` naming the device `name`) when the sound system refuses.
PaStream* startStream(PaDeviceIndex index, const PaDeviceInfo& info, bool input, int channels, int rate,
                      PaStreamCallback* callback, void* user, const QString& name, QString& error)
{
    PaStreamParameters p{};
    p.device = index;
    p.channelCount = channels;
    p.sampleFormat = paFloat32;
    p.suggestedLatency = input ? info.defaultLowInputLatency : info.defaultLowOutputLatency;
    PaStream* stream = nullptr;
    PaError e = Pa_OpenStream(&stream, input ? &p : nullptr, input ? nullptr : &p, rate,
                              paFramesPerBufferUnspecified, paNoFlag, callback, user);
    if (e == paNoError) {
        e = Pa_StartStream(stream);
        if (e != paNoError)
            Pa_CloseStream(stream);
    }
    if (e != paNoError) {
        error = QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(Pa_GetErrorText(e)));
        return nullptr;
    }
    return stream;
}

void closeStream(PaStream* stream)
{
    if (stream) {
        Pa_AbortStream(stream);
        Pa_CloseStream(stream);
    }
}

} // namespace

bool CallbackWatch::gone()
{
    const unsigned long long calls = m_calls.load(std::memory_order_relaxed);
    if (calls != m_seen) {
        m_quietChecks = 0;
        m_seen = calls;
        return false;
    }
    return ++m_quietChecks > kQuietLimit;
}

PortAudioSession::PortAudioSession() : m_ok(Pa_Initialize() == paNoError) {}

PortAudioSession::~PortAudioSession()
{
    if (m_ok)
        Pa_Terminate();
}

SoundDeviceInput::~SoundDeviceInput()
{
    closeStream(m_stream);
}

bool SoundDeviceInput::open(const AudioRequest& request, QString& error)
{
    PaDeviceIndex index = paNoDevice;
    const PaDeviceInfo* info = findDevice(request, true, m_session, index, error);
    if (!info)
        return false;
    m_name = QString::fromLocal8Bit(info->name);
    m_channels = std::min(2, info->maxInputChannels);
    m_pick = request.inputChannel == 0 || m_channels == 1 ? -1 : request.inputChannel - 1;
    m_rate = request.sampleRate;
    m_ring = std::make_unique<SampleRing>(static_cast<std::size_t>(m_rate) * 2);
    m_stream = startStream(index, *info, true, m_channels, m_rate, inputCallback, this, m_name, error);
    return m_stream != nullptr;
}

void SoundDeviceInput::onAudio(const float* frames, unsigned long count)
{
    m_watch.called();
    if (!frames)
        return;
    float mono[512];
    unsigned long done = 0;
    while (done < count) {
        const unsigned long n = std::min<unsigned long>(512, count - done);
        for (unsigned long i = 0; i < n; ++i) {
            const float* f = frames + (done + i) * static_cast<unsigned long>(m_channels);
            if (m_pick >= 0)
                mono[i] = f[m_pick];
            else if (m_channels == 2)
                mono[i] = 0.5f * (f[0] + f[1]);
            else
                mono[i] = f[0];
        }
        m_ring->push(mono, n); // beyond 2 s unread audio is dropped
        done += n;
    }
}

std::ptrdiff_t SoundDeviceInput::read(float* out, std::size_t max)
{
    if (!m_stream || Pa_IsStreamActive(m_stream) != 1)
        return -1;
    if (m_watch.gone())
        return -1;
    return static_cast<std::ptrdiff_t>(m_ring->pop(out, max));
}

SoundDeviceOutput::~SoundDeviceOutput()
{
    closeStream(m_stream);
}

bool SoundDeviceOutput::open(const AudioRequest& request, QString& error)
{
    PaDeviceIndex index = paNoDevice;
    const PaDeviceInfo* info = findDevice(request, false, m_session, index, error);
    if (!info)
        return false;
    m_name = QString::fromLocal8Bit(info->name);
    m_channels = std::min(2, info->maxOutputChannels);
    m_rate = request.sampleRate;
    m_ring = std::make_unique<SampleRing>(static_cast<std::size_t>(m_rate) * 2);
    PaStream* stream =
        startStream(index, *info, false, m_channels, m_rate, outputCallback, this, m_name, error);
    if (!stream)
        return false;
    m_stream = stream;
    if (const PaStreamInfo* si = Pa_GetStreamInfo(stream))
        m_latency = si->outputLatency;
    return true;
}

void SoundDeviceOutput::onAudio(float* frames, unsigned long count, double dacTime)
{
    m_watch.called();
    if (m_discard.exchange(false))
        m_ring->clear();
    float mono[512];
    unsigned long done = 0;
    while (done < count) {
        const unsigned long n = std::min<unsigned long>(512, count - done);
        const std::size_t got = m_ring->pop(mono, n);
        std::fill(mono + got, mono + n, 0.0f);
        for (unsigned long i = 0; i < n; ++i)
            for (int c = 0; c < m_channels; ++c)
                frames[(done + i) * static_cast<unsigned long>(m_channels) + static_cast<unsigned long>(c)] =
                    mono[i];
        if (got > 0) {
            // When the last real sample of this block reaches the converter.
            const double start = dacTime > 0 ? dacTime : Pa_GetStreamTime(m_stream) + m_latency;
            m_lastSampleTime.store(start + static_cast<double>(done + got) / m_rate);
        }
        done += n;
    }
}

std::ptrdiff_t SoundDeviceOutput::write(const float* samples, std::size_t count)
{
    if (!m_stream || Pa_IsStreamActive(m_stream) != 1)
        return -1;
    return static_cast<std::ptrdiff_t>(m_ring->push(samples, count));
}

std::size_t SoundDeviceOutput::pending()
{
    if (!m_stream || Pa_IsStreamActive(m_stream) != 1)
        return 0; // a device that is gone plays nothing more
    if (m_watch.gone())
        return 0;
    const std::size_t queued = m_ring->size();
    if (queued > 0)
        return queued;
    const double left = m_lastSampleTime.load() - Pa_GetStreamTime(m_stream);
    return left > 0 ? static_cast<std::size_t>(left * m_rate) + 1 : 0;
}

} // namespace hf::radio
