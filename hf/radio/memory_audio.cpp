#include "hf/radio/memory_audio.h"

#include <QMutexLocker>

#include <algorithm>

namespace hf::radio {

std::size_t AudioPipe::push(const float* samples, std::size_t count)
{
    QMutexLocker lock(&m_mutex);
    const auto max = static_cast<std::size_t>(kMaxSeconds * m_rate);
    const std::size_t n = std::min(count, max - std::min(max, m_samples.size()));
    m_samples.insert(m_samples.end(), samples, samples + n);
    return n;
}

std::size_t AudioPipe::size()
{
    QMutexLocker lock(&m_mutex);
    return m_samples.size();
}

void AudioPipe::clear()
{
    QMutexLocker lock(&m_mutex);
    m_samples.clear();
}

void AudioPipe::pull(float* out, std::size_t count)
{
    QMutexLocker lock(&m_mutex);
    const std::size_t n = std::min(count, m_samples.size());
    std::copy_n(m_samples.begin(), n, out);
    m_samples.erase(m_samples.begin(), m_samples.begin() + static_cast<std::ptrdiff_t>(n));
    std::fill(out + n, out + count, 0.0f);
    if (m_noiseRms > 0) {
        std::normal_distribution<float> noise(0.0f, static_cast<float>(m_noiseRms));
        for (std::size_t i = 0; i < count; ++i)
            out[i] += noise(m_random);
    }
}

} // namespace hf::radio
