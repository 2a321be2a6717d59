#pragma once

// An in-memory audio path between two modems in one process (tests, demonstrations): what one
// modem transmits is heard by the other, with white noise added, both in real time or faster.

#include "hf/radio/paced_ends.h"

#include <QMutex>

#include <deque>
#include <memory>
#include <random>

namespace hf::radio {

/// One direction of the path. Bounded: beyond kMaxSeconds of unheard audio the oldest goes.
class AudioPipe {
public:
    static constexpr double kMaxSeconds = 30.0;

    /// `noiseRms` is the noise added at the listening end (0 = none), full scale 1.
    explicit AudioPipe(int sampleRate = 48000, double noiseRms = 0.0, unsigned seed = 1)
        : m_rate(sampleRate), m_noiseRms(noiseRms), m_random(seed)
    {
    }
    int sampleRate() const { return m_rate; }
    /// Stores what fits below the bound; returns how many were taken.
    std::size_t push(const float* samples, std::size_t count);
    std::size_t size();
    void clear();
    /// Fills `out` with what was sent (silence where nothing was) plus noise.
    void pull(float* out, std::size_t count);

private:
    QMutex m_mutex;
    std::deque<float> m_samples;
    int m_rate;
    double m_noiseRms;
    std::mt19937 m_random;
};

class MemoryInput final : public PacedInput {
public:
    explicit MemoryInput(std::shared_ptr<AudioPipe> pipe) : m_pipe(std::move(pipe)) {}
    QString name() const override { return QStringLiteral("in-memory audio"); }

protected:
    void produce(float* out, std::size_t count) override { m_pipe->pull(out, count); }
    int rateFor(const AudioRequest&) const override { return m_pipe->sampleRate(); }

private:
    std::shared_ptr<AudioPipe> m_pipe;
};

/// Hands what it is given to the pipe at once; a sample counts as played when the listening
/// end has taken it, so the listener hears the transmission without gaps.
class MemoryOutput final : public AudioOutput {
public:
    explicit MemoryOutput(std::shared_ptr<AudioPipe> pipe) : m_pipe(std::move(pipe)) {}
    QString name() const override { return QStringLiteral("in-memory audio"); }
    bool open(const AudioRequest& request, QString& error) override
    {
        if (request.sampleRate == m_pipe->sampleRate())
            return true;
        error = QStringLiteral("the in-memory path runs at %1 Hz").arg(m_pipe->sampleRate());
        return false;
    }
    int sampleRate() const override { return m_pipe->sampleRate(); }
    std::ptrdiff_t write(const float* samples, std::size_t count) override
    {
        return static_cast<std::ptrdiff_t>(m_pipe->push(samples, count));
    }
    std::size_t pending() override { return m_pipe->size(); }
    void discard() override { m_pipe->clear(); }

private:
    std::shared_ptr<AudioPipe> m_pipe;
};

} // namespace hf::radio
