#pragma once

// A modem that transmits nothing and decodes nothing by itself: tests inject received text,
// channel states, the modem state and events, and read back every write in order. The main
// window runs it idle until a sound-card modem is plugged in.

#include "hf/modem.h"

#include <QByteArrayList>

#include <array>

namespace hf {

class ScriptedModem : public Modem {
    Q_OBJECT
public:
    using Modem::Modem;

    // --- Modem ---------------------------------------------------------------------
    void setCarrierFrequency(double hz) override;
    void setRunning(bool on) override;
    void setTransmitter(bool on) override;
    void setSampleRate(int hz) override;
    void setEndAfterQueue(bool on) override;
    void setSoundDevices(const QByteArray& rxCommaTx) override;
    void setInputChannel(int channel) override;
    void setPttPort(const QByteArray& port) override;
    int state() const override { return m_state; }
    void sendTune(int kind) override;
    void queueText(const QByteArray& text) override;
    void setChannelMode(int channel, const QByteArray& mode) override;
    void setChannelRate(int channel, double baud) override;
    int channelCarrier(int channel) const override;
    void setChannelCarrier(int channel, int hz) override;
    void setChannelEnabled(int channel, bool on) override;
    void setChannelSquelch(int channel, int level) override;
    int channelState(int channel) const override;
    int signalLevel() const override { return m_signalLevel; }
    void setNotch(int hz) override;

    // --- Script ----------------------------------------------------------------------
    /// Every write, in order, as "name=value" or "chN.name=value", e.g. "carrier=2100",
    /// "ch0.mode=GMSK", "ch3.rate=62.5", "queue=<text>", "transmitter=1", "tune=4".
    const QByteArrayList& writes() const { return m_writes; }
    /// Only the writes starting with `prefix`.
    QByteArrayList writesStartingWith(const QByteArray& prefix) const;
    /// Every text queued for transmission, in order.
    const QByteArrayList& queued() const { return m_queued; }
    void clearWrites();

    bool running() const { return m_running; }
    bool transmitterOn() const { return m_transmitter; }
    QByteArray channelMode(int channel) const;
    double channelRate(int channel) const;
    int channelSquelch(int channel) const;
    int notch() const { return m_notch; }
    double carrierFrequency() const { return m_carrier; }

    void setModemState(int state) { m_state = state; }
    void setChannelState(int channel, int state);
    void setSignalLevel(int level) { m_signalLevel = level; }

    /// Emits textReceived(channel, text).
    void injectText(int channel, const QByteArray& text);
    /// Emits periodic() with a flat spectrum of 512 bins of 5.859375 Hz (0..3000 Hz).
    void firePeriodic();
    void fireTransmitState(bool transmitting);
    void fireLevel(int level);

private:
    void record(const QByteArray& entry);
    static bool validChannel(int channel) { return channel >= 0 && channel < kChannelCount; }

    /// Kept bounded: an idle window runs this modem for hours.
    static constexpr qsizetype kMaxWrites = 100000;

    QByteArrayList m_writes;
    QByteArrayList m_queued;
    int m_state = kStateIdle;
    int m_signalLevel = 0;
    int m_notch = 0;
    double m_carrier = 0.0;
    bool m_running = false;
    bool m_transmitter = false;
    std::array<QByteArray, kChannelCount> m_modes{};
    std::array<double, kChannelCount> m_rates{};
    std::array<int, kChannelCount> m_carriers{};
    std::array<int, kChannelCount> m_squelch{};
    std::array<int, kChannelCount> m_states{};
};

} // namespace hf
