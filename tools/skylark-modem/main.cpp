// skylark-modem: the sound-card modem from the command line.
//
//   skylark-modem encode --mode MODE --sample-rate SR --carrier HZ [--output FILE.wav] [--lsb] TEXT
//   skylark-modem decode [--mode MODE --carrier HZ | --plan HZ [--mode MODE]] [--squelch N]
//                        [--channel N] FILE.wav
//   skylark-modem bench
//
// MODE: psk63 psk250 qpsk125 qpsk250 mfsk16 gmsk63 gmsk250. A recording may be any WAV (8..32-bit
// integer or float samples, any rate); --channel picks a channel of a multi-channel file.

#include "hf/modem/channel_plan.h"
#include "hf/modem/demodulator.h"
#include "hf/modem/modulator.h"
#include "hf/modem/plan_decoder.h"
#include "hf/modem/receiver.h"
#include "hf/modem/wav_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace hf::modem;

namespace {

int usage(std::ostream& out = std::cerr)
{
    out << "usage:\n"
           "  skylark-modem encode --mode MODE --sample-rate SR --carrier HZ "
           "[--output FILE.wav] [--lsb] TEXT\n"
           "  skylark-modem decode [--mode MODE --carrier HZ | --plan HZ [--mode MODE]] "
           "[--lsb] [--squelch N] [--channel N] FILE.wav\n"
           "  skylark-modem bench\n"
           "MODE: psk63 psk250 qpsk125 qpsk250 mfsk16 gmsk63 gmsk250\n"
           "FILE.wav: any WAV (8..32-bit integer or float, any sample rate); --channel N\n"
           "  decodes channel N (1 the first) of a multi-channel recording\n";
    return &out == &std::cerr ? 2 : 0;
}

struct Args {
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;
    bool lsb = false;
};

std::optional<Args> parseArgs(int argc, char** argv, int first)
{
    Args args;
    for (int i = first; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lsb") {
            args.lsb = true;
        } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            if (i + 1 >= argc)
                return std::nullopt;
            args.options[a.substr(2)] = argv[++i];
        } else {
            args.positional.push_back(a);
        }
    }
    return args;
}

std::optional<double> number(const Args& args, const std::string& key)
{
    const auto it = args.options.find(key);
    if (it == args.options.end())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(it->second.c_str(), &end);
    if (end == it->second.c_str() || *end != '\0')
        return std::nullopt;
    return v;
}

int encode(const Args& args)
{
    const auto modeIt = args.options.find("mode");
    const auto rate = number(args, "sample-rate");
    const auto carrier = number(args, "carrier");
    if (modeIt == args.options.end() || !rate || !carrier || args.positional.size() != 1)
        return usage();
    const auto mode = modeFromName(modeIt->second, args.lsb);
    if (!mode) {
        std::cerr << "unknown mode " << modeIt->second << "\n";
        return 2;
    }
    try {
        Modulator modulator(*mode, *rate, *carrier);
        WavAudio audio;
        audio.sampleRate = static_cast<int>(*rate);
        audio.samples = modulator.modulate(args.positional[0]);
        const auto out = args.options.find("output");
        const std::string path = out == args.options.end() ? "out.wav" : out->second;
        if (!writeWavFile(path, audio)) {
            std::cerr << "cannot write " << path << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    return 0;
}

void printLines(int channel, const std::string& text)
{
    std::string line;
    auto flush = [&] {
        if (!line.empty())
            std::cout << channel << ": " << line << "\n";
        line.clear();
    };
    for (char c : text) {
        if (c == '\n' || c == '\r')
            flush();
        else
            line.push_back(c);
    }
    flush();
}

int decode(const Args& args)
{
    if (args.positional.size() != 1)
        return usage();
    const auto channel = number(args, "channel");
    if (args.options.count("channel") != 0 && (!channel || *channel < 1 || *channel > 64))
        return usage();
    const auto audio = readWavFile(args.positional[0], channel ? static_cast<int>(*channel) - 1 : 0);
    if (!audio) {
        std::cerr << "cannot read " << args.positional[0] << " (not a sound file, or no such channel)\n";
        return 1;
    }
    const auto squelch = number(args, "squelch");
    const auto modeIt = args.options.find("mode");
    std::optional<ModeConfig> mode;
    if (modeIt != args.options.end()) {
        mode = modeFromName(modeIt->second, args.lsb);
        if (!mode) {
            std::cerr << "unknown mode " << modeIt->second << "\n";
            return 2;
        }
    }
    try {
        if (const auto plan = number(args, "plan")) {
            std::optional<int> all;
            if (squelch)
                all = static_cast<int>(*squelch);
            const auto texts = decodeWithPlan(audio->samples, audio->sampleRate, *plan, mode, all);
            for (int ch = 0; ch < Receiver::kChannels; ++ch)
                printLines(ch, texts[static_cast<std::size_t>(ch)]);
            return 0;
        }
        const auto carrier = number(args, "carrier");
        if (!mode || !carrier)
            return usage();
        Demodulator demod(audio->sampleRate, *mode, *carrier,
                          squelch ? static_cast<int>(*squelch) : tableSquelch(*mode));
        std::string text;
        demod.process(audio->samples.data(), audio->samples.size(), text);
        const std::vector<float> tail(static_cast<std::size_t>(audio->sampleRate), 0.0f);
        demod.process(tail.data(), tail.size(), text);
        std::cout << text;
        if (!text.empty() && text.back() != '\n')
            std::cout << "\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    return 0;
}

double benchRate(double sampleRate)
{
    Receiver receiver(sampleRate);
    applyChannelPlan(receiver, 1500.0);
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    const double seconds = 20.0;
    std::vector<float> audio(static_cast<std::size_t>(sampleRate * seconds));
    for (auto& s : audio)
        s = noise(rng);
    const auto start = std::chrono::steady_clock::now();
    constexpr std::size_t kBlock = 2048;
    for (std::size_t i = 0; i < audio.size(); i += kBlock)
        receiver.process(audio.data() + i, std::min(kBlock, audio.size() - i));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds / elapsed;
}

int bench()
{
    for (double rate : {11025.0, 48000.0}) {
        const double rtf = benchRate(rate);
        std::printf("25 channels at %5.0f Hz: real-time factor %.1f (%.1f %% of one core)\n", rate, rtf,
                    100.0 / rtf);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help")
        return usage(std::cout);
    if (command == "bench")
        return bench();
    const auto args = parseArgs(argc, argv, 2);
    if (!args)
        return usage();
    if (command == "encode")
        return encode(*args);
    if (command == "decode")
        return decode(*args);
    return usage();
}
