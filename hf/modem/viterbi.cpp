#include "hf/modem/viterbi.h"

#include <algorithm>
#include <bit>
#include <map>
#include <mutex>
#include <stdexcept>
#include <tuple>

namespace hf::modem {

int convolutionalSymbol(unsigned sr, unsigned poly0, unsigned poly1)
{
    return (std::popcount(sr & poly0) & 1) | ((std::popcount(sr & poly1) & 1) << 1);
}

ConvolutionalEncoder::ConvolutionalEncoder(int constraint, unsigned poly0, unsigned poly1)
    : m_mask((1u << constraint) - 1u), m_poly0(poly0), m_poly1(poly1)
{
    if (constraint < 2 || constraint > 16)
        throw std::invalid_argument("ConvolutionalEncoder: bad constraint length");
}

int ConvolutionalEncoder::encode(int bit)
{
    m_register = ((m_register << 1) | (bit != 0 ? 1u : 0u)) & m_mask;
    return convolutionalSymbol(m_register, m_poly0, m_poly1);
}

const ViterbiDecoder::BranchTable& ViterbiDecoder::branchTable(int constraint, unsigned poly0, unsigned poly1)
{
    static std::mutex mutex;
    static std::map<std::tuple<int, unsigned, unsigned>, BranchTable> tables; // never shrinks
    const std::lock_guard<std::mutex> lock(mutex);
    const auto [it, added] = tables.try_emplace({constraint, poly0, poly1});
    if (added) {
        const unsigned states = 1u << (constraint - 1);
        const unsigned top = states / 2;
        for (unsigned s = 0; s < states; ++s) {
            const unsigned from = s >> 1;
            it->second[0][s] =
                static_cast<std::uint8_t>(convolutionalSymbol((from << 1) | (s & 1u), poly0, poly1));
            it->second[1][s] =
                static_cast<std::uint8_t>(convolutionalSymbol(((from | top) << 1) | (s & 1u), poly0, poly1));
        }
    }
    return it->second;
}

ViterbiDecoder::ViterbiDecoder(int constraint, unsigned poly0, unsigned poly1, int depth)
    : m_k(constraint), m_states(1 << (constraint - 1)), m_depth(depth)
{
    if (constraint < 3 || constraint > 7 || depth < 1 || depth > 4096)
        throw std::invalid_argument("ViterbiDecoder: bad constraint length or depth");
    m_branch = &branchTable(constraint, poly0, poly1);
    m_decisions.assign(static_cast<std::size_t>(depth + 1), 0);
    reset();
}

void ViterbiDecoder::reset()
{
    // The encoder starts from the all-zero state, but a receiver joins mid-stream: start flat.
    m_metric.fill(0.0f);
    m_bestState = 0;
    std::fill(m_decisions.begin(), m_decisions.end(), 0);
    m_head = 0;
    m_filled = 0;
}

int ViterbiDecoder::push(const std::array<float, 4>& scores)
{
    // New state s came from (s >> 1) with its top bit 0 or 1; the input bit is s & 1. The
    // selection is written without branches: on noise it goes either way at random.
    const int half = m_states / 2;
    const BranchTable& branch = *m_branch;
    std::array<float, kMaxStates> next;
    std::uint64_t decisions = 0;
    float best = -1e30f;
    int bestState = 0;
    for (int s = 0; s < m_states; ++s) {
        const auto from = static_cast<std::size_t>(s >> 1);
        const float m0 = m_metric[from] + scores[branch[0][static_cast<std::size_t>(s)]];
        const float m1 =
            m_metric[from + static_cast<std::size_t>(half)] + scores[branch[1][static_cast<std::size_t>(s)]];
        const bool upper = m1 > m0;
        const float m = upper ? m1 : m0;
        decisions |= std::uint64_t{upper} << s;
        next[static_cast<std::size_t>(s)] = m;
        if (m > best) {
            best = m;
            bestState = s;
        }
    }
    for (int s = 0; s < m_states; ++s)
        m_metric[static_cast<std::size_t>(s)] = next[static_cast<std::size_t>(s)] - best;
    m_lastGain = best;
    m_bestState = bestState;
    m_head = (m_head + 1) % (m_depth + 1);
    m_decisions[static_cast<std::size_t>(m_head)] = decisions;
    if (m_filled < m_depth + 1)
        ++m_filled;
    if (m_filled <= m_depth)
        return -1;
    return traceBack(m_depth, nullptr);
}

int ViterbiDecoder::traceBack(int steps, std::vector<int>* all) const
{
    int state = m_bestState;
    int index = m_head;
    const int top = m_k - 2;
    std::vector<int> bits;
    for (int i = 0; i <= steps; ++i) {
        if (all != nullptr)
            bits.push_back(state & 1);
        if (i == steps)
            break;
        const int choice = static_cast<int>((m_decisions[static_cast<std::size_t>(index)] >> state) & 1u);
        state = (state >> 1) | (choice << top);
        index = (index + m_depth) % (m_depth + 1);
    }
    if (all != nullptr)
        all->assign(bits.rbegin(), bits.rend());
    return state & 1;
}

std::vector<int> ViterbiDecoder::flush()
{
    std::vector<int> bits;
    if (m_filled == 0)
        return bits;
    const int steps = std::min(m_filled, m_depth) - 1;
    traceBack(steps, &bits);
    m_filled = 0;
    return bits;
}

} // namespace hf::modem
