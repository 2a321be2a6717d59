#pragma once

// 16-bit little-endian PCM samples to and from floats (-1..+1).

#include <QByteArray>

#include <cstddef>
#include <vector>

namespace hf::radio {

/// Appends the samples of `bytes` (pairs of bytes, low byte first) to `out`; a trailing odd
/// byte is ignored. At most `max` samples are appended. Returns the number appended.
std::size_t decodePcm16(const QByteArray& bytes, std::vector<float>& out, std::size_t max);
/// 16-bit little-endian samples of `samples`, clipped to -1..+1.
QByteArray encodePcm16(const float* samples, std::size_t count);

} // namespace hf::radio
