// Station-level sensitivity: how many frames of 60..120 characters reach the station with a
// good check, through the chain the program runs on received audio: the 25-channel receiver,
// the modem control's start-up channel plan, the transmit option's channel 0, the carrier
// rules on every periodic event, the squelch as the program sets it, and the frame assembly
// with its check. Only the sound card and the window are left out.
//
//   hf_station_sensitivity [--frames N] [--target-frames N] [--seed S] [--meter LEVEL]
//                          [--out FILE.md] [--noise MINUTES] [--mode MODE] [--more-seeds FIRST-LAST]
//
// The grid: every mode the default channel plan receives (with "GMSK-250" selected, as the
// window opens) and every transmit mode selected on channel 0; SNR from target-2 to target+3 dB
// (2500 Hz); the signal 0, +-20 and +-40 Hz off; --frames frames per point (--target-frames at
// target+1 dB), seeded white noise, 11025 Hz. Then the reference recordings of tests/data/hf
// (clean ones with seeded noise at target+1 dB) over the same offsets. Writes a Markdown table
// to --out (default docs/station-sensitivity.md) and the figures beside it (.dat) for the plot.
// --meter applies the level meter's squelch rule for a click at LEVEL before the audio starts.
// --noise runs the station on noise alone for MINUTES with each transmit option in turn and
// reports every character any channel prints (there should be none). --mode measures only the
// rows and recordings of one mode (psk63, gmsk250...), to look at it while working on it.
// --more-seeds measures target+1 dB again on other noise seeds (--target-frames frames per offset
// and seed) and adds their sums to the summary: one seed's 60 frames per row cannot tell 95 % from
// 92 %.
#include "hf/frame_assembler.h"
#include "hf/hf_frame.h"
#include "hf/modem.h"
#include "hf/modem/receiver.h"
#include "hf/modem/tests/station_recording.h"
#include "hf/modem/wav_file.h"
#include "hf/modem_control.h"
#include "station/station_links.h"
#include "station/waits.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

using station::TransmitMode;

namespace {

/// The Modem interface straight onto the DSP receiver, on the caller's thread: what the
/// sound-card modem's thread does with the settings, without the threads and sound devices.
class ReceiverModem : public hf::Modem {
public:
    /// The modem's level scale is the meter's: 0..4000 for the receiver's 0..100.
    static constexpr int kLevelScale = 40;

    /// Every channel starts as the modem thread starts it: "bpsk" at 62.5 Bd.
    explicit ReceiverModem(double rate) : m_receiver(rate)
    {
        m_modes.fill("bpsk");
        m_rates.fill(62.5);
    }
    hf::modem::Receiver& receiver() { return m_receiver; }

    void setCarrierFrequency(double) override {}
    void setRunning(bool) override {}
    void setTransmitter(bool) override {}
    void setSampleRate(int) override {}
    void setEndAfterQueue(bool) override {}
    void setSoundDevices(const QByteArray&) override {}
    void setInputChannel(int) override {}
    void setPttPort(const QByteArray&) override {}
    int state() const override { return kStateIdle; }
    void sendTune(int) override {}
    void queueText(const QByteArray&) override {}
    // Mode and rate arrive one after the other: a pair the receiver does not have leaves the
    // channel as it was, as on the modem's thread.
    void setChannelMode(int channel, const QByteArray& mode) override
    {
        m_modes.at(static_cast<std::size_t>(channel)) = mode.toStdString();
        applyMode(channel);
    }
    void setChannelRate(int channel, double baud) override
    {
        m_rates.at(static_cast<std::size_t>(channel)) = baud;
        applyMode(channel);
    }
    int channelCarrier(int channel) const override
    {
        return static_cast<int>(std::lround(m_receiver.carrier(channel)));
    }
    void setChannelCarrier(int channel, int hz) override { m_receiver.setCarrier(channel, hz); }
    void setChannelEnabled(int channel, bool on) override { m_receiver.setEnabled(channel, on); }
    void setChannelSquelch(int channel, int level) override { m_receiver.setSquelch(channel, level); }
    int channelState(int channel) const override { return m_receiver.state(channel); }
    int signalLevel() const override { return m_receiver.level() * kLevelScale; }
    void setNotch(int) override {}

private:
    void applyMode(int channel)
    {
        const auto i = static_cast<std::size_t>(channel);
        m_receiver.setMode(channel, m_modes.at(i), m_rates.at(i));
    }

