// Soft bits and characters come from the air: whatever a channel is given, a frame read again
// is only ever given when it holds its check: CR LF, then a frame from its dots to its end flag.
#include "hf/modem/frame_check.h"
#include "hf/modem/frame_repair.h"
#include "hf/modem/soft_varicode_decoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void checkMended(const std::string& mended)
{
    if (mended.empty())
        return;
    const std::string_view m(mended);
    const auto start = m.find("...~");
    const auto end = m.rfind('~');
    if (!m.starts_with("\r\n") || start == std::string_view::npos || end != m.size() - 1 ||
        end <= start + 3 || !hf::modem::frameCheckHolds(m.substr(start + 4, end - start - 4)))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: a byte choosing the span, then one signed byte per bit (its ratio in quarters);
    // -128 is an idle bit, 127 gives the next byte to the repair as a character of its own.
    if (size < 1)
        return 0;
    const int span = 1 + (data[0] & 1);
    hf::modem::SoftVaricodeDecoder decoder(span);
    hf::modem::FrameRepair repair(span, hf::modem::SoftVaricodeDecoder::kDefaultDelay);
    std::string decoded;
    const auto give = [&] {
        for (char c : decoded)
            checkMended(repair.character(c));
        decoded.clear();
    };
    for (std::size_t i = 1; i < size; ++i) {
        const auto v = static_cast<std::int8_t>(data[i]);
        if (v == 127 && i + 1 < size) {
            checkMended(repair.character(static_cast<char>(data[++i])));
            continue;
        }
        if (v == -128) {
            repair.idleBit();
            decoder.idle(decoded);
        } else {
            repair.bit(static_cast<float>(v) / 4.0f);
            decoder.push(static_cast<float>(v) / 4.0f, decoded);
        }
        give();
    }
    decoder.flush(decoded);
    give();
    return 0;
}
