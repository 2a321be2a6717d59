// WAV files come from the operator's disk: any bytes must parse or be refused without harm.
#include "hf/modem/wav_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto audio = hf::modem::parseWav(data, size, 0, 1u << 20);
    if (audio && audio->samples.size() > (1u << 20))
        __builtin_trap();
    return 0;
}
