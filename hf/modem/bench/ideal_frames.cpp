// Frames an ideal BPSK receiver loses: the station table's frames of 60..120 characters, sent as
// differential BPSK and read with the carrier phase and the symbol timing known, at the
// matched-filter bound (each symbol carries the signal's mean power times the symbol time), then
// through the soft varicode decoder. No receiver of PSK63 or PSK250 with this decoder loses
// fewer; docs/station-sensitivity.md measures the station against it.
//
//   hf_modem_ideal_frames [FRAMES [MODE...]]      MODE: psk63, psk250 (default both)
#include "hf/modem/soft_varicode_decoder.h"
#include "hf/modem/tests/station_recording.h"
#include "hf/modem/varicode.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

/// Frames lost of `frames` at `snrDb` (2500 Hz) and `baud`.
int framesLost(const char* mode, double baud, double snrDb, int frames, unsigned seed)
{
    const double symbolSnr = std::pow(10.0, snrDb / 10.0) * 2500.0 / baud; // Es/N0
    const double sigma = std::sqrt(1.0 / (2.0 * symbolSnr));
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    int lost = 0;
    for (int n = 1; n <= frames; ++n) {
        const std::string body = modemtest::stationBody(n, {mode, 0.0}, seed, rng);
        const std::string text = modemtest::frame(body);
        std::vector<std::uint8_t> bits(32, 0); // reversals before the text, as the idle sends
        hf::modem::appendPskBits(text, bits);
        hf::modem::SoftVaricodeDecoder decoder(1);
        std::string out;
        double side = 1.0;
        double previous = 1.0;
        for (std::uint8_t bit : bits) {
            if (bit == 0)
                side = -side; // a 0 bit reverses the phase
            const double r = side + noise(rng);
            const double decided = r >= 0.0 ? 1.0 : -1.0;
            decoder.push(static_cast<float>(decided * previous * std::fabs(2.0 * r) / (sigma * sigma)), out);
            previous = decided;
        }
        decoder.flush(out);
        if (out.find("~" + body + modemtest::crcHex(body) + "\t~") == std::string::npos)
            ++lost;
    }
    return lost;
}

} // namespace

int main(int argc, char** argv)
{
    constexpr const char* kUsage = "usage: hf_modem_ideal_frames [FRAMES [psk63|psk250...]]\n";
    char* end = nullptr;
    const long frames = argc > 1 ? std::strtol(argv[1], &end, 10) : 2000;
    if (argc > 1 && (*end != '\0' || frames < 1 || frames > 1000000)) {
        std::fprintf(stderr, "%s", kUsage);
        return std::string(argv[1]) == "--help" ? 0 : 2;
    }
    std::vector<std::string> modes(argv + std::min(argc, 2), argv + argc);
    if (modes.empty())
        modes = {"psk63", "psk250"};
    for (const std::string& mode : modes) {
        if (mode != "psk63" && mode != "psk250") {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
        const double baud = mode == "psk63" ? 62.5 : 250.0;
        const double target = modemtest::targetSnr(mode);
        for (double above : {-1.0, 0.0, 1.0, 2.0}) {
            const int lost = framesLost(mode.c_str(), baud, target + above, static_cast<int>(frames), 1);
            std::printf("%s target%+.0f dB (%.1f dB): %d of %d frames lost (%.1f %%)\n", mode.c_str(), above,
                        target + above, lost, static_cast<int>(frames),
                        100.0 * lost / static_cast<double>(frames));
        }
    }
    return 0;
}
