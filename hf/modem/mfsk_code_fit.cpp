#include "hf/modem/mfsk_code_fit.h"

#include <cmath>

namespace hf::modem {

namespace {

constexpr int kConstraint = 7;
constexpr unsigned kPoly0 = 0x6D;
constexpr unsigned kPoly1 = 0x4F;
// Each decoder takes two steps per symbol: about 32 symbols of averaging.
constexpr double kWeight = 1.0 / 64.0;
// The averages start from what noise gives (soft bits of about 0.3, of which the best path
// explains about 0.86), so the first steps, which any path fits, do not read as a signal.
constexpr double kNoiseSize = 0.6;
constexpr double kNoiseFit = 0.86;

} // namespace

MfskCodeFit::MfskCodeFit()
    : m_decoders{ViterbiDecoder(kConstraint, kPoly0, kPoly1, 1),
                 ViterbiDecoder(kConstraint, kPoly0, kPoly1, 1)}
{
    reset();
}

void MfskCodeFit::push(const std::array<float, 4>& soft, int strongestTone)
{
    const bool repeated = strongestTone == m_lastTones[0] || strongestTone == m_lastTones[1];
    m_lastTones = {strongestTone, m_lastTones[0]};
    if (!repeated && m_counted < kReady)
        ++m_counted;
    for (float c : m_deinterleaver.process(soft)) {
        const auto decoder = static_cast<std::size_t>((m_coded + 1) & 1);
        if (m_coded > 0) {
            const float a = m_pending;
            const std::array<float, 4> scores = {-a - c, a - c, -a + c, a + c};
            auto& viterbi = m_decoders[decoder];
            viterbi.push(scores);
            if (!repeated) {
                m_gain[decoder] += kWeight * (viterbi.lastGain() - m_gain[decoder]);
                m_size[decoder] += kWeight * (std::fabs(a) + std::fabs(c) - m_size[decoder]);
            }
        }
        m_pending = c;
        ++m_coded;
    }
}

void MfskCodeFit::reset()
{
    m_deinterleaver.reset();
    for (auto& d : m_decoders)
        d.reset();
    m_gain.fill(kNoiseSize * kNoiseFit);
    m_size.fill(kNoiseSize);
    m_pending = 0.0f;
    m_coded = 0;
    m_lastTones = {-1, -1};
    m_counted = 0;
}

} // namespace hf::modem
