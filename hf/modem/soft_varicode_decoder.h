#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hf::modem {

/// Maximum-likelihood decoder of PSK varicode over soft differential BPSK decisions.
///
/// The bit stream is a sequence of code words, each followed by `00`, with idle 0 bits
/// between them; no code word holds `00`, every one starts and ends with 1. A hard decoder
/// turns a single wrong bit into a wrong, split or lost character; this one keeps every
/// reading of the stream that fits the code (a trellis over the prefixes of the code words,
/// which all meet again at the separator) and takes the one the soft bits fit best. Bits that
/// fit no code word (noise, a steady carrier, a wrong bit too strong to correct) are read as
/// they come, at a cost: they print nothing, as with the hard decoder.
///
/// The bits come from differential decisions: each compares a symbol with a reference, so a
/// symbol read on the wrong side turns two bits: its own and the one `span` bits later (BPSK
/// against its decision-feedback reference: the next bit, span 1; MSK's two rails, each bit
/// the product of a rail's symbol and the one two bits back: span 2). The trellis therefore
/// also keeps, for every reading, on which side of the decisions' phase its last `span`
/// symbols lie: a reading that differs from them at one symbol differs in two bits and pays
/// that symbol's ratio once.
///
/// Characters come out `delay` to `delay` + 7 bits after their separator (or at flush()), each
/// at most once. Memory and work per bit are fixed whatever the input.
class SoftVaricodeDecoder {
public:
    /// `span`: 1 or 2 (see above); `delay`: bits from a character's separator to its output,
    /// 16..100.
    explicit SoftVaricodeDecoder(int span = 1, int delay = kDefaultDelay);

    /// Feeds one differential decision (positive: a 1 bit, no phase change) with the size of
    /// the log-likelihood ratio of its newest symbol's side, appends the characters decided by
    /// it to `out`.
    void push(float llr, std::string& out);
    /// Feeds a 0 bit known for certain (the channel has no signal to decode): the same as
    /// push() with a large negative ratio, but once the decoder holds nothing it costs nothing.
    void idle(std::string& out);
    /// Appends every character on the best reading so far that has not come out yet (the
    /// character still being received, without its separator, stays out).
    void flush(std::string& out);
    void reset();
    /// Bits from a character's separator to its output, on average.
    int latency() const { return m_delay + kTraceEvery / 2; }

    static constexpr int kDefaultDelay = 20;

private:
    static constexpr int kTraceEvery = 8; // bits between looks at the best reading (a power of two)
    static constexpr int kRing = 128;     // root decisions kept, more than delay + kTraceEvery
    static constexpr int kRoot = 0;       // right after a separator (or junk)
    static constexpr int kIdle = 1;       // idle 0 bits after it
    static constexpr int kJunk1 = 2;      // bits that fit no code word, the last a 1
    static constexpr int kJunk0 = 3;      // ... the last a 0 (another 0 ends them)
    static constexpr int kFirstNode = 4;  // then one state per prefix
    static constexpr int kMaxSpan = 2;
    static constexpr int kMaxPhases = 1 << kMaxSpan;

    static constexpr int kSettle = 16; // certain 0 bits past the delay after which idle() rests

    // Where a reading left the root or the idle state: the step, its phase history (see
    // push()) and which of the two.
    struct Origin {
        std::int64_t step = -1;
        std::uint8_t phase = 0;
        std::uint8_t idle = 0;
    };
    struct Arrival {
        Origin from;        // where the best way here at this step left the root or idle before
        int character = -1; // byte completed on arriving here, -1 none
    };
    struct RootStep {
        Arrival root;
        Arrival idle;
        std::uint8_t idleBetter = 0; // the code words beginning after this step follow idle
    };
    struct Reading {
        int phase;
        int state;
    };
    std::uint8_t phaseAtRoot(int phase, int state) const;
    Origin origin(int phase, int state) const; // where the reading now in (phase, state) began
    Reading bestReading() const;
    void collect(Reading from, std::int64_t upTo, std::string& out);

    int m_span;
    int m_phases; // 2^span phase histories
    int m_delay;
    int m_states;
    // The readings' scores by phase history, then state.
    std::array<std::vector<float>, kMaxPhases> m_metric;
    std::array<std::vector<float>, kMaxPhases> m_next;
    // Where the junk states' bits began, by [phase history][0: junk ending in 1, 1: in 0].
    std::array<std::array<Origin, 2>, kMaxPhases> m_junkFrom{};
    std::array<std::array<Origin, 2>, kMaxPhases> m_nextJunkFrom{};
    std::array<std::array<RootStep, kMaxPhases>, kRing> m_root{}; // by step, phase history
    std::uint32_t m_decided = 0;                                  // the last decisions, the newest in bit 0
    std::int64_t m_step = 0;                                      // bits received
    std::int64_t m_committed = 0; // root steps up to here have given their character
    std::int64_t m_lastGiven = 0; // the root step of the last character given
    int m_idleRun = 0;            // certain 0 bits fed by idle() since the last push()
};

} // namespace hf::modem
