// Soft bits come from the air: any sequence must decode within fixed memory, never more than
// one character per three bits (a code word's 1 and its separator).
#include "hf/modem/soft_varicode_decoder.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: a byte choosing the span and the delay, then one signed byte per bit (its ratio in quarters);
    // -128 stands for a flush, 127 for a value no demodulator should give (infinite, NaN).
    if (size < 1)
        return 0;
    hf::modem::SoftVaricodeDecoder decoder(1 + (data[0] & 1), 16 + (data[0] >> 1) % 85);
    std::string out;
    std::size_t bits = 0;
    for (std::size_t i = 1; i < size; ++i) {
        const auto v = static_cast<std::int8_t>(data[i]);
        if (v == -128) {
            decoder.flush(out);
            continue;
        }
        float llr = static_cast<float>(v) / 4.0f;
        if (v == 127)
            llr = (i & 1) != 0 ? std::numeric_limits<float>::infinity()
                               : std::numeric_limits<float>::quiet_NaN();
        decoder.push(llr, out);
        ++bits;
    }
    decoder.flush(out);
    if (out.size() > bits / 3 + 1)
        __builtin_trap();
    return 0;
}
