#pragma once

// A recording played into the receiver as if it were received, and a recording of everything
// transmitted. A recording may be any WAV (integer or float samples, several channels, any
// rate); what is recorded is 16-bit mono PCM WAV.

#include "hf/radio/paced_ends.h"

#include "hf/modem/wav_file.h"

#include <memory>
#include <vector>

namespace hf::radio {

/// Plays one channel of a WAV file in real time (or `speed` times faster), then silence. A file
/// at a rate the receiver takes (8000..192000 Hz) plays at its own rate (the receiver's front end
/// converts it); any other is converted to the modem's rate. The file is read a block at a time as it plays.
/// The channel is the request's input channel: 2 (right) takes the second, anything else the first.
class WavInput final : public PacedInput {
public:
    explicit WavInput(QString path) : m_path(std::move(path)) {}
    QString name() const override { return QStringLiteral("recording %1").arg(m_path); }
    /// True once every sample of the file has been delivered.
    bool finished() const { return m_atEnd && m_pending.empty(); }

protected:
    void produce(float* out, std::size_t count) override;
    bool prepare(const AudioRequest& request, QString& error) override;
    int rateFor(const AudioRequest&) const override { return m_convertedTo; }

private:
    QString m_path;
    hf::modem::WavReader m_reader;
    std::unique_ptr<hf::modem::RateConverter> m_converter;
    int m_convertedTo = 0;        ///< rate m_converter produces
    std::vector<float> m_block;   ///< samples as read from the file
    std::vector<float> m_pending; ///< converted samples not delivered yet
    bool m_atEnd = false;
};

/// Appends every transmitted sample to a WAV file, in real time. The header is brought up to
/// date at the end of each transmission, so the file is complete between transmissions.
class WavOutput final : public PacedOutput {
public:
    /// At most this much audio is recorded (the format's sizes are 32-bit).
    static constexpr double kMaxSeconds = 3600.0;

    explicit WavOutput(QString path) : m_path(std::move(path)) {}
    QString name() const override { return QStringLiteral("recording to %1").arg(m_path); }
    void endOfTransmission() override;

protected:
    void play(const float* samples, std::size_t count) override;
    bool prepare(const AudioRequest& request, QString& error) override;

private:
    QString m_path;
    hf::modem::WavWriter m_writer;
    std::size_t m_written = 0; ///< samples in the file
    std::size_t m_limit = 0;
    int m_rate = 0;
};

} // namespace hf::radio
