// Arbitrary per-channel received text into the frame assembler; every frame handed over is
// parsed. Input: a sequence of [channel byte][length byte][text], with ticks in between.
#include "hf/frame_assembler.h"
#include "hf/hf_frame.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hf::FrameAssembler assembler;
    qint64 now = 0;
    std::size_t i = 0;
    while (i + 2 <= size) {
        const int channel = static_cast<int>(data[i]) - 2; // also exercises bad channels
        const std::size_t len = data[i + 1];
        i += 2;
        const std::size_t take = len < size - i ? len : size - i;
        assembler.append(
            channel, QByteArrayView(reinterpret_cast<const char*>(data + i), static_cast<qsizetype>(take)));
        i += take;
        for (const hf::AssembledFrame& f : assembler.tick(now += 10)) {
            if (f.channel < 0 || f.channel >= hf::FrameAssembler::kChannelCount)
                __builtin_trap();
            const hf::ParsedFrame p = hf::parseFrame(f.text);
            if (p.good != f.good || p.computedCheck.size() != 4)
                __builtin_trap();
        }
        for (int ch = 0; ch < hf::FrameAssembler::kChannelCount; ++ch)
            if (assembler.assembly(ch).size() > hf::FrameAssembler::kMaxAssemblyLength)
                __builtin_trap();
    }
    hf::parseFrame(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
