#pragma once

// The sound-card modem's own thread: audio in through the notch into the 25-channel receiver,
// decoded text, spectrum and level out as signals; transmissions modulated, played and framed
// by the PTT line. Owned and driven by SoundCardModem; every slot here runs on this thread.

#include "hf/radio/audio_end.h"
#include "hf/radio/notch_filter.h"
#include "hf/radio/ptt_switch.h"

#include "hf/modem.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <vector>

class QTimer;

namespace hf::modem {
class Receiver;
}

namespace hf::radio {

/// One receive channel as the program set it.
struct ChannelSetting {
    QByteArray mode = "bpsk";
    double rate = 62.5;
    int carrier = 1500;
    int squelch = 600;
    bool enabled = true;
};

/// Settings written by the window thread and read by the modem thread, and the readings the
/// modem thread publishes for the window thread.
struct ModemShared {
    QMutex mutex; ///< guards the next three
    std::array<ChannelSetting, Modem::kChannelCount> channels{};
    int notchHz = 0;
    quint64 generation = 1; ///< raised on every change

    std::atomic<int> state{Modem::kStateIdle};
    std::array<std::atomic<int>, Modem::kChannelCount> channelStates{};
    std::atomic<int> level{0};
    /// Events posted to the window thread and not handled yet.
    std::atomic<int> inFlight{0};
};

struct WorkerConfig {
    InputFactory input;
    OutputFactory output;
    /// Audio seconds per real second for the ends that pace themselves.
    double speed = 1.0;
    /// Called on the modem thread at "ptt on" and "ptt off" (tests check the ordering against
    /// their audio end).
    std::function<void(const char*)> trace;
};

class ModemWorker : public QObject {
    Q_OBJECT
public:
    /// Events in flight to the window thread beyond which decoded text waits in the receiver
    /// and spectra are skipped (the window thread is held up).
    static constexpr int kMaxInFlight = 200;
    /// Texts waiting to be sent, and the longest piece modulated at once (longer texts are
    /// sent in pieces, back to back).
    static constexpr std::size_t kMaxQueuedTexts = 64;
    static constexpr qsizetype kMaxPiece = 512;
    /// A tune carrier ends by itself after this long.
    static constexpr double kTuneSeconds = 30.0;

    ModemWorker(ModemShared& shared, WorkerConfig config);
    ~ModemWorker() override;

    // Each of these runs on the modem thread (queued from SoundCardModem).
    void init();
    void shutdown();
    void setRunning(bool on);
    void setSampleRate(int hz);
    void setDevices(int rx, int tx);
    void setInputChannel(int channel);
    /// A new PTT setting; the old switch is released first. An unchanged setting keeps it.
    void setPtt(const PttChoice& choice);
    void setTxCarrier(double hz);
    void setTransmitter(bool on);
    void setEndAfterQueue(bool on);
    void queueText(const QByteArray& text);
    void sendTune();

signals:
    void periodic(const hf::Spectrum& spectrum);
    void textReceived(int channel, const QByteArray& text);
    void transmitStateChanged(bool transmitting);
    void statusChanged(const QString& text);
    void pttFailed(const QString& text);

private:
    void tick();
    void startAudio();
    void ensureAudio();
    void closeAudio(const QString& why);
    void restartAudio();
    void applySettings(bool all);
    void receive();
    void publish();
    void transmit();
    bool nextSamples();
    void startTx();
    void finishTx();
    void dropQueue();
    void setStatus(const QString& text);
    void trace(const char* event) const;
    bool tooBusy() const { return m_shared.inFlight.load() > kMaxInFlight; }

    ModemShared& m_shared;
    WorkerConfig m_config;
    QTimer* m_timer = nullptr;
    std::unique_ptr<PttSwitch> m_ptt;
    PttChoice m_pttChoice;
    std::unique_ptr<AudioInput> m_input;
    std::unique_ptr<AudioOutput> m_output;
    std::unique_ptr<hf::modem::Receiver> m_receiver;
    NotchFilter m_notch;

    // Settings of the audio ends.
    bool m_running = false;
    bool m_restart = false;
    int m_sampleRate = 48000;
    int m_rxDevice = -1;
    int m_txDevice = -1;
    int m_inputChannel = 0;
    QElapsedTimer m_retry;
    qint64 m_retryMs = 0;
    qint64 m_retryStep = 2000;

    // Receive.
    quint64 m_appliedGeneration = 0;
    std::array<ChannelSetting, Modem::kChannelCount> m_applied{};
    int m_appliedNotch = 0;
    std::vector<float> m_block;
    std::vector<float> m_spectrum;
    bool m_spectrumFresh = false;
    QElapsedTimer m_lastPeriodic;

    // Transmit.
    bool m_txOn = false;
    bool m_endAfterQueue = false;
    double m_txCarrier = 1500;
    std::deque<QByteArray> m_texts;
    std::vector<float> m_txSamples;
    std::size_t m_txPos = 0;
    std::size_t m_tuneLeft = 0;
    double m_tunePhase = 0;
    std::size_t m_tuneDone = 0;
    QString m_status;
};

} // namespace hf::radio
