// Arbitrary text through the gating rules: none may crash, and every result keeps its
// documented shape.
#include "hf/igate_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    hf::hfGateExcluded(line);
    const QByteArrayList heard{"N0CALL", "G4ABC-1", "X"};
    if (hf::gateToHf(line, heard, "MYCALL") && line.count('\r') + line.count('\n') + 256 <= line.size())
        std::abort();
    if (const auto body = hf::gatedHfBody(line, "MYCALL"); body && !body->contains(">APSK20,MYCALL*:"))
        std::abort();
    hf::relayBody(line, ">APSK63:");
    if (hf::shouldDigipeat(line, "SRC", "MYCALL") &&
        !hf::digipeatBody(line, "MYCALL").contains("MYCALL*,WIDE2-1"))
        std::abort();
    return 0;
}
