#pragma once

#include "hf/modem/channel_demodulator.h"
#include "hf/modem/fft.h"
#include "hf/modem/front_end.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hf::modem {

/// The 25-channel receiver: one shared front end (band-limit and decimate once), then per
/// channel a mixer, filter and demodulator. Also the spectrum for the waterfall and the signal
/// level. Every channel setting may change while it runs.
class Receiver {
public:
    static constexpr int kChannels = 25;
    /// Spectrum: kSpectrumBins bins of kSpectrumStep Hz from 0 Hz (0..2990 Hz).
    static constexpr int kSpectrumBins = 300;
    static constexpr double kSpectrumStep = 10.0;
    /// Characters kept per channel until taken; older ones are dropped beyond this.
    static constexpr std::size_t kMaxPending = 4096;

    /// `sampleRate` 8000..192000 Hz (11025 or 48000 from the sound card). Every channel starts
    /// as "bpsk" 62.5 Bd at 1500 Hz, squelch 600, enabled.
    explicit Receiver(double sampleRate);

    /// Channel mode string and rate ("bpsk", "BPSK", "qpsk-U", "qpsk-L", "mfsk-U", "mfsk-L",
    /// "GMSK"; 15.625, 62.5, 63, 125, 250). Returns false (and changes nothing) for an unknown
    /// combination or channel. A channel whose mode is set to what it has keeps running.
    bool setMode(int channel, std::string_view mode, double rate);
    bool setMode(int channel, const ModeConfig& mode);
    /// Carrier (tone-set centre for MFSK) in Hz, 100..3900.
    bool setCarrier(int channel, double hz);
    bool setSquelch(int channel, int level);
    bool setEnabled(int channel, bool enabled);

    /// 0 idle, 1 receiving; -1 for a channel number out of range.
    int state(int channel) const;
    /// Carrier in Hz as set (the tracking offset is not included); 0 when out of range.
    double carrier(int channel) const;
    int quality(int channel) const;
    const ChannelDemodulator* channel(int channel) const;

    /// Feeds audio (-1..+1) in any chunk size.
    void process(const float* samples, std::size_t count);
    /// Characters decoded on `channel` since the last call.
    std::string takeText(int channel);

    /// Latest spectrum in dB (relative to full scale), kSpectrumBins values; about 12 new
    /// ones a second. Returns false when there is no new one since the last call.
    bool takeSpectrum(std::vector<float>& out);
    /// Input level over the last spectrum period: dB relative to full scale, and as 0..100
    /// (-60 dBFS and below -> 0, 0 dBFS -> 100).
    double levelDb() const { return m_levelDb; }
    int level() const;

    double sampleRate() const { return m_frontEnd.sampleRate(); }
    void reset();

private:
    struct Channel {
        std::unique_ptr<ChannelDemodulator> demod;
        bool enabled = true;
        std::string pending;
    };
    bool valid(int channel) const { return channel >= 0 && channel < kChannels; }
    void spectrumSample(Complex x);

    FrontEnd m_frontEnd;
    std::array<Channel, kChannels> m_channels;
    std::vector<Complex> m_work;
    std::string m_text;

    // Spectrum and level.
    static constexpr int kFftSize = 512;
    Fft m_fft{kFftSize};
    std::vector<float> m_fftWindow;
    std::vector<Complex> m_history;
    std::vector<Complex> m_fftBuffer;
    std::size_t m_historyPos = 0;
    int m_sinceSpectrum = 0;
    int m_spectrumPeriod;
    std::vector<float> m_spectrum;
    bool m_spectrumFresh = false;
    double m_powerSum = 0.0;
    std::size_t m_powerCount = 0;
    double m_levelDb = -120.0;
};

} // namespace hf::modem
