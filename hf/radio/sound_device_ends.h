#pragma once

// The sound devices, through PortAudio. Device numbers count the system's input (or output)
// devices in the system's order, exactly as the start-up page lists them; -1 is the system's
// default device. A device that stops delivering (unplugged) makes read/write fail, and the
// modem opens it again later.

#include "hf/radio/audio_end.h"
#include "hf/radio/sample_ring.h"

#include <atomic>
#include <memory>

namespace hf::radio {

/// PortAudio started once per end; the library counts its users.
class PortAudioSession {
public:
    PortAudioSession();
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

/// Whether a started device still calls back: gone() once more than a set number of checks
/// (about 2 s of modem ticks) have seen no callback between them.
class CallbackWatch {
public:
    /// A callback ran (PortAudio's thread).
    void called() { m_calls.fetch_add(1, std::memory_order_relaxed); }
    /// One check from the modem's side.
    bool gone();

private:
    std::atomic<unsigned long long> m_calls{0};
    unsigned long long m_seen = 0;
    int m_quietChecks = 0;
};

class SoundDeviceInput final : public AudioInput {
public:
    ~SoundDeviceInput() override;
    bool open(const AudioRequest& request, QString& error) override;
    int sampleRate() const override { return m_rate; }
    std::ptrdiff_t read(float* out, std::size_t max) override;
    QString name() const override { return m_name; }

    /// Called by PortAudio on its own thread.
    void onAudio(const float* frames, unsigned long count);

private:
    std::unique_ptr<PortAudioSession> m_session;
    std::unique_ptr<SampleRing> m_ring;
    void* m_stream = nullptr;
    CallbackWatch m_watch;
    int m_channels = 1;
    int m_pick = 0; ///< -1 mix all, else the channel index taken
    int m_rate = 0;
    QString m_name;
};

class SoundDeviceOutput final : public AudioOutput {
public:
    ~SoundDeviceOutput() override;
    bool open(const AudioRequest& request, QString& error) override;
    int sampleRate() const override { return m_rate; }
    std::ptrdiff_t write(const float* samples, std::size_t count) override;
    std::size_t pending() override;
    void discard() override { m_discard.store(true); }
    QString name() const override { return m_name; }

    /// Called by PortAudio on its own thread; `dacTime` when the first frame will sound.
    void onAudio(float* frames, unsigned long count, double dacTime);

private:
    std::unique_ptr<PortAudioSession> m_session;
    std::unique_ptr<SampleRing> m_ring;
    void* m_stream = nullptr;
    std::atomic<double> m_lastSampleTime{0.0}; ///< stream time the last real sample sounds
    std::atomic<bool> m_discard{false};
    CallbackWatch m_watch;
    double m_latency = 0.0;
    int m_channels = 1;
    int m_rate = 0;
    QString m_name;
};

} // namespace hf::radio
