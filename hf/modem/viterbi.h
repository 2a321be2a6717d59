#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace hf::modem {

/// Output symbol of a rate-1/2 convolutional encoder for register `sr` (newest bit in bit 0):
/// bit 0 = parity(sr & poly0), bit 1 = parity(sr & poly1).
int convolutionalSymbol(unsigned sr, unsigned poly0, unsigned poly1);

/// Rate-1/2 convolutional encoder (register rule `sr = ((sr << 1) | bit)`).
class ConvolutionalEncoder {
public:
    ConvolutionalEncoder(int constraint, unsigned poly0, unsigned poly1);
    /// Returns the 2-bit output symbol (see convolutionalSymbol) for one data bit.
    int encode(int bit);
    void reset() { m_register = 0; }

private:
    unsigned m_mask;
    unsigned m_poly0;
    unsigned m_poly1;
    unsigned m_register = 0;
};

/// Streaming soft-decision Viterbi decoder for the same codes (constraint length 3..7).
/// Each step takes the likelihood score of the four possible output symbols (higher = more
/// likely, e.g. a correlation) and, after `depth` steps of delay, yields decoded bits.
class ViterbiDecoder {
public:
    ViterbiDecoder(int constraint, unsigned poly0, unsigned poly1, int depth);
    /// Adds one received symbol's scores; returns a decoded bit (0/1) once the delay is filled,
    /// otherwise -1.
    int push(const std::array<float, 4>& scores);
    /// Decodes every bit still in the delay line (best path) and empties it.
    std::vector<int> flush();
    /// Score of the best path added by the last step (high while the input fits the code).
    float lastGain() const { return m_lastGain; }
    void reset();

private:
    int traceBack(int steps, std::vector<int>* all) const;

    static constexpr int kMaxStates = 64;
    // Output symbol of the branch into state s from (s >> 1) with the top bit clear [0] or set [1].
    using BranchTable = std::array<std::array<std::uint8_t, kMaxStates>, 2>;
    static const BranchTable& branchTable(int constraint, unsigned poly0, unsigned poly1);

    int m_k;
    int m_states;
    int m_depth;
    // One table per code, shared: a receiver runs hundreds of decoders, and what each keeps for
    // itself stays small enough for the cache.
    const BranchTable* m_branch;
    std::array<float, kMaxStates> m_metric{};
    int m_bestState = 0;                    // the best path's state after the last step
    std::vector<std::uint64_t> m_decisions; // ring of depth + 1 steps
    int m_head = 0;                         // index of the newest step in the ring
    int m_filled = 0;
    float m_lastGain = 0.0f;
};

} // namespace hf::modem
