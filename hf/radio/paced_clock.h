#pragma once

// Real time turned into a count of audio samples due, for the ends that have no sound device
// to set their pace (files, null and in-memory ends).

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace hf::radio {

class PacedClock {
public:
    /// Starts counting at `sampleRate` samples per second times `speed`.
    void start(int sampleRate, double speed)
    {
        m_rate = static_cast<double>(sampleRate) * std::max(speed, 0.001);
        m_taken = 0;
        m_timer.start();
    }
    /// Samples due since start() and not yet taken, at most `max`. A reader that was held up
    /// (a busy machine, a slow build) catches up `max` samples at a time and loses nothing:
    /// these ends make their samples on demand, so falling behind costs no memory.
    std::int64_t due(std::int64_t max)
    {
        return std::clamp<std::int64_t>(elapsedSamples() - m_taken, 0, max);
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
