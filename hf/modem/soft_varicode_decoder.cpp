#include "hf/modem/soft_varicode_decoder.h"

#include "hf/modem/varicode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace hf::modem {

namespace {

// What a reading pays (in the log-likelihood ratio's units) for bits that fit no code word:
// a wrong symbol costs its own ratio to mend, so those weaker than this are mended and
// stronger ones (or noise) read as junk, which prints nothing (3 mended as well at PSK63's
// target, 10 no better).
constexpr float kJunkCost = 6.0f;
// ... and for a character text hardly holds: a control character other than TAB, LF and CR, or
// a byte above 126. Such a character still comes through when its bits are clear; when a
// wrong symbol makes one of a common character the common reading wins (PSK63 at its target:
// 13 % fewer characters lost than without; 6 no better than 3).
constexpr float kRareCost = 3.0f;
// ... and for idle 0 bits after a separator (once however many follow): text comes with its
// characters one after the other, so a wrong symbol that turns a character's 1 bits into
// idle 0s reads better as the character, even a fairly clear one. On 32 noise seeds, against 1:
// 5 to 35 % fewer characters lost at every point from PSK63's, PSK250's and GMSK's 2 % points
// down (least at PSK63's), and a quarter fewer frames of 60..120 characters lost by an ideal
// receiver at PSK63's target+1 dB (4.2 -> 3.0 %); 8 and 12 no better. A pause or the preamble
// pays it once, whatever is read in it.
constexpr float kIdleCost = 6.0f;
constexpr int kNodes = 4;         // the states before the prefixes' (see the header)
constexpr float kFloor = -1e30f;  // a state no reading reaches yet
constexpr float kCertain = 20.0f; // the ratio of a bit known for certain

float exitCost(int character)
{
    if (character < 0)
        return kJunkCost;
    const bool rare =
        character > 126 || (character < 32 && character != '\t' && character != '\n' && character != '\r');
    return rare ? kRareCost : 0.0f;
}

/// The trellis shared by every decoder: one state per prefix of a code word (and per code word
/// followed by its first separator bit), each reached from one state only; the root between
/// characters and the two junk states are where readings meet.
struct Trellis {
    struct Exit {
        int node;
        int character; // completed by the separator's second 0; -1: the bits were no code word
        float cost;    // kJunkCost, kRareCost or 0
    };
    int states = 0;
    std::vector<int> parent;         // by state; the root for the code words' first 1
    std::vector<std::uint8_t> one;   // the state's last bit
    std::vector<int> depth;          // bits since the root
    std::vector<std::uint32_t> bits; // the bits since the root, the last in bit 0
    int first = 0;                   // the state of a lone 1 (every code word's first bit)
    std::vector<Exit> exits;         // states ending in 0: another 0 returns to the root
    std::vector<int> noOne;          // states a 1 bit takes out of every code word
    std::vector<int> noZero;         // states ending in 1 a 0 bit takes out of every code word
};

const Trellis& trellis()
{
    static const Trellis t = [] {
        // A state's key: its bits as a number (every prefix starts with 1, so keys are unique).
        constexpr int kKeys = 1 << 14;
        std::vector<int> index(kKeys, -1);
        std::vector<int> character(kKeys, -1);
        std::vector<int> keys;
        auto add = [&](int key) {
            if (index[static_cast<std::size_t>(key)] < 0) {
                index[static_cast<std::size_t>(key)] = 0;
                keys.push_back(key);
            }
        };
        for (int c = 0; c < 256; ++c) {
            const int code = pskVaricode(static_cast<unsigned char>(c));
            const int length = codeLength(static_cast<std::uint16_t>(code));
            for (int i = length - 1; i >= 0; --i)
                add(code >> i);
            add(code << 1);
            character[static_cast<std::size_t>(code)] = c;
        }
        std::sort(keys.begin(), keys.end());
        Trellis t;
        t.states = kNodes + static_cast<int>(keys.size());
        t.parent.assign(static_cast<std::size_t>(t.states), 0);
        t.one.assign(static_cast<std::size_t>(t.states), 0);
        t.depth.assign(static_cast<std::size_t>(t.states), 0);
        t.bits.assign(static_cast<std::size_t>(t.states), 0);
        for (std::size_t i = 0; i < keys.size(); ++i)
            index[static_cast<std::size_t>(keys[i])] = kNodes + static_cast<int>(i);
        for (int key : keys) {
            const int s = index[static_cast<std::size_t>(key)];
            const auto su = static_cast<std::size_t>(s);
            t.parent[su] = key == 1 ? 0 : index[static_cast<std::size_t>(key >> 1)];
            t.one[su] = static_cast<std::uint8_t>(key & 1);
            t.depth[su] = codeLength(static_cast<std::uint16_t>(key));
            t.bits[su] = static_cast<std::uint32_t>(key);
            const bool hasOne = 2 * key + 1 < kKeys && index[static_cast<std::size_t>(2 * key + 1)] >= 0;
            const bool hasZero = 2 * key < kKeys && index[static_cast<std::size_t>(2 * key)] >= 0;
            if (!hasOne)
                t.noOne.push_back(s);
            if ((key & 1) == 0)
                t.exits.push_back({s, character[static_cast<std::size_t>(key >> 1)],
                                   exitCost(character[static_cast<std::size_t>(key >> 1)])});
            else if (!hasZero)
                t.noZero.push_back(s);
        }
        t.first = index[1];
        return t;
    }();
    return t;
}

} // namespace

