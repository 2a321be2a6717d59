#pragma once

// A recording played into the receiver as if it were received, and a recording of everything
// transmitted. Both are 16-bit mono PCM WAV files.

#include "paced_ends.h"

#include <QFile>

#include <vector>

namespace hf::radio {

/// Plays a WAV file at its own sample rate, in real time (or `speed` times faster), then
/// silence.
class WavInput final : public PacedInput {
public:
    explicit WavInput(QString path) : m_path(std::move(path)) {}
    QString name() const override { return QStringLiteral("recording %1").arg(m_path); }
    /// True once every sample of the file has been delivered.
    bool finished() const { return m_pos >= m_samples.size() && !m_samples.empty(); }

protected:
    void produce(float* out, std::size_t count) override;
    int rateFor(const AudioRequest&) const override { return m_rate; }
    bool prepare(QString& error) override;

private:
    QString m_path;
    std::vector<float> m_samples;
    std::size_t m_pos = 0;
    int m_rate = 0;
};

/// Appends every transmitted sample to a WAV file, in real time. The header is brought up to
/// date at the end of each transmission, so the file is complete between transmissions.
class WavOutput final : public PacedOutput {
public:
    /// At most this much audio is recorded (the format's sizes are 32-bit).
    static constexpr double kMaxSeconds = 3600.0;

    explicit WavOutput(QString path) : m_file(std::move(path)) {}
    ~WavOutput() override;
    QString name() const override { return QStringLiteral("recording to %1").arg(m_file.fileName()); }
    void endOfTransmission() override;

protected:
    void play(const float* samples, std::size_t count) override;
    bool prepare(const AudioRequest& request, QString& error) override;

private:
    void writeHeader();

    QFile m_file;
    std::size_t m_written = 0; ///< samples in the file
    std::size_t m_limit = 0;
    int m_rate = 0;
};

} // namespace hf::radio
