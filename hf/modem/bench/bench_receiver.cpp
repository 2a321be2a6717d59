// Speed of the 25-channel receiver on the station's channel plan (noise input, and silence: a
// station with no audio connected), and of single demodulators. Real-time factor = audio seconds / processing
// seconds (reported as a counter).
#include "hf/modem/channel_plan.h"
#include "hf/modem/demodulator.h"
#include "hf/modem/frame_repair.h"
#include "hf/modem/receiver.h"
#include "hf/modem/soft_varicode_decoder.h"
#include "hf/modem/varicode.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

using namespace hf::modem;

namespace {

std::vector<float> noise(double rate, double seconds, float level = 0.1f)
{
    std::mt19937 rng(5);
    std::normal_distribution<float> g(0.0f, level);
    std::vector<float> out(static_cast<std::size_t>(rate * seconds));
    for (auto& v : out)
        v = g(rng);
    return out;
}

void receiver25(benchmark::State& state)
{
    const auto rate = static_cast<double>(state.range(0));
    const auto audio = noise(rate, 1.0, state.range(1) != 0 ? 0.1f : 0.0f);
    Receiver receiver(rate);
    applyChannelPlan(receiver, 1500);
    // In blocks of 80 ms, as the station's modem takes its audio: between two blocks every
    // other channel has had its turn, so each channel's filters come back from further away.
    const auto block = static_cast<std::size_t>(rate * 0.080);
    for (auto _ : state) {
        for (std::size_t at = 0; at < audio.size(); at += block) {
            receiver.process(audio.data() + at, std::min(block, audio.size() - at));
            for (int ch = 0; ch < Receiver::kChannels; ++ch)
                benchmark::DoNotOptimize(receiver.takeText(ch));
        }
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(receiver25)
    ->ArgNames({"rate", "noise"})
    ->ArgsProduct({{11025, 48000}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

void single(benchmark::State& state)
{
    const char* names[] = {"psk63", "psk250", "qpsk125", "qpsk250", "mfsk16", "gmsk63", "gmsk250"};
    const auto mode = *modeFromName(names[state.range(0)]);
    const auto audio = noise(48000, 1.0);
    Demodulator demod(48000, mode, 1500);
    std::string out;
    for (auto _ : state) {
        demod.process(audio.data(), audio.size(), out);
        out.clear();
    }
    state.SetLabel(modeName(mode));
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(single)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

// The worst a failed frame costs its channel: a frame of 120 characters whose check no turned
// symbol mends, read again kCandidates times (about 1300 bits each).
void failedFrame(benchmark::State& state)
{
    const std::string frame = "..........~" + std::string(120, 'q') + "0000\t~   \r\n";
    std::vector<std::uint8_t> bits(8, 0);
    appendPskBits(frame, bits);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> size(2.0f, 12.0f);
    std::vector<float> ratios;
    for (auto b : bits)
        ratios.push_back(b != 0 ? size(rng) : -size(rng));
    std::size_t mended = 0;
    for (auto _ : state) {
        SoftVaricodeDecoder decoder;
        FrameRepair repair(1, SoftVaricodeDecoder::kDefaultDelay);
        std::string decoded;
        for (float r : ratios) {
            repair.bit(r);
            decoder.push(r, decoded);
            for (char c : decoded)
                mended += repair.character(c).size();
            decoded.clear();
        }
    }
    benchmark::DoNotOptimize(mended);
    state.counters["bits"] = static_cast<double>(ratios.size());
}
BENCHMARK(failedFrame)->Unit(benchmark::kMillisecond);

} // namespace
