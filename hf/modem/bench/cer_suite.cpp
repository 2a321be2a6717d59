// Character error rate against SNR for every mode, with seeded white noise, the sender 30 Hz off
// frequency and 100 ppm off clock, at 11025 Hz. Writes a Markdown table to the file named by the
// first argument (default docs/modem-cer.md) and the same figures beside it (.dat) for the plot.
// Run everything with:  cmake --build build --target modem-cer   (needs -DSKYLARK_BENCHMARKS=ON
// and gnuplot), which also draws docs/modem-cer.png.
//   hf_modem_cer [FILE.md] [MODE...] [--seeds FIRST-LAST]
// measures only the modes named, and on other text and noise seeds than the table's 1-4 (where
// two versions differ by a few characters, a wider set tells a change from chance).
#include "hf/modem/demodulator.h"
#include "hf/modem/modulator.h"
#include "hf/modem/tests/modem_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace hf::modem;

namespace {

double cer(const char* name, double snr, unsigned seed)
{
    const auto mode = *modeFromName(name);
    const double rate = 11025.0;
    std::string text;
    std::mt19937 rng(seed);
    const char* words[] = {"the ", "quick ", "brown ", "fox ",  "N0CALL ", "APRS ", "73 ",
                           "de ",  "jumps ", "over ",  "lazy ", "dog ",    "1234 ", "test "};
    while (text.size() < 1500)
        text += words[rng() % 14];
    Modulator modulator(mode, rate * (1.0 + 100e-6), 1530.0, 0.5);
    auto audio = modulator.modulate(text);
    double power = 0.0;
    for (float v : audio)
        power += static_cast<double>(v) * v;
    power /= static_cast<double>(audio.size());
    std::vector<float> padded(static_cast<std::size_t>(rate), 0.0f);
    padded.insert(padded.end(), audio.begin(), audio.end());
    padded.resize(padded.size() + static_cast<std::size_t>(rate), 0.0f);
    std::normal_distribution<double> g(0.0,
                                       std::sqrt(power / std::pow(10.0, snr / 10.0) * (rate / 2.0) / 2500.0));
    for (auto& v : padded)
        v = static_cast<float>(v + g(rng));
    // Scale into the range a sound card delivers.
    const double rms = std::sqrt(g.stddev() * g.stddev() + power);
    if (rms > 0.25)
        for (auto& v : padded)
            v = static_cast<float>(v * 0.25 / rms);
    Demodulator demod(rate, mode, 1500.0, 0);
    std::string out;
    demod.process(padded.data(), padded.size(), out);
    if (mode.modulation == Modulation::Mfsk) {
        const auto s = out.find("\r\x02\r");
        const auto e = out.rfind("\r\x04\r");
        if (s != std::string::npos && e != std::string::npos && e > s)
            out = out.substr(s + 3, e - s - 3);
    }
    // Compare the text part (noise before and after the signal does not count).
    const auto best = std::min(modemtest::editDistance(out, text), text.size());
    return static_cast<double>(best) / static_cast<double>(text.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::string path = "docs/modem-cer.md";
    std::vector<std::string> modes;
    unsigned firstSeed = 1;
    unsigned lastSeed = 4; // 4 x 1500 characters per point
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seeds" && i + 1 < argc) {
            if (!modemtest::parseSeeds(argv[++i], firstSeed, lastSeed)) {
                std::fprintf(stderr, "--seeds FIRST-LAST, e.g. 1-32\n");
                return 2;
            }
        } else if (i == 1 && arg.ends_with(".md"))
            path = arg;
        else if (modeFromName(arg))
            modes.push_back(arg);
        else {
            std::fprintf(stderr, "unknown mode %s\n", arg.c_str());
            return 2;
        }
    }
    struct Row {
        const char* name;
        double target;
    };
    const Row rows[] = {{"psk63", -8.5}, {"psk250", -2}, {"qpsk125", -3}, {"qpsk250", -1},
                        {"mfsk16", -14}, {"gmsk63", -7}, {"gmsk250", -1}};
    std::ofstream md(path);
    // Plot data for gnuplot: one block per mode, a header line naming it.
    std::ofstream csv(path.substr(0, path.rfind('.')) + ".dat");
    md << "| Mode | target (dB, 2 % CER) |";
    const std::vector<double> offsets = {-6, -4, -3, -2, -1, 0, 1, 2, 4};
    for (double o : offsets)
        md << " target" << (o >= 0 ? "+" : "") << o << " dB |";
    md << "\n|---|---|";
    for (std::size_t i = 0; i < offsets.size(); ++i)
        md << "---|";
    md << "\n";
    for (const auto& r : rows) {
        if (!modes.empty() && std::find(modes.begin(), modes.end(), r.name) == modes.end())
            continue;
        md << "| " << r.name << " | " << r.target << " |";
        csv << "snr " << r.name << "\n";
        for (double o : offsets) {
            const double snr = r.target + o;
            double total = 0.0;
            for (unsigned seed = firstSeed; seed <= lastSeed; ++seed)
                total += cer(r.name, snr, seed);
            const double c = total / (lastSeed - firstSeed + 1);
            char buf[64];
            std::snprintf(buf, sizeof buf, " %.2g %% |", 100.0 * c);
            md << buf;
            csv << snr << " " << std::max(c * 100.0, 0.01) << "\n";
            std::printf("%s %.1f dB: %.2f %%\n", r.name, snr, 100.0 * c);
            std::fflush(stdout);
        }
        md << "\n";
        csv << "\n\n";
    }
    return 0;
}
