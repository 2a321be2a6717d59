#include "hf/radio/paced_ends.h"

#include <algorithm>
#include <cmath>

namespace hf::radio {

bool PacedInput::open(const AudioRequest& request, QString& error)
{
    if (!prepare(request, error))
        return false;
    m_rate = rateFor(request);
    if (m_rate < 8000 || m_rate > 192000) {
        error = QStringLiteral("unsupported sample rate %1 Hz").arg(m_rate);
        return false;
    }
    m_clock.start(m_rate, request.speed);
    return true;
}

std::ptrdiff_t PacedInput::read(float* out, std::size_t max)
{
    const auto n = static_cast<std::size_t>(m_clock.due(static_cast<std::int64_t>(max)));
    if (n == 0)
        return 0;
    produce(out, n);
    m_clock.take(static_cast<std::int64_t>(n));
    return static_cast<std::ptrdiff_t>(n);
}

bool PacedOutput::open(const AudioRequest& request, QString& error)
{
    if (request.sampleRate < 8000 || request.sampleRate > 192000) {
        error = QStringLiteral("unsupported sample rate %1 Hz").arg(request.sampleRate);
        return false;
    }
    if (!prepare(request, error))
        return false;
    m_rate = request.sampleRate;
    m_speed = request.speed;
    m_capacity = static_cast<std::size_t>(kBufferSeconds * m_rate);
    m_buffer.clear();
    return true;
}

std::ptrdiff_t PacedOutput::write(const float* samples, std::size_t count)
{
    if (m_buffer.empty())
        m_clock.start(m_rate, m_speed); // playing starts with the first sample
    const std::size_t n = std::min(count, m_capacity - std::min(m_capacity, m_buffer.size()));
    m_buffer.insert(m_buffer.end(), samples, samples + n);
    return static_cast<std::ptrdiff_t>(n);
}

std::size_t PacedOutput::pending()
{
    if (m_buffer.empty())
        return 0;
    const auto n = static_cast<std::size_t>(m_clock.due(static_cast<std::int64_t>(m_buffer.size())));
    if (n > 0) {
        m_chunk.assign(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
        m_clock.take(static_cast<std::int64_t>(n));
        play(m_chunk.data(), n);
    }
    return m_buffer.size();
}

void NullInput::produce(float* out, std::size_t count)
{
    std::fill_n(out, count, 0.0f);
}

} // namespace hf::radio
