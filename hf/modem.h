#pragma once

// The sound-card modem as the station drives it: one typed method per setting or reading the
// program uses, and signals for the modem's events. Implementations: ScriptedModem (tests and
// the idle default) and the real DSP modem.
//
// Channels: 25 receive channels, 0..24, all decoding the same audio on their own carrier and
// mode; channel 0 is also the transmit channel. Frequencies are audio frequencies in Hz.
// Every method is called on the user-interface thread; an implementation that runs its DSP on
// another thread must post its signals there (queued connections).

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>

namespace hf {

/// One spectrum snapshot of the received audio, for the waterfalls and the level meter.
struct Spectrum {
    /// Power per bin in dB relative to full scale (0 = full scale, about -120 = silence),
    /// bin i covering i * binHz .. (i + 1) * binHz.
    QList<float> levelsDb;
    /// Width of one bin in Hz (> 0 when levelsDb is not empty).
    double binHz = 0.0;
};

class Modem : public QObject {
    Q_OBJECT
public:
    static constexpr int kChannelCount = 25;
    /// modem state(): 0 idle, 2 transmitting; any other non-zero value counts as busy.
    static constexpr int kStateIdle = 0;
    static constexpr int kStateTransmitting = 2;

    using QObject::QObject;
    ~Modem() override = default;

    /// Carrier audio frequency of the transmitter, Hz.
    virtual void setCarrierFrequency(double hz) = 0;
    /// Runs (true) or stops (false) audio input and output and all decoding.
    virtual void setRunning(bool on) = 0;
    /// Keys (true) or releases (false) the transmitter, PTT included. Releasing discards the
    /// rest of the queue.
    virtual void setTransmitter(bool on) = 0;
    /// Sample rate of the sound devices: 11025 or 48000.
    virtual void setSampleRate(int hz) = 0;
    /// True: end the transmission (release PTT) once the queued text has been sent.
    virtual void setEndAfterQueue(bool on) = 0;
    /// Sound devices as "rx,tx": two device numbers joined by a comma, -1 the system default
    /// (e.g. "2,2", "-1,-1").
    virtual void setSoundDevices(const QByteArray& rxCommaTx) = 0;
    /// Sound input channel: 0 mono, 1 left, 2 right.
    virtual void setInputChannel(int channel) = 0;
    /// Serial port keyed for PTT: "NONE" or "COM1" .. "COM8" (port numbers as the station's
    /// serial-port list numbers them).
    virtual void setPttPort(const QByteArray& port) = 0;
    /// kStateIdle, kStateTransmitting, or another non-zero busy value.
    virtual int state() const = 0;
    /// Sends an unmodulated tune carrier on the transmit carrier; `kind` is 4 for the
    /// operator's "HF TUNE" (the meaning of other values is the modem's).
    virtual void sendTune(int kind) = 0;
    /// Queues 8-bit text for transmission on channel 0 in channel 0's mode and rate.
    virtual void queueText(const QByteArray& text) = 0;

    /// Channel mode: "bpsk", "BPSK", "qpsk-U", "mfsk-U", "mfsk-L", "GMSK".
    virtual void setChannelMode(int channel, const QByteArray& mode) = 0;
    /// Channel symbol rate in baud: 15.625, 62.5, 63, 125 or 250.
    virtual void setChannelRate(int channel, double baud) = 0;
    /// Channel carrier, Hz.
    virtual int channelCarrier(int channel) const = 0;
    virtual void setChannelCarrier(int channel, int hz) = 0;
    /// Enables a channel's decoder (every channel is enabled at start-up).
    virtual void setChannelEnabled(int channel, bool on) = 0;
    /// Channel squelch level, on the modem's level scale (the scale of level()).
    virtual void setChannelSquelch(int channel, int level) = 0;
    /// 0 idle, 1 receiving a signal.
    virtual int channelState(int channel) const = 0;
    /// Received signal level, on the modem's level scale (0 .. about 4000).
    virtual int signalLevel() const = 0;
    /// Notch filter frequency in Hz; 0 switches the notch off.
    virtual void setNotch(int hz) = 0;

signals:
    /// Periodic event (a few times a second while running) with the latest spectrum.
    void periodic(const hf::Spectrum& spectrum);
    /// Characters decoded on `channel` (0..24), 8-bit text.
    void textReceived(int channel, const QByteArray& text);
    /// The transmitter went on (true) or off (false).
    void transmitStateChanged(bool transmitting);
    /// The level meter's event: a level on the modem's scale from which the squelch of every
    /// channel is derived.
    void levelEvent(int level);
};

} // namespace hf

Q_DECLARE_METATYPE(hf::Spectrum)
