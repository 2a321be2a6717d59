#pragma once

// The station's sound-card modem: the 25-channel receiver and the modulator of hf::modem
// behind the Modem interface, on a thread of its own. Every Modem method returns at once: it
// hands its setting to the modem thread (queued, in order) or reads the latest published
// value; the modem's events arrive on the window thread as queued signals.

#include "hf/radio/audio_end.h"
#include "hf/radio/ptt_switch.h"

#include "hf/modem.h"

#include <QString>
#include <QThread>

#include <array>
#include <functional>
#include <memory>

namespace hf::radio {

class ModemWorker;
struct ModemShared;

class SoundCardModem : public Modem {
    Q_OBJECT
public:
    struct Config {
        /// Where received audio comes from and transmitted audio goes; empty: the sound
        /// devices chosen with setSoundDevices().
        InputFactory input;
        OutputFactory output;
        /// Port number (1..8) to serial device path, for the PTT port.
        std::function<QString(int)> pttDevice;
        /// How the transmitter is keyed; for serial lines, the device comes from the PTT
        /// port set with setPttPort().
        PttChoice ptt;
        /// Audio seconds per real second for the ends that pace themselves (1 = real time).
        double speed = 1.0;
        /// Called on the modem thread with "ptt on" / "ptt off" (tests).
        std::function<void(const char*)> trace;
    };

    explicit SoundCardModem(Config config, QObject* parent = nullptr);
    ~SoundCardModem() override;

    // --- Modem ---------------------------------------------------------------------
    void setCarrierFrequency(double hz) override;
    void setRunning(bool on) override;
    void setTransmitter(bool on) override;
    void setSampleRate(int hz) override;
    void setEndAfterQueue(bool on) override;
    void setSoundDevices(const QByteArray& rxCommaTx) override;
    void setInputChannel(int channel) override;
    void setPttPort(const QByteArray& port) override;
    int state() const override;
    void sendTune(int kind) override;
    void queueText(const QByteArray& text) override;
    void setChannelMode(int channel, const QByteArray& mode) override;
    void setChannelRate(int channel, double baud) override;
    int channelCarrier(int channel) const override;
    void setChannelCarrier(int channel, int hz) override;
    void setChannelEnabled(int channel, bool on) override;
    void setChannelSquelch(int channel, int level) override;
    int channelState(int channel) const override;
    int signalLevel() const override;
    void setNotch(int hz) override;

    /// What the modem is doing, for the window: running with which ends, idle and why.
    QString status() const { return m_status; }
    /// Whether the program asked the modem to run.
    bool running() const { return m_running; }

signals:
    void statusChanged(const QString& text);
    /// The PTT line could not be set (reported once per PTT setting).
    void pttFailed(const QString& text);

private:
    template <typename F> void onWorker(F&& f);
    template <typename F> void changeChannel(int channel, F&& f);

    std::unique_ptr<ModemShared> m_shared;
    QThread m_thread;
    ModemWorker* m_worker = nullptr;
    std::function<QString(int)> m_pttDevice;
    PttChoice m_ptt;
    QString m_status;
    bool m_running = false;
};

/// Parses "rx,tx" device numbers ("2,2", "-1,-1"); nothing for anything else.
std::optional<std::pair<int, int>> parseSoundDevices(const QByteArray& rxCommaTx);

} // namespace hf::radio