    hf::modem::Receiver m_receiver;
    std::array<std::string, kChannelCount> m_modes{};
    std::array<double, kChannelCount> m_rates{};
};

/// The station's receive side at HF audio frequency `f` with `option` selected.
class Station {
public:
    Station(double rate, double f, TransmitMode option, std::optional<int> meterLevel) : m_modem(rate)
    {
        m_state.pskAudioFrequency = f;
        m_state.sampleSpeedCode = rate < 20000.0 ? 1 : 2;
        m_control.startUp();
        // The window opens with "GMSK-250" selected; the operator then picks `option` (a
        // selection that writes no squelch keeps GMSK-250's).
        m_control.selectTransmitMode(TransmitMode::Gmsk250);
        m_control.selectTransmitMode(option);
        if (meterLevel)
            m_control.applySquelchLevel(*meterLevel);
    }

    /// Plays `audio` through the station in 80 ms rounds (the modem thread's pace); returns
    /// the frames the assembly completed.
    QList<hf::AssembledFrame> play(const std::vector<float>& audio)
    {
        constexpr int kRoundMs = 80;
        hf::modem::Receiver& receiver = m_modem.receiver();
        const auto round = static_cast<std::size_t>(receiver.sampleRate() * kRoundMs / 1000.0);
        QList<hf::AssembledFrame> frames;
        std::vector<float> spectrum;
        for (std::size_t i = 0; i < audio.size(); i += round) {
            receiver.process(audio.data() + i, std::min(round, audio.size() - i));
            m_nowMs += kRoundMs;
            if (receiver.takeSpectrum(spectrum))
                m_control.onPeriodic(hf::Spectrum{});
            for (int ch = 0; ch < hf::Modem::kChannelCount; ++ch) {
                const std::string text = receiver.takeText(ch);
                m_printed[static_cast<std::size_t>(ch)] += static_cast<long long>(text.size());
                m_assembler.append(ch, QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
            }
            frames += m_assembler.tick(m_nowMs);
        }
        return frames;
    }

    /// Characters each channel printed so far.
    const std::array<long long, hf::Modem::kChannelCount>& printed() const { return m_printed; }

private:
    station::StationState m_state;
    station::Waits m_waits{m_state};
    station::StationLinks m_links;
    ReceiverModem m_modem;
    hf::ModemControl m_control{m_modem, m_state, m_waits, m_links};
    hf::FrameAssembler m_assembler;
    qint64 m_nowMs = 0;
    std::array<long long, hf::Modem::kChannelCount> m_printed{};
};

/// How many of `bodies` arrived in `frames` with a good check; adds the frames with a good
/// check that were never sent to `wrong`.
int goodFrames(const QList<hf::AssembledFrame>& frames, const std::vector<std::string>& bodies, int& wrong)
{
    int n = 0;
    for (const std::string& body : bodies)
        for (const hf::AssembledFrame& f : frames)
            if (f.good && hf::parseFrame(f.text).body == QByteArray::fromStdString(body)) {
                ++n;
                break;
            }
    for (const hf::AssembledFrame& f : frames)
        wrong += f.good && std::none_of(bodies.begin(), bodies.end(), [&](const std::string& body) {
            return hf::parseFrame(f.text).body == QByteArray::fromStdString(body);
        });
    return n;
}

struct Row {
    const char* mode;
    TransmitMode option;
    const char* label;
};

const Row kRows[] = {
    {"psk63", TransmitMode::Gmsk250, "plan"},           {"psk250", TransmitMode::Gmsk250, "plan"},
    {"mfsk16", TransmitMode::Gmsk250, "plan"},          {"gmsk250", TransmitMode::Gmsk250, "plan + ch 0"},
    {"psk63", TransmitMode::Psk63, "PSK-63 on ch 0"},   {"psk250", TransmitMode::Psk250, "PSK-250 on ch 0"},
    {"qpsk125", TransmitMode::Qpsk125, "ch 0"},         {"qpsk250", TransmitMode::Qpsk250, "ch 0"},
    {"mfsk16", TransmitMode::Mfsk16, "MFSK16 on ch 0"}, {"gmsk63", TransmitMode::Gmsk63, "ch 0"},
};

constexpr double kOffsets[] = {0.0, 20.0, -20.0, 40.0, -40.0};
constexpr double kAbove[] = {-2.0, -1.0, 0.0, 1.0, 2.0, 3.0};
constexpr double kRate = 11025.0;
constexpr double kF = 1500.0;

struct Reference {
    const char* file;
    const char* mode;
    TransmitMode option;
    double carrier;
    const char* body;
    bool clean;
};

const Reference kReferences[] = {
    {"psk63-48k-1500.wav", "psk63", TransmitMode::Gmsk250, 1500,
     "N0CALL>APSK63:=4807.03N/01131.00E>PSK63 reference", true},
    {"psk63-11k-2100-noisy.wav", "psk63", TransmitMode::Gmsk250, 2100,
     "N0CALL>APSK63::N1CALL   :noisy PSK63 at -6 dB{12", false},
    {"psk250-11k-2100.wav", "psk250", TransmitMode::Gmsk250, 2100,
     "N0CALL-7>APSK25,WIDE2-1:>PSK250 reference status", true},
    {"qpsk125-11k-2100.wav", "qpsk125", TransmitMode::Qpsk125, 2100,
     "N0CALL>APSK14::N1CALL-2 :QPSK125 reference{3", true},
    {"qpsk250-48k-1500.wav", "qpsk250", TransmitMode::Qpsk250, 1500, "N0CALL>APSK27:>QPSK250 reference",
     true},
    {"mfsk16-11k-2100.wav", "mfsk16", TransmitMode::Gmsk250, 2100, "N0CALL>APSK16::N1CALL   :ack12", true},
    {"mfsk16-11k-1500-noisy.wav", "mfsk16", TransmitMode::Gmsk250, 1500, "N0CALL>APSK16:>MFSK16 at -10 dB",
     false},
};

/// One reference recording with 3 s of noise before it; clean recordings get seeded noise for
/// `snrDb` (2500 Hz), noisy ones keep theirs (padded with noise of the same level).
std::vector<float> referenceAudio(const hf::modem::WavAudio& wav, bool clean, double snrDb, unsigned seed)
{
    std::vector<float> s = wav.samples;
    double power = 0.0;
    double quiet = 0.0; // the noise already in the file: its first 0.3 s carry no signal
    const auto head = static_cast<std::size_t>(0.3 * wav.sampleRate);
    for (std::size_t i = 0; i < head && i < s.size(); ++i)
        quiet += static_cast<double>(s[i]) * s[i];
    quiet /= static_cast<double>(head);
    power = modemtest::signalPower(s);
    const double noisePower =
        clean ? power / std::pow(10.0, snrDb / 10.0) * (wav.sampleRate / 2.0) / 2500.0 : quiet;
    std::vector<float> out(static_cast<std::size_t>(3.0 * wav.sampleRate), 0.0f);
    out.insert(out.end(), s.begin(), s.end());
    out.resize(out.size() + static_cast<std::size_t>(wav.sampleRate), 0.0f);
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, std::sqrt(noisePower));
    const std::size_t fileStart = static_cast<std::size_t>(3.0 * wav.sampleRate);
    for (std::size_t i = 0; i < out.size(); ++i)
        if (clean || i < fileStart || i >= fileStart + s.size())
            out[i] = static_cast<float>(out[i] + g(rng));
    return out;
}

constexpr const char* kUsage =
    "usage: hf_station_sensitivity [--frames N] [--target-frames N] [--seed S] [--meter LEVEL]\n"
    "                              [--out FILE.md] [--noise MINUTES] [--mode MODE]\n"
    "                              [--more-seeds FIRST-LAST]\n";

struct Options {
    int frames = 4;
    int targetFrames = 12;
    unsigned seed = 1;
    std::optional<int> meter;
    std::string out = "docs/station-sensitivity.md";
    double noiseMinutes = 0.0;
    std::string mode;                     // only this mode's rows and recordings (all if empty)
    unsigned moreFirst = 1, moreLast = 0; // --more-seeds (none when first > last)
};

std::string fraction(int good, int total)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d", good, total);
    return buf;
}

