#pragma once

// Real time turned into a count of audio samples due, for the ends that have no sound device
// to set their pace (files, null and in-memory ends).

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace hf::radio
{

class PacedClock
{
public:
    /// Starts counting at `sampleRate` samples per second times `speed`.
    void start(int sampleRate, double speed)
    {
        m_rate = static_cast<double>(sampleRate) * std::max(speed, 0.001);
        m_taken = 0;
        m_timer.start();
    }
    /// Samples due since start() and not yet taken, at most `max` (a thread that was held up
    /// catches up at most this much at once, and never more than 2 s of audio).
    std::int64_t due(std::int64_t max)
    {
        const auto total = static_cast<std::int64_t>(
            std::floor(static_cast<double>(m_timer.nsecsElapsed()) * 1e-9 * m_rate));
        const auto lag = total - m_taken;
        const auto limit = static_cast<std::int64_t>(2.0 * m_rate);
        if (lag > limit)
            m_taken = total - limit; // dropped: the end fell behind by more than 2 s
        return std::clamp<std::int64_t>(total - m_taken, 0, max);
    }
    void take(std::int64_t n) { m_taken += n; }
    /// Samples that have been due since start().
    std::int64_t elapsedSamples() const
    {
        return static_cast<std::int64_t>(
            std::floor(static_cast<double>(m_timer.nsecsElapsed()) * 1e-9 * m_rate));
    }

private:
    QElapsedTimer m_timer;
    double m_rate = 1.0;
    std::int64_t m_taken = 0;
};

} // namespace hf::radio