SoftVaricodeDecoder::SoftVaricodeDecoder(int span, int delay)
    : m_span(span), m_phases(1 << span), m_delay(delay), m_states(trellis().states)
{
    if (span < 1 || span > kMaxSpan)
        throw std::invalid_argument("SoftVaricodeDecoder: span out of range");
    if (delay < 16 || delay > 100)
        throw std::invalid_argument("SoftVaricodeDecoder: delay out of range");
    for (int p = 0; p < m_phases; ++p) {
        m_metric[static_cast<std::size_t>(p)].resize(static_cast<std::size_t>(m_states));
        m_next[static_cast<std::size_t>(p)].resize(static_cast<std::size_t>(m_states));
    }
    reset();
}

void SoftVaricodeDecoder::reset()
{
    for (auto* v : {&m_metric, &m_next})
        for (auto& phase : *v)
            std::fill(phase.begin(), phase.end(), kFloor);
    m_metric[0][kRoot] = 0.0f;
    m_junkFrom = {};
    m_root.fill({});
    m_decided = 0;
    m_step = 0;
    m_committed = 0;
    m_lastGiven = 0;
    m_idleRun = 0;
}

std::uint8_t SoftVaricodeDecoder::phaseAtRoot(int phase, int state) const
{
    // Back along the state's bits: where a bit differs from the decision, the phase `span`
    // symbols earlier differs from the one at that bit (bit i of `q`: the phase i symbols ago).
    const Trellis& t = trellis();
    const auto su = static_cast<std::size_t>(state);
    const int depth = t.depth[su];
    const std::uint32_t differs = t.bits[su] ^ m_decided;
    auto q = static_cast<std::uint32_t>(phase);
    for (int i = 0; i < depth; ++i)
        q |= (((q >> i) ^ (differs >> i)) & 1u) << (i + m_span);
    return static_cast<std::uint8_t>((q >> depth) & static_cast<std::uint32_t>(m_phases - 1));
}

SoftVaricodeDecoder::Origin SoftVaricodeDecoder::origin(int phase, int state) const
{
    if (state == kRoot || state == kIdle)
        return {m_step, static_cast<std::uint8_t>(phase), static_cast<std::uint8_t>(state == kIdle ? 1 : 0)};
    if (state == kJunk1 || state == kJunk0)
        return m_junkFrom[static_cast<std::size_t>(phase)][state == kJunk1 ? 0 : 1];
    // A code word begins from whichever of the root and the idle state was better then.
    const std::int64_t step = m_step - trellis().depth[static_cast<std::size_t>(state)];
    const std::uint8_t rootPhase = phaseAtRoot(phase, state);
    return {step, rootPhase, m_root[static_cast<std::size_t>(step % kRing)][rootPhase].idleBetter};
}

