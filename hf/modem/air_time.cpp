#include "hf/modem/air_time.h"

#include "hf/modem/varicode.h"

#include <cmath>
#include <cstddef>

namespace hf::modem {

namespace {

std::size_t pskBits(std::string_view text)
{
    std::size_t bits = 0;
    for (char c : text)
        bits += static_cast<std::size_t>(codeLength(pskVaricode(static_cast<unsigned char>(c)))) + 2;
    return bits;
}

std::size_t mfskBits(std::string_view text)
{
    std::size_t bits = 0;
    for (char c : text)
        bits += static_cast<std::size_t>(codeLength(mfskVaricode(static_cast<unsigned char>(c))));
    return bits;
}

} // namespace

double airTimeSeconds(const ModeConfig& mode, std::string_view text)
{
    if (mode.modulation == Modulation::Mfsk) {
        // 35 zero bits, CR STX CR, the text, CR EOT CR, a 1 bit and 107 zero bits; two coded
        // bits per data bit, four coded bits per tone.
        const std::size_t data = 35 + mfskBits("\r\x02\r") + mfskBits(text) + mfskBits("\r\x04\r") + 1 + 107;
        return static_cast<double>(data) * 2.0 / 4.0 / mode.baud;
    }
    // One bit per symbol, between a preamble and a postamble of about a second each.
    const double edge = static_cast<double>(std::lround(mode.baud * 1.024));
    return (2.0 * edge + static_cast<double>(pskBits(text))) / mode.baud;
}

} // namespace hf::modem
