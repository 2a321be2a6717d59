#pragma once

// The two ends of the modem's audio: where received audio comes from and where transmitted
// audio goes. Implementations: sound devices, UDP, WAV files, an in-memory path, and null ends.
// Every end is created, used and destroyed on the modem's own thread; none of its calls may
// block for longer than a few milliseconds.

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>

namespace hf::radio {

/// What the modem asks of an audio end when it starts it.
struct AudioRequest {
    /// Sample rate wanted, Hz (11025 or 48000). An end may run at another rate (a WAV file
    /// has its own); it reports its rate after opening.
    int sampleRate = 48000;
    /// Sound device number in the system's list of input (or output) devices, -1 the default.
    int device = -1;
    /// Input channel of a stereo device: 0 mono (both mixed), 1 left, 2 right.
    int inputChannel = 0;
    /// Audio seconds per second of real time for ends that pace themselves (files, null and
    /// in-memory ends); sound devices always run at 1.
    double speed = 1.0;
};

class AudioInput {
public:
    virtual ~AudioInput() = default;
    /// Starts the input; false with a reason in `error` when it cannot.
    virtual bool open(const AudioRequest& request, QString& error) = 0;
    /// Sample rate after open(), Hz.
    virtual int sampleRate() const = 0;
    /// Copies up to `max` received samples (mono, -1..+1) that are due now into `out`.
    /// Returns the number copied, 0 when none is due, -1 when the end has failed (device
    /// gone); the modem then closes it and retries later.
    virtual std::ptrdiff_t read(float* out, std::size_t max) = 0;
    /// A short description for the window, e.g. "sound device 2" or "UDP port 7355".
    virtual QString name() const = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual bool open(const AudioRequest& request, QString& error) = 0;
    virtual int sampleRate() const = 0;
    /// Takes up to `count` samples for playing; returns how many were taken (fewer when its
    /// buffer is full), -1 when the end has failed.
    virtual std::ptrdiff_t write(const float* samples, std::size_t count) = 0;
    /// Samples taken but not played yet (still buffered or on their way to the converter).
    /// 0 means the last sample written has actually been played.
    virtual std::size_t pending() = 0;
    /// Drops everything not played yet (transmitter released early).
    virtual void discard() = 0;
    /// Marks the end of one transmission (a recording end may finish its file here).
    virtual void endOfTransmission() {}
    virtual QString name() const = 0;
};

/// Makers of the ends, called on the modem's thread each time the audio (re)starts.
using InputFactory = std::function<std::unique_ptr<AudioInput>()>;
using OutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

} // namespace hf::radio