void SoftVaricodeDecoder::idle(std::string& out)
{
    // After a delay's worth of certain 0 bits everything has come out and every reading but
    // the idle one is out of the running: more of them change nothing (push() starts afresh).
    if (m_idleRun >= m_delay + kSettle)
        return;
    const int run = m_idleRun;
    push(-kCertain, out);
    m_idleRun = run + 1;
}

void SoftVaricodeDecoder::push(float llr, std::string& out)
{
    if (m_idleRun >= m_delay + kSettle)
        reset();
    m_idleRun = 0;
    const Trellis& t = trellis();
    // No more than any decision can say; none at all from a ratio too small to matter (on
    // silence the ratios fade towards the denormal numbers, on which arithmetic crawls).
    float ratio = std::isfinite(llr) ? std::clamp(llr, -60.0f, 60.0f) : 0.0f;
    if (std::fabs(ratio) < 1e-6f)
        ratio = 0.0f;
    const float h = 0.5f * std::fabs(ratio);
    // A reading that takes the bit the decision took stays on the same phase as before; the
    // other bit changes it.
    const std::uint8_t decided = ratio >= 0.0f ? 1 : 0;
    const int n = m_states;

    for (int to = 0; to < m_phases; ++to) {
        // `to`: on which side of the decisions' phase this symbol and the `span` - 1 before it
        // lie (bit clear: the same), the newest in bit 0. Each comes from the one phase history
        // that, moved on by this symbol, gives it, and whose symbol `span` back sets the bit
        // read: the decision, or the other bit.
        const float gain = (to & 1) == 0 ? h : -h;
        const int agreeing = ((to & 1) << (m_span - 1)) | (to >> 1);
        const int differing = agreeing ^ (1 << (m_span - 1));
        const auto& same = m_metric[static_cast<std::size_t>(agreeing)];
        const auto& other = m_metric[static_cast<std::size_t>(differing)];
        auto& next = m_next[static_cast<std::size_t>(to)];

        // Every prefix state from the one before it.
        for (int s = kFirstNode; s < n; ++s) {
            const auto su = static_cast<std::size_t>(s);
            const auto parent = static_cast<std::size_t>(t.parent[su]);
            next[su] = (t.one[su] == decided ? same[parent] : other[parent]) + gain;
        }

        // A code word's first 1 follows the root or idle bits.
        const auto& firstFrom = decided == 1 ? same : other;
        next[static_cast<std::size_t>(t.first)] = std::max(firstFrom[kRoot], firstFrom[kIdle]) + gain;

        // The root: a separator's second 0, or the end of junk; idle bits: a 0 after either.
        const int z = decided == 0 ? agreeing : differing;
        const auto& zm = m_metric[static_cast<std::size_t>(z)];
        float best = zm[kJunk0];
        int from = kJunk0;
        int character = -1;
        for (const auto& e : t.exits) {
            const float v = zm[static_cast<std::size_t>(e.node)] - e.cost;
            if (v > best) {
                best = v;
                from = e.node;
                character = e.character;
            }
        }
        next[kRoot] = best + gain;
        const bool idleStays = zm[kIdle] >= zm[kRoot] - kIdleCost;
        next[kIdle] = (idleStays ? zm[kIdle] : zm[kRoot] - kIdleCost) + gain;
        RootStep& root = m_root[static_cast<std::size_t>((m_step + 1) % kRing)][static_cast<std::size_t>(to)];
        root.root = {origin(z, from), from == kJunk0 ? -1 : character};
        root.idle = {origin(z, idleStays ? kIdle : kRoot), -1};
        root.idleBetter = next[kIdle] > next[kRoot] ? 1 : 0;

        // Junk ending in 1 and in 0.
        const int o = decided == 0 ? differing : agreeing;
        const auto& om = m_metric[static_cast<std::size_t>(o)];
        float junk1 = om[kJunk1];
        int junk1From = kJunk1;
        if (om[kJunk0] > junk1) {
            junk1 = om[kJunk0];
            junk1From = kJunk0;
        }
        for (int s : t.noOne) {
            const float v = om[static_cast<std::size_t>(s)] - kJunkCost;
            if (v > junk1) {
                junk1 = v;
                junk1From = s;
            }
        }
        float junk0 = zm[kJunk1];
        int junk0From = kJunk1;
        for (int s : t.noZero) {
            const float v = zm[static_cast<std::size_t>(s)] - kJunkCost;
            if (v > junk0) {
                junk0 = v;
                junk0From = s;
            }
        }
        next[kJunk1] = junk1 + gain;
        next[kJunk0] = junk0 + gain;
        m_nextJunkFrom[static_cast<std::size_t>(to)] = {origin(o, junk1From), origin(z, junk0From)};
    }
    m_junkFrom = m_nextJunkFrom;
    m_decided = (m_decided << 1) | decided;
    ++m_step;

    std::swap(m_metric, m_next);

    // Every few bits: the characters the best reading passed a delay ago come out, and the
    // scores are taken down by its score (which keeps the numbers small: they fall by at most
    // 60 a bit).
    if ((m_step & (kTraceEvery - 1)) != 0)
        return;
    const Reading best = bestReading();
    const float top = m_metric[static_cast<std::size_t>(best.phase)][static_cast<std::size_t>(best.state)];
    for (int phase = 0; phase < m_phases; ++phase)
        for (auto& v : m_metric[static_cast<std::size_t>(phase)])
            v = std::max(v - top, kFloor);
    const std::int64_t upTo = m_step - m_delay;
    if (upTo > m_committed) {
        collect(best, upTo, out);
        m_committed = upTo;
    }
}

