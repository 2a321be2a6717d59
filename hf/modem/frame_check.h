#pragma once

// The check of the station's HF text frames (see hf/hf_frame.h for the whole frame), Qt-free so
// that the demodulator can use it too: "~" <body> <4 upper-case hex digits of the body's
// CRC-16/MODBUS> TAB "~".

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace hf::modem {

/// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final inversion) over the
/// bytes of `data`. "123456789" gives 0x4B37; no bytes give 0xFFFF.
constexpr std::uint16_t crc16Modbus(std::string_view data)
{
    std::uint16_t crc = 0xFFFF;
    for (const char c : data) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                             : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

/// The check field of `body`: its CRC as exactly four upper-case hexadecimal digits.
inline std::array<char, 4> checkDigits(std::string_view body)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::uint16_t crc = crc16Modbus(body);
    return {kHex[(crc >> 12) & 0xFU], kHex[(crc >> 8) & 0xFU], kHex[(crc >> 4) & 0xFU], kHex[crc & 0xFU]};
}

/// True when the text between a frame's start flag and its end flag (body, check field and
/// TAB) holds its check: with every TAB left out, its last four characters are the check of
/// the rest.
inline bool frameCheckHolds(std::string_view betweenFlags)
{
    std::string r;
    r.reserve(betweenFlags.size());
    for (const char c : betweenFlags)
        if (c != '\t')
            r.push_back(c);
    if (r.size() < 4)
        return false;
    const auto digits = checkDigits(std::string_view(r).substr(0, r.size() - 4));
    return std::string_view(r).substr(r.size() - 4) == std::string_view(digits.data(), digits.size());
}

} // namespace hf::modem
