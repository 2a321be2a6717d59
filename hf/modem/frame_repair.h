#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hf::modem {

/// A second look at a frame whose check fails, for the channels that read varicode from soft
/// bits (BPSK, GMSK).
///
/// Near a mode's sensitivity nearly every frame lost has one symbol read on the wrong side,
/// and that symbol is nearly always one of the least sure in the frame. This keeps the soft
/// bits the decoder was given and the characters it gave. When a frame's end flag comes (the
/// "~" after the check field's TAB, or after its four hex digits and one misread character)
/// and the frame fails its check (see frame_check.h), it reads the frame's bits again with a
/// fresh decoder, each time with one of the frame's kCandidates least sure symbols turned to
/// its other side, and takes the first reading that holds the check.
///
/// That reading comes out right after the end flag of the failed one, with CR LF before it:
/// "~" CR LF "..." is no end flag, so frame assembly never sees the failed reading as a frame
/// and takes the mended one. A reading that holds the check by chance passes one time in
/// 65536; trying kCandidates of them on a failed frame makes that about one in 2000 failed
/// frames, and only a frame that failed is ever read again.
///
/// Memory is fixed (the last kBits bits, the last kMaxText characters); a frame longer than
/// the bits kept is not read again. The work is kCandidates readings of the frame's bits, once
/// per failed frame.
class FrameRepair {
public:
    // The 32 least sure symbols hold the one to turn in nearly every frame one turn mends: of
    // 138 readings mended on the station table's PSK63 rows with 64 tries (target-2..+3 dB), the
    // turned symbol was the least sure in 56, one of the 8 least sure in 118, of the 16 in 128,
    // of the 32 in all.
    static constexpr int kCandidates = 32;
    static constexpr std::size_t kBits = 4096;
    static constexpr std::size_t kMaxText = 512;

    /// `span` and `delay` as the channel's SoftVaricodeDecoder.
    FrameRepair(int span, int delay);

    /// The next bit the decoder is given: push()'s ratio, or a certain idle bit.
    void bit(float ratio);
    void idleBit();
    /// The decoder gave `c` (after the bit that completed it). At the end flag of a frame
    /// that fails its check, returns CR LF and the mended frame from its preamble to its end
    /// flag's "~" when one of the readings holds the check; otherwise nothing.
    std::string character(char c);

private:
    float at(std::int64_t step) const { return m_bits[static_cast<std::size_t>(step) % kBits]; }
    // The frame whose start mark "...~" (or, its start flag misread, whose last three dots)
    // begins at m_text[start], read again; or nothing.
    std::string mend(std::size_t start) const;
    // The bits from `from` to now read by a fresh decoder, with the symbol of bit `turned` on
    // its other side.
    std::string reread(std::int64_t from, std::int64_t turned) const;
    void forget(std::size_t count); // drops the first `count` characters

    int m_span;
    int m_delay;
    std::vector<float> m_bits;
    std::int64_t m_step = 0;              // bits given
    std::string m_text;                   // characters since the last frame's end
    std::vector<std::int64_t> m_textStep; // ... and m_step when each came
};

} // namespace hf::modem
