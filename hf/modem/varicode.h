#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace hf::modem {

/// PSK varicode code word of a byte (bit pattern, most significant bit sent first). Every
/// byte value 0..255 has one, so 8-bit text crosses unchanged.
std::uint16_t pskVaricode(unsigned char c);
/// MFSK varicode code word of a byte (every value 0..255 has one).
std::uint16_t mfskVaricode(unsigned char c);

/// Number of significant bits in a code word (position of its highest 1 bit + 1).
int codeLength(std::uint16_t code);

/// Appends the PSK varicode of `text` followed each by the two-bit `00` separator.
void appendPskBits(std::string_view text, std::vector<std::uint8_t>& bits);
/// Appends the MFSK varicode of `text` (no separators; codes never contain `001`).
void appendMfskBits(std::string_view text, std::vector<std::uint8_t>& bits);

/// Incremental PSK varicode decoder: a character ends at two consecutive 0 bits.
class PskVaricodeDecoder {
public:
    /// Feeds one bit (0 or 1); returns the character completed by it, if any.
    std::optional<char> push(int bit);
    void reset()
    {
        m_register = 0;
        m_lost = false;
    }

private:
    std::uint32_t m_register = 0;
    bool m_lost = false; ///< the bits since the last separator outgrew every code word
};

/// Incremental MFSK varicode decoder: a character ends when the last three bits are `001`.
class MfskVaricodeDecoder {
public:
    std::optional<char> push(int bit);
    void reset() { m_register = 0; }

private:
    // Bits of the character being received; after a character it holds the 1 that began the
    // next one.
    std::uint32_t m_register = 0;
};

} // namespace hf::modem
