#include "hf/modem/resampler.h"

#include "hf/modem/fir.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <stdexcept>

namespace hf::modem {

namespace {

constexpr int kPhases = 64;

// Each phase's taps stored oldest sample first, so an output is a plain dot product with the
// window as it lies in memory.
std::vector<float> makeBank(int taps, double cutoff)
{
    const auto total = static_cast<std::size_t>(taps * kPhases);
    const std::vector<float> proto = designLowpass(total, cutoff);
    std::vector<float> bank(total, 0.0f);
    for (int p = 0; p < kPhases; ++p)
        for (int k = 0; k < taps; ++k)
            bank[static_cast<std::size_t>(p * taps + taps - 1 - k)] =
                proto[static_cast<std::size_t>(k * kPhases + p)] * static_cast<float>(kPhases);
    return bank;
}

// Channels of the same mode use the same filter: they share one bank, so a 25-channel receiver
// keeps a few banks in the cache instead of a megabyte of copies.
std::shared_ptr<const std::vector<float>> sharedBank(int taps, double cutoff)
{
    static std::mutex mutex;
    static std::map<std::pair<int, double>, std::weak_ptr<const std::vector<float>>> banks;
    const std::lock_guard<std::mutex> lock(mutex);
    auto& slot = banks[{taps, cutoff}];
    auto bank = slot.lock();
    if (!bank) {
        bank = std::make_shared<const std::vector<float>>(makeBank(taps, cutoff));
        slot = bank;
    }
    std::erase_if(banks, [](const auto& entry) { return entry.second.expired(); });
    return bank;
}

} // namespace

Resampler::Resampler(double inRate, double outRate, double cutoff, int taps)
    : m_taps(taps), m_nominalStep(inRate / outRate), m_step(inRate / outRate)
{
    if (!(inRate > 0.0) || !(outRate > 0.0) || taps < 2 || !(cutoff > 0.0) || cutoff >= inRate / 2.0)
        throw std::invalid_argument("Resampler: bad rates, cutoff or length");
    m_bank = sharedBank(taps, cutoff / (inRate * kPhases));
    m_re.assign(static_cast<std::size_t>(2 * taps), 0.0f);
    m_im.assign(static_cast<std::size_t>(2 * taps), 0.0f);
}

void Resampler::process(Complex x, std::vector<Complex>& out)
{
    // Each plane holds the window twice over, so the last `taps` samples always lie in one run.
    const auto pos = static_cast<std::size_t>(m_pos);
    const auto taps = static_cast<std::size_t>(m_taps);
    m_re[pos] = m_re[pos + taps] = x.real();
    m_im[pos] = m_im[pos + taps] = x.imag();
    m_pos = m_pos + 1 == m_taps ? 0 : m_pos + 1;
    m_next -= 1.0;
    // Window: oldest at m_pos, newest at m_pos + taps - 1. A larger phase means an earlier
    // instant.
    const float* re = m_re.data() + m_pos;
    const float* im = m_im.data() + m_pos;
    while (m_next <= 0.0) {
        const double back = std::min(-m_next, 0.999999);
        const int phase = std::min(static_cast<int>(std::lround(back * kPhases)), kPhases - 1);
        const float* h = m_bank->data() + phase * m_taps;
        float sumRe = 0.0f;
        float sumIm = 0.0f;
#pragma omp simd reduction(+ : sumRe, sumIm)
        for (int k = 0; k < m_taps; ++k) {
            sumRe += h[k] * re[k];
            sumIm += h[k] * im[k];
        }
        out.emplace_back(sumRe, sumIm);
        m_next += m_step;
    }
}

void Resampler::shift(double delay)
{
    m_next += delay;
}

void Resampler::reset()
{
    std::fill(m_re.begin(), m_re.end(), 0.0f);
    std::fill(m_im.begin(), m_im.end(), 0.0f);
    m_pos = 0;
    m_next = 0.0;
    m_step = m_nominalStep;
}

} // namespace hf::modem
