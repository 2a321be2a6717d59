#pragma once

// Audio ends for the modem tests: a recording output that logs its events next to the
// modem's PTT trace, and an input that delivers generated audio as fast as it is read.

#include "hf/radio/paced_ends.h"

#include <QByteArrayList>
#include <QMutex>
#include <QMutexLocker>

#include <functional>
#include <memory>
#include <vector>

namespace radiotest {

/// Events of the modem thread in order ("ptt on", "audio", "played", "ptt off").
struct EventLog {
    QMutex mutex;
    QByteArrayList events;
    std::vector<float> samples;
    void add(const QByteArray& e)
    {
        QMutexLocker lock(&mutex);
        if (events.isEmpty() || events.last() != e)
            events.append(e);
    }
    QByteArrayList snapshot()
    {
        QMutexLocker lock(&mutex);
        return events;
    }
    std::vector<float> recorded()
    {
        QMutexLocker lock(&mutex);
        return samples;
    }
};

/// Plays in paced time; logs "audio" when samples are taken and "played" when the last one
/// taken has been played.
class RecordingOutput final : public hf::radio::PacedOutput {
public:
    explicit RecordingOutput(std::shared_ptr<EventLog> log) : m_log(std::move(log)) {}
    QString name() const override { return QStringLiteral("test recorder"); }
    std::ptrdiff_t write(const float* s, std::size_t n) override
    {
        if (n > 0)
            m_log->add("audio");
        return PacedOutput::write(s, n);
    }
    std::size_t pending() override
    {
        const std::size_t left = PacedOutput::pending();
        if (left == 0 && m_unplayed) {
            m_unplayed = false;
            m_log->add("played");
        }
        return left;
    }

protected:
    void play(const float* s, std::size_t n) override
    {
        QMutexLocker lock(&m_log->mutex);
        m_log->samples.insert(m_log->samples.end(), s, s + n);
        m_unplayed = true;
    }

private:
    std::shared_ptr<EventLog> m_log;
    bool m_unplayed = false;
};

/// Delivers `total` samples from `generate` as fast as they are read, then nothing.
class GeneratedInput final : public hf::radio::AudioInput {
public:
    GeneratedInput(int rate, std::size_t total, std::function<void(float*, std::size_t)> generate)
        : m_rate(rate), m_left(total), m_generate(std::move(generate))
    {
    }
    bool open(const hf::radio::AudioRequest&, QString&) override { return true; }
    int sampleRate() const override { return m_rate; }
    std::ptrdiff_t read(float* out, std::size_t max) override
    {
        const std::size_t n = std::min(max, m_left);
        m_generate(out, n);
        m_left -= n;
        return static_cast<std::ptrdiff_t>(n);
    }
    QString name() const override { return QStringLiteral("generated audio"); }

private:
    int m_rate;
    std::size_t m_left;
    std::function<void(float*, std::size_t)> m_generate;
};

} // namespace radiotest
