#include "hf/modem/frame_repair.h"

#include "hf/modem/frame_check.h"
#include "hf/modem/soft_varicode_decoder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <string_view>

namespace hf::modem {

namespace {

constexpr float kIdle = -std::numeric_limits<float>::infinity();
constexpr float kTurned = 40.0f; // the ratio given to a symbol turned to its other side
constexpr std::string_view kStartMark = "...~";
// Bits read before the start mark's first dot: the longest character a decoder might give
// late, and two characters for the fresh decoder to find the separators.
constexpr std::int64_t kLead = 8 + 2 * 12;

} // namespace

FrameRepair::FrameRepair(int span, int delay) : m_span(span), m_delay(delay), m_bits(kBits, kIdle) {}

void FrameRepair::bit(float ratio)
{
    m_bits[static_cast<std::size_t>(m_step++) % kBits] = std::isfinite(ratio) ? ratio : 0.0f;
}

void FrameRepair::idleBit()
{
    m_bits[static_cast<std::size_t>(m_step++) % kBits] = kIdle;
}

void FrameRepair::forget(std::size_t count)
{
    count = std::min(count, m_text.size());
    m_text.erase(0, count);
    m_textStep.erase(m_textStep.begin(), m_textStep.begin() + static_cast<std::ptrdiff_t>(count));
}

std::string FrameRepair::character(char c)
{
    m_text.push_back(c);
    m_textStep.push_back(m_step);
    if (m_text.size() > kMaxText)
        forget(m_text.size() - kMaxText / 2);
    if (c != '~')
        return {};
    const std::size_t end = m_text.size() - 1;
    if (std::string_view(m_text).ends_with(kStartMark)) {
        // A start flag: whatever came before it is no part of the frame that follows.
        std::size_t first = end - 3;
        while (first > 0 && m_text[first - 1] == '.')
            --first;
        forget(first);
        return {};
    }
    // The end flag follows the check field's TAB (or, with the TAB misread, its four hex
    // digits and one character). A "~" anywhere else is a misread character inside the body:
    // the frame goes on.
    const auto hex = [&](std::size_t at) {
        return std::isxdigit(static_cast<unsigned char>(m_text[at])) != 0;
    };
    if (end < 5)
        return {};
    const bool endFlag =
        m_text[end - 1] == '\t' || (hex(end - 5) && hex(end - 4) && hex(end - 3) && hex(end - 2));
    if (!endFlag)
        return {};
    std::string mended;
    if (const std::size_t start = m_text.rfind(kStartMark, end - 4); start != std::string::npos) {
        if (!frameCheckHolds(std::string_view(m_text).substr(start + 4, end - start - 4)))
            mended = mend(start);
    } else if (const std::size_t dots = m_text.rfind(kStartMark.substr(0, 3), end - 4);
               dots != std::string::npos) {
        mended = mend(dots); // the preamble's, its start flag misread
    }
    forget(end + 1);
    return mended;
}

std::string FrameRepair::mend(std::size_t start) const
{
    const std::int64_t from = m_textStep[start] - m_delay - kLead;
    if (from < 0 || m_step - from > static_cast<std::int64_t>(kBits))
        return {};
    // The least sure symbols (idle bits are certain).
    std::vector<std::int64_t> steps;
    steps.reserve(static_cast<std::size_t>(m_step - from));
    for (std::int64_t s = from; s < m_step; ++s)
        if (std::isfinite(at(s)))
            steps.push_back(s);
    const auto count = std::min<std::size_t>(kCandidates, steps.size());
    std::partial_sort(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(count), steps.end(),
                      [&](std::int64_t a, std::int64_t b) { return std::fabs(at(a)) < std::fabs(at(b)); });
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = reread(from, steps[i]);
        const std::size_t mark = text.find(kStartMark);
        if (mark == std::string::npos)
            continue;
        const std::size_t close = text.find('~', mark + kStartMark.size());
        if (close == std::string::npos)
            continue;
        if (!frameCheckHolds(std::string_view(text).substr(mark + 4, close - mark - 4)))
            continue;
        std::size_t first = mark;
        while (first > 0 && text[first - 1] == '.')
            --first;
        return "\r\n" + text.substr(first, close + 1 - first);
    }
    return {};
}

std::string FrameRepair::reread(std::int64_t from, std::int64_t turned) const
{
    SoftVaricodeDecoder decoder(m_span, m_delay);
    std::string text;
    for (std::int64_t s = from; s < m_step; ++s) {
        float ratio = at(s);
        if (!std::isfinite(ratio)) {
            decoder.idle(text);
            continue;
        }
        // A symbol on its other side turns its own bit and the one `span` bits later.
        if (s == turned)
            ratio = std::copysign(kTurned, -ratio);
        else if (s == turned + m_span)
            ratio = -ratio;
        decoder.push(ratio, text);
    }
    decoder.flush(text);
    return text;
}

} // namespace hf::modem