int runNoise(const Options& o)
{
    const std::pair<TransmitMode, const char*> options[] = {
        {TransmitMode::Gmsk250, "GMSK-250"}, {TransmitMode::Psk63, "PSK-63"},
        {TransmitMode::Psk250, "PSK-250"},   {TransmitMode::Qpsk125, "QPSK-125"},
        {TransmitMode::Qpsk250, "QPSK-250"}, {TransmitMode::Mfsk16, "MFSK16"},
        {TransmitMode::Gmsk63, "GMSK-63"}};
    const double perOption = o.noiseMinutes * 60.0;
    long long total = 0;
    std::mt19937 rng(o.seed);
    std::normal_distribution<float> g(0.0f, 0.05f);
    std::printf("noise alone, %.1f min per transmit option, 25 channels, %g Hz\n", perOption / 60.0, kRate);
    for (const auto& [option, name] : options) {
        Station station(kRate, kF, option, o.meter);
        std::vector<float> audio(static_cast<std::size_t>(kRate * 10.0));
        QList<hf::AssembledFrame> frames;
        for (double t = 0.0; t < perOption; t += 10.0) {
            for (auto& v : audio)
                v = g(rng);
            frames += station.play(audio);
        }
        std::string channels;
        long long sum = 0;
        for (int ch = 0; ch < hf::Modem::kChannelCount; ++ch) {
            const long long n = station.printed()[static_cast<std::size_t>(ch)];
            sum += n;
            if (n > 0)
                channels += " ch" + std::to_string(ch) + ":" + std::to_string(n);
        }
        total += sum;
        std::printf("%s: %lld characters, %lld frames%s\n", name, sum, static_cast<long long>(frames.size()),
                    channels.c_str());
        std::fflush(stdout);
    }
    return total == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    for (int i = 1; i < argc; i += 2) {
        const std::string a = argv[i];
        if (i + 1 == argc) { // --help, or an option without its value: the usage, not a run over the docs
            std::fprintf(stderr, "%s", kUsage);
            return a == "--help" ? 0 : 2;
        }
        const char* v = argv[i + 1];
        if (a == "--frames")
            o.frames = std::atoi(v);
        else if (a == "--target-frames")
            o.targetFrames = std::atoi(v);
        else if (a == "--seed")
            o.seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        else if (a == "--meter")
            o.meter = std::atoi(v);
        else if (a == "--out")
            o.out = v;
        else if (a == "--noise")
            o.noiseMinutes = std::atof(v);
        else if (a == "--mode")
            o.mode = v;
        else if (a == "--more-seeds") {
            if (!modemtest::parseSeeds(v, o.moreFirst, o.moreLast)) {
                std::fprintf(stderr, "--more-seeds FIRST-LAST, e.g. 2-5\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (o.noiseMinutes > 0.0)
        return runNoise(o);

    std::string dat;     // the plot's figures: per row, good frames (%) against dB above target
    std::string grid;    // the whole grid, one line per mode, receiving set-up and offset
    std::string summary; // target+1 dB over every offset
    int wrong = 0;       // frames with a good check that were never sent
    int played = 0;      // frames sent
    std::string references;
    const int runs = std::max(1, o.targetFrames / 2);
    const bool more = o.moreFirst <= o.moreLast;
    const std::string moreSeeds = std::to_string(o.moreFirst) + "-" + std::to_string(o.moreLast);
    // Rewritten after every row, so a long run leaves what it has measured.
    const auto write = [&] {
        std::ofstream(o.out.substr(0, o.out.rfind('.')) + ".dat") << dat;
        std::ofstream md(o.out);
        md << "# Station-level sensitivity\n\n"
              "Frames of 60..120 characters that reach the station with a good check, measured through "
              "the station's own receive chain: the 25-channel receiver, the modem control's start-up "
              "channel plan with \"GMSK-250\" selected as the window opens (then the transmit option of "
              "the row), the carrier rules on every periodic event, the squelch as the program sets it"
           << (o.meter ? " and then from a level-meter click at " + std::to_string(*o.meter) : std::string())
           << ", and the frame assembly with its check. Only the sound card is left out. Seeded white "
              "noise, SNR in 2500 Hz, 11025 Hz, HF audio frequency 1500 Hz; 3 s of noise before the "
              "first frame and 1.5 s between frames. "
           << o.frames << " frames per point, " << o.targetFrames << " at target+1 dB; seed " << o.seed
           << ". The single-demodulator character error rates at squelch 0 are in "
              "[modem-cer.md](modem-cer.md); recordings played into the running program in "
              "[station-check.md](station-check.md).\n\n"
              "Made with `build/hf/hf_station_sensitivity --frames "
           << o.frames << " --target-frames " << o.targetFrames
           << (more ? " --more-seeds " + moreSeeds : std::string())
           << "` (built with -DSKYLARK_BENCHMARKS=ON); the plot with "
              "`python3 docs/station-sensitivity.py`.\n\n"
              "![frames with a good check against SNR](station-sensitivity.png)\n\n"
              "## At target+1 dB, every offset (0, +-20, +-40 Hz): 95 % of frames wanted\n\n"
           << (more ? "The same again on noise seeds " + moreSeeds + ", " + std::to_string(o.targetFrames) +
                          " frames per offset and seed; 95 % is judged on all of them.\n\n"
                          "| Mode | receiving | SNR (dB) | seed " +
                          std::to_string(o.seed) + " | seeds " + moreSeeds +
                          " | all | 95 % |\n|---|---|---|---|---|---|---|\n"
                    : "| Mode | receiving | SNR (dB) | good frames | 95 % |\n|---|---|---|---|---|\n")
           << summary
           << "\n\"plan\": the default channel plan with GMSK-250 on channel 0; \"ch 0\": the mode "
              "selected as the transmit option (channel 0), the plan on the other channels.\n\n"
           << "Frames with a good check that were never sent, over all " << played
           << " frames of this page: " << wrong << ".\n\n"
              "## Every point\n\n| Mode | receiving | Hz off |";
        for (double a : kAbove)
            md << " target" << (a >= 0 ? "+" : "") << a << " dB |";
        md << "\n|---|---|---|";
        for (std::size_t i = 0; i < std::size(kAbove); ++i)
            md << "---|";
        md << "\n"
           << grid
           << "\n## Reference recordings\n\nThe recordings of tests/data/hf (independent generator), 3 s "
              "of noise before each; clean ones with seeded noise at target+1 dB, noisy ones at their own "
              "SNR. The station's HF audio frequency is set so the signal lies the given Hz off it; "
           << runs << " noise seeds per point.\n\n| Recording | SNR (dB) | receiving |";
        for (double offset : kOffsets)
            md << " " << offset << " Hz |";
        md << "\n|---|---|---|";
        for (std::size_t i = 0; i < std::size(kOffsets); ++i)
            md << "---|";
        md << "\n" << references;
    };
    // Good frames of `n` at `above` dB over the row's target, `offset` Hz off, on noise `seed`.
    const auto measure = [&](const Row& row, double offset, double above, int n, unsigned seed) {
        std::vector<modemtest::RecordedFrame> frames(static_cast<std::size_t>(n), {row.mode, offset, above});
        const auto rec = modemtest::stationRecording(frames, kRate, kF, seed);
        Station station(kRate, kF, row.option, o.meter);
        played += n;
        return goodFrames(station.play(rec.audio), rec.bodies, wrong);
    };
    unsigned seed = o.seed;
    for (const Row& row : kRows) {
        if (!o.mode.empty() && o.mode != row.mode) {
            seed += static_cast<unsigned>(std::size(kOffsets) * std::size(kAbove)); // as in a whole run
            continue;
        }
        const double target = modemtest::targetSnr(row.mode);
        dat += "above \"" + std::string(row.mode) + " (" + row.label + ")\"\n";
        std::vector<std::pair<int, int>> sums(std::size(kAbove));
        for (double offset : kOffsets) {
            grid += "| " + std::string(row.mode) + " | " + row.label + " | " +
                    std::to_string(static_cast<int>(offset)) + " |";
            for (std::size_t a = 0; a < std::size(kAbove); ++a) {
                const int n = kAbove[a] == 1.0 ? o.targetFrames : o.frames;
                const int good = measure(row, offset, kAbove[a], n, ++seed);
                sums[a].first += good;
                sums[a].second += n;
                grid += " " + fraction(good, n) + " |";
            }
            grid += "\n";
        }
        // Target+1 dB again on other seeds than the grid's (which counts up from --seed), one
        // per row and offset; the plot's target+1 dB point is then all of them.
        const int gridGood = sums[3].first;
        const int gridTotal = sums[3].second;
        if (more)
            for (unsigned s = o.moreFirst; s <= o.moreLast; ++s)
                for (std::size_t k = 0; k < std::size(kOffsets); ++k) {
                    const auto rowIndex = static_cast<unsigned>(&row - kRows);
                    sums[3].first += measure(row, kOffsets[k], 1.0, o.targetFrames,
                                             s * 100000u + rowIndex * 100u + static_cast<unsigned>(k));
                    sums[3].second += o.targetFrames;
                }
        for (std::size_t a = 0; a < std::size(kAbove); ++a)
            dat += std::to_string(static_cast<int>(kAbove[a])) + " " +
                   std::to_string(100.0 * sums[a].first / sums[a].second) + "\n";
        dat += "\n\n";
        const auto& [good, total] = sums[3];
        char line[200];
        if (more)
            std::snprintf(line, sizeof line, "| %s | %s | %.1f | %s | %s | %d/%d (%.1f %%) | %s |\n",
                          row.mode, row.label, target + 1.0, fraction(gridGood, gridTotal).c_str(),
                          fraction(good - gridGood, total - gridTotal).c_str(), good, total,
                          100.0 * good / total, good * 100 >= total * 95 ? "yes" : "no");
        else
            std::snprintf(line, sizeof line, "| %s | %s | %.1f | %d/%d (%.0f %%) | %s |\n", row.mode,
                          row.label, target + 1.0, good, total, 100.0 * good / total,
                          good * 100 >= total * 95 ? "yes" : "no");
        summary += line;
        write();
        std::printf("%s (%s) done\n", row.mode, row.label);
        std::fflush(stdout);
    }

    for (const Reference& r : kReferences) {
        if (!o.mode.empty() && o.mode != r.mode) {
            seed += static_cast<unsigned>(std::size(kOffsets) * static_cast<std::size_t>(runs));
            continue;
        }
        const auto wav = hf::modem::readWavFile(modemtest::dataPath(r.file));
        if (!wav) {
            std::fprintf(stderr, "cannot read %s\n", modemtest::dataPath(r.file).c_str());
            return 2;
        }
        const double snr = modemtest::targetSnr(r.mode) + 1.0;
        char level[32];
        std::snprintf(level, sizeof level, "%.1f", snr);
        references += "| " + std::string(r.file) + " | " + (r.clean ? level : "as recorded") + " | " +
                      (r.option == TransmitMode::Gmsk250 ? "plan" : "ch 0") + " |";
        for (double offset : kOffsets) {
            int good = 0;
            for (int k = 0; k < runs; ++k) {
                const auto audio = referenceAudio(*wav, r.clean, snr, ++seed);
                Station station(wav->sampleRate, r.carrier - offset, r.option, o.meter);
                ++played;
                good += goodFrames(station.play(audio), {r.body}, wrong);
            }
            references += " " + fraction(good, runs) + " |";
        }
        references += "\n";
        write();
        std::printf("%s done\n", r.file);
        std::fflush(stdout);
    }

    return 0;
}
