#pragma once

// A fixed-size ring of samples between one writer thread and one reader thread (the sound
// device's callback and the modem's thread), without locks.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

namespace hf::radio {

class SampleRing {
public:
    explicit SampleRing(std::size_t capacity) : m_data(capacity + 1) {}

    std::size_t size() const
    {
        const std::size_t w = m_write.load(std::memory_order_acquire);
        const std::size_t r = m_read.load(std::memory_order_acquire);
        return (w + m_data.size() - r) % m_data.size();
    }
    std::size_t space() const { return m_data.size() - 1 - size(); }

    /// Writer side: stores up to `count` samples, returns how many fitted.
    std::size_t push(const float* in, std::size_t count)
    {
        std::size_t w = m_write.load(std::memory_order_relaxed);
        const std::size_t n = std::min(count, space());
        for (std::size_t i = 0; i < n; ++i) {
            m_data[w] = in[i];
            w = (w + 1) % m_data.size();
        }
        m_write.store(w, std::memory_order_release);
        return n;
    }
    /// Reader side: takes up to `count` samples, returns how many.
    std::size_t pop(float* out, std::size_t count)
    {
        std::size_t r = m_read.load(std::memory_order_relaxed);
        const std::size_t n = std::min(count, size());
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = m_data[r];
            r = (r + 1) % m_data.size();
        }
        m_read.store(r, std::memory_order_release);
        return n;
    }
    /// Reader side: drops everything waiting.
    void clear() { m_read.store(m_write.load(std::memory_order_acquire), std::memory_order_release); }

private:
    std::vector<float> m_data;
    std::atomic<std::size_t> m_write{0};
    std::atomic<std::size_t> m_read{0};
};

} // namespace hf::radio
