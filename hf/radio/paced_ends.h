#pragma once

// Audio ends that keep time by the clock: an input that delivers the samples due since it
// started, and an output that plays what it was given at the sample rate. The null ends, the
// WAV ends and the in-memory path are built on these.

#include "hf/radio/audio_end.h"
#include "hf/radio/paced_clock.h"

#include <deque>

namespace hf::radio {

class PacedInput : public AudioInput {
public:
    bool open(const AudioRequest& request, QString& error) override;
    int sampleRate() const override { return m_rate; }
    std::ptrdiff_t read(float* out, std::size_t max) override;

protected:
    /// Fills `out` with the next `count` samples.
    virtual void produce(float* out, std::size_t count) = 0;
    /// The rate this end runs at for a request (a file has its own).
    virtual int rateFor(const AudioRequest& request) const { return request.sampleRate; }
    virtual bool prepare(const AudioRequest& /*request*/, QString& /*error*/) { return true; }

private:
    PacedClock m_clock;
    int m_rate = 0;
};

class PacedOutput : public AudioOutput {
public:
    /// Samples held for playing at most, in seconds of audio.
    static constexpr double kBufferSeconds = 10.0;

    bool open(const AudioRequest& request, QString& error) override;
    int sampleRate() const override { return m_rate; }
    std::ptrdiff_t write(const float* samples, std::size_t count) override;
    std::size_t pending() override;
    void discard() override { m_buffer.clear(); }

protected:
    /// `count` samples have just been played.
    virtual void play(const float* samples, std::size_t count) = 0;
    virtual bool prepare(const AudioRequest& /*request*/, QString& /*error*/) { return true; }

private:
    PacedClock m_clock;
    std::deque<float> m_buffer;
    std::vector<float> m_chunk;
    std::size_t m_capacity = 0;
    double m_speed = 1.0;
    int m_rate = 0;
};

/// Silence, in real time: the receiver runs and shows its state with nothing connected.
class NullInput final : public PacedInput {
public:
    QString name() const override { return QStringLiteral("no audio input"); }

protected:
    void produce(float* out, std::size_t count) override;
};

/// Plays into nothing, in real time (transmissions take their real length).
class NullOutput final : public PacedOutput {
public:
    QString name() const override { return QStringLiteral("no audio output"); }

protected:
    void play(const float*, std::size_t) override {}
};

} // namespace hf::radio
