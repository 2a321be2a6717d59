// Speed of the 25-channel receiver on the station's channel plan (noise input), and of single
// demodulators. Real-time factor = audio seconds / processing seconds (reported as a counter).
#include "hf/modem/channel_plan.h"
#include "hf/modem/demodulator.h"
#include "hf/modem/receiver.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace hf::modem;

namespace {

std::vector<float> noise(double rate, double seconds)
{
    std::mt19937 rng(5);
    std::normal_distribution<float> g(0.0f, 0.1f);
    std::vector<float> out(static_cast<std::size_t>(rate * seconds));
    for (auto& v : out)
        v = g(rng);
    return out;
}

void receiver25(benchmark::State& state)
{
    const auto rate = static_cast<double>(state.range(0));
    const auto audio = noise(rate, 1.0);
    Receiver receiver(rate);
    applyChannelPlan(receiver, 1500);
    for (auto _ : state) {
        receiver.process(audio.data(), audio.size());
        for (int ch = 0; ch < Receiver::kChannels; ++ch)
            benchmark::DoNotOptimize(receiver.takeText(ch));
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(receiver25)->Arg(11025)->Arg(48000)->Unit(benchmark::kMillisecond);

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

} // namespace
