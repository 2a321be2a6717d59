#include "hf/frame_assembler.h"

#include "hf/hf_frame.h"

#include <algorithm>

namespace hf {

namespace {

constexpr QByteArrayView kStartMark("...~");
constexpr QByteArrayView kEndMark("~ ");

bool validChannel(int channel)
{
    return channel >= 0 && channel < FrameAssembler::kChannelCount;
}

std::size_t index(int channel)
{
    return static_cast<std::size_t>(channel);
}

/// The part of a frame that is the same on every channel that decoded it: from the start flag
/// to the end flag's "~".
QByteArray identityKey(const QByteArray& frameText)
{
    const qsizetype start = frameText.indexOf(kStartMark);
    const qsizetype end = frameText.lastIndexOf(kEndMark);
    if (start < 0 || end < start)
        return frameText;
    return frameText.mid(start + 3, end - start - 3);
}

/// Whether `bad` reads as `other` with one stretch of characters garbled: the text they
/// share at both ends leaves at most a quarter of the longer one different. Another station's
/// frame differs from its source call on (and in its check field), so it never is one.
bool garbledCopyOf(QByteArrayView bad, QByteArrayView other)
{
    const qsizetype shorter = std::min(bad.size(), other.size());
    const qsizetype longer = std::max(bad.size(), other.size());
    qsizetype head = 0;
    while (head < shorter && bad[head] == other[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && bad[bad.size() - 1 - tail] == other[other.size() - 1 - tail])
        ++tail;
    return (longer - head - tail) * 4 <= longer;
}

} // namespace

FrameAssembler::FrameAssembler(qint64 duplicateWindowMs) : m_windowMs(duplicateWindowMs) {}

void FrameAssembler::append(int channel, QByteArrayView text)
{
    if (!validChannel(channel) || text.isEmpty())
        return;
    QByteArray& pending = m_pending[index(channel)];
    pending += text;
    // One more than the assembly bound, so that the cut in tick() sees an over-long text.
    if (pending.size() > kMaxAssemblyLength + 1)
        pending.remove(0, pending.size() - (kMaxAssemblyLength + 1));
}

QList<AssembledFrame> FrameAssembler::tick(qint64 nowMs)
{
    QList<AssembledFrame> frames;
    m_recent.removeIf([&](const Recent& r) { return nowMs - r.timeMs > m_windowMs; });
    for (int ch = 0; ch < kChannelCount; ++ch) {
        QByteArray& pending = m_pending[index(ch)];
        if (pending.isEmpty())
            continue;
        QByteArray& assembly = m_assembly[index(ch)];
        assembly += pending;
        pending.clear();
        if (!assembly.contains('.')) {
            assembly.clear();
            continue;
        }
        if (assembly.size() > kMaxAssemblyLength)
            assembly.remove(0, assembly.size() - kKeepLength);
        extractFrames(ch, frames, nowMs);
    }
    return frames;
}

void FrameAssembler::extractFrames(int channel, QList<AssembledFrame>& out, qint64 nowMs)
{
    QByteArray& assembly = m_assembly[index(channel)];
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = assembly.indexOf(kEndMark, from);
        if (end < 0)
            break;
        // The start flag's "~" must come before the end flag's "~".
        const qsizetype start = end >= 4 ? assembly.lastIndexOf(kStartMark, end - 4) : -1;
        if (start < 0) {
            // An end flag with no preamble in front of it: garbage up to here.
            assembly.remove(0, end + kEndMark.size());
            from = 0;
            continue;
        }
        qsizetype first = start;
        while (first > 0 && assembly.at(first - 1) == '.')
            --first;
        const QByteArray text = assembly.mid(first, end + kEndMark.size() - first);
        assembly.remove(0, end + kEndMark.size());
        from = 0;
        const bool good = parseFrame(text).good;
        if (acceptFrame(channel, text, good, nowMs))
            out.append(AssembledFrame{channel, text, good});
    }
    if (!assembly.contains('.'))
        assembly.clear();
}

bool FrameAssembler::acceptFrame(int channel, const QByteArray& text, bool good, qint64 nowMs)
{
    const QByteArray key = identityKey(text);
    const bool duplicate =
        std::any_of(m_recent.cbegin(), m_recent.cend(), [&](const Recent& r) { return r.key == key; });
    const bool damagedCopy = !good && std::any_of(m_recent.cbegin(), m_recent.cend(), [&](const Recent& r) {
        return r.channel != channel && garbledCopyOf(key, r.key);
    });
    if (duplicate || damagedCopy)
        return false;
    if (m_recent.size() >= kMaxRecent)
        m_recent.removeFirst();
    m_recent.append(Recent{key, nowMs, channel});
    return true;
}

void FrameAssembler::clearChannels(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, kChannelCount - 1);
    for (int ch = first; ch <= last; ++ch) {
        m_pending[index(ch)].clear();
        m_assembly[index(ch)].clear();
    }
}

void FrameAssembler::clear()
{
    clearChannels(0, kChannelCount - 1);
    m_recent.clear();
}

bool FrameAssembler::hasPendingText() const
{
    return std::any_of(m_pending.cbegin(), m_pending.cend(),
                       [](const QByteArray& p) { return !p.isEmpty(); });
}

QByteArray FrameAssembler::assembly(int channel) const
{
    return validChannel(channel) ? m_assembly[index(channel)] : QByteArray();
}

} // namespace hf
