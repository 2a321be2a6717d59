// Acquisition after noise: each mode at +10 dB SNR (2500 Hz, or as given), 0.5..10 s of white noise before
// the transmission and a random tuning error of up to +-40 Hz, decoded at the mode table's
// squelch. A frame counts as lost when its text does not come out whole from the start flag
// on (the frame assembly needs the flag). A receiver that locks onto a wrong frequency while it
// listens to noise, or settles too slowly, loses frames here.
//
//   hf_modem_acquisition [RUNS [SEED [SNR [MODE...] [--missed SECONDS]]]]
//                  (defaults: 200 runs, seed from the clock, +10 dB, every mode, nothing missed)
//
// --missed: the transmission is heard from its middle, its first SECONDS (the preamble and some
// of the four seconds of text before the frame) missing, as when the receiver is tuned to a
// transmission under way: the tracking must find the signal without the preamble's help.
//
// Prints one line per mode: frames lost of RUNS, and the seeds of the lost ones.
#include "hf/modem/demodulator.h"
#include "hf/modem/plan_decoder.h"
#include "hf/modem/tests/acquisition_case.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace hf::modem;

namespace {

bool runOnce(const char* name, unsigned seed, double snr, double missed)
{
    const auto mode = *modeFromName(name);
    const auto c = modemtest::acquisitionCase(mode, seed, snr, missed);
    Demodulator demod(c.rate, mode, 1500.0, tableSquelch(mode));
    std::string out;
    constexpr std::size_t kBlock = 1024;
    for (std::size_t i = 0; i < c.audio.size(); i += kBlock)
        demod.process(c.audio.data() + i, std::min(kBlock, c.audio.size() - i), out);
    return out.find("~" + c.body) != std::string::npos;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    const unsigned seed =
        argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                 : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
    const double snr = argc > 3 ? std::atof(argv[3]) : 10.0;
    std::vector<const char*> modes;
    double missed = 0.0;
    for (int i = 4; i < argc; ++i) {
        if (std::string(argv[i]) != "--missed") {
            modes.push_back(argv[i]);
            continue;
        }
        missed = i + 1 < argc ? std::atof(argv[++i]) : 0.0;
        if (!(missed > 0.0 && missed < 4.0)) {
            std::fprintf(stderr, "--missed takes seconds, above 0 and under 4\n");
            return 2;
        }
    }
    if (modes.empty())
        modes = {"psk63", "psk250", "qpsk125", "qpsk250", "mfsk16", "gmsk63", "gmsk250"};
    std::printf("seed %u, %d runs per mode, %+.1f dB, 0.5..10 s of noise first, up to +-40 Hz off", seed,
                runs, snr);
    if (missed > 0.0)
        std::printf(", heard from %.1f s into the transmission", missed);
    std::printf("\n");
    int totalLost = 0;
    for (const char* name : modes) {
        if (!modeFromName(name)) {
            std::fprintf(stderr, "unknown mode %s\n", name);
            return 2;
        }
        int lost = 0;
        std::string which;
        for (int r = 0; r < runs; ++r) {
            const unsigned s = seed + static_cast<unsigned>(r);
            if (!runOnce(name, s, snr, missed)) {
                ++lost;
                which += " " + std::to_string(s);
            }
        }
        totalLost += lost;
        std::printf("%-8s lost %d of %d%s\n", name, lost, runs, which.c_str());
        std::fflush(stdout);
    }
    return totalLost == 0 ? 0 : 1;
}
