// Assembled characters per second over the 25 receive channels, fed in small modem-sized
// pieces with the assembly step run after each round.
#include "hf/frame_assembler.h"
#include "hf/hf_frame.h"

#include <benchmark/benchmark.h>

static void BM_AssembleTwentyFiveChannels(benchmark::State& state)
{
    hf::FrameAssembler assembler;
    QList<QByteArray> frames;
    for (int ch = 0; ch < hf::FrameAssembler::kChannelCount; ++ch)
        frames.append(hf::buildFrame("STN" + QByteArray::number(ch) +
                                         ">APSK63,WIDE2-1::DEST     :message text number{" +
                                         QByteArray::number(ch),
                                     hf::FrameSender::Message));
    const qsizetype piece = state.range(0);
    qint64 now = 0;
    std::int64_t chars = 0;
    std::size_t completed = 0;
    for (auto _ : state) {
        for (qsizetype off = 0; off < frames[0].size() + 8; off += piece) {
            for (int ch = 0; ch < hf::FrameAssembler::kChannelCount; ++ch) {
                const QByteArray& f = frames[ch];
                if (off < f.size()) {
                    const QByteArrayView part =
                        QByteArrayView(f).sliced(off).first(qMin<qsizetype>(piece, f.size() - off));
                    assembler.append(ch, part);
                    chars += part.size();
                }
            }
            // Far apart in time so that every round's frames are new.
            completed += static_cast<std::size_t>(assembler.tick(now += 10000).size());
        }
    }
    benchmark::DoNotOptimize(completed);
    state.SetItemsProcessed(chars);
    state.counters["frames"] = static_cast<double>(completed);
}
BENCHMARK(BM_AssembleTwentyFiveChannels)->Arg(1)->Arg(4)->Arg(32);