void SoftVaricodeDecoder::flush(std::string& out)
{
    if (m_step > m_committed) {
        collect(bestReading(), m_step, out);
        m_committed = m_step;
    }
}

SoftVaricodeDecoder::Reading SoftVaricodeDecoder::bestReading() const
{
    Reading best{0, kRoot};
    float top = m_metric[0][kRoot];
    for (int phase = 0; phase < m_phases; ++phase) {
        const auto& metric = m_metric[static_cast<std::size_t>(phase)];
        for (int s = 0; s < m_states; ++s)
            if (metric[static_cast<std::size_t>(s)] > top) {
                top = metric[static_cast<std::size_t>(s)];
                best = {phase, s};
            }
    }
    return best;
}

void SoftVaricodeDecoder::collect(Reading from, std::int64_t upTo, std::string& out)
{
    // Back along the reading to the root steps not yet given out.
    struct Found {
        std::int64_t start; // where the character's bits begin
        std::int64_t step;  // where they end (its root step)
        char character;
    };
    Origin r = origin(from.phase, from.state);
    std::array<Found, kRing> found{};
    std::size_t count = 0;
    while (r.step > m_committed) {
        const RootStep& step = m_root[static_cast<std::size_t>(r.step % kRing)][r.phase];
        const Arrival& arrival = r.idle != 0 ? step.idle : step.root;
        if (r.step <= upTo && arrival.character >= 0 && count < found.size())
            found[count++] = {arrival.from.step, r.step, static_cast<char>(arrival.character)};
        r = arrival.from;
    }
    // Where the best reading has changed since the last character was given, its next one may
    // begin on bits that character took: it would be the same bits given twice.
    while (count > 0) {
        const Found& f = found[--count];
        if (f.start < m_lastGiven)
            continue;
        out.push_back(f.character);
        m_lastGiven = f.step;
    }
}

} // namespace hf::modem
