// Frames per second through the KISS codec and the deframer.
#include "packet/kiss_codec.h"
#include "packet/kiss_deframer.h"

#include <benchmark/benchmark.h>

namespace {

using packet::Kiss;

const QByteArray kInfo = ":N1CALL   :Meet at the club house at 19:00 tonight{42";

void BM_KissEncode(benchmark::State& state)
{
    for (auto _ : state) {
        auto r = Kiss::encode("APSK20", "N0CALL-9", "WIDE1-1,WIDE2-1", kInfo);
        benchmark::DoNotOptimize(r.frame.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KissEncode);

void BM_KissDecode(benchmark::State& state)
{
    const QByteArray frame = Kiss::encode("APSK20", "N0CALL-9", "WIDE1-1*,WIDE2-1", kInfo).frame;
    const QByteArray inner = frame.mid(2, frame.size() - 3);
    for (auto _ : state) {
        auto r = Kiss::decode(inner, "N1CALL");
        benchmark::DoNotOptimize(r.text.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KissDecode);

void BM_KissDeframeAndDecode(benchmark::State& state)
{
    const QByteArray frame = Kiss::encode("APSK20", "N0CALL-9", "WIDE1-1,WIDE2-1", kInfo).frame;
    QByteArray stream;
    for (int i = 0; i < 100; ++i)
        stream += frame;
    packet::KissDeframer deframer;
    for (auto _ : state) {
        for (const QByteArray& f : deframer.feed(stream)) {
            auto r = Kiss::decode(f, "N1CALL");
            benchmark::DoNotOptimize(r.text.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_KissDeframeAndDecode);

} // namespace
