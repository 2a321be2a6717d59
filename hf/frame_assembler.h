#pragma once

// Assembly of HF frames from the modem's per-channel stream of received characters.
//
// The modem decodes the same audio on 25 receive channels (0..24). Several of them sit on the
// same carrier in the same or a compatible mode, so one transmission is often decoded on two or
// more channels at once; different stations on different carriers are decoded on different
// channels at the same time.
//
// Rules per channel, applied by tick() to the text appended since the last tick:
//  - the new text is added to the channel's assembly text; an assembly text with no "." at all is
//    emptied; one longer than 700 characters is cut to its last 600 (bounds endless noise);
//  - a frame is complete when an end flag "~ " follows a start flag with at least three dots in
//    front of it ("...~"); two dots are not enough. The frame's text runs from the first dot of
//    that preamble to the end flag's space; what follows stays for the next frame;
//  - an end flag with no "...~" before it ends garbage: the text up to it is dropped.
//
// Duplicates. A frame is identified by its text from the start flag to the end "~" (preamble
// length and trailing spaces differ between channels). A frame identical to one completed in the
// last `duplicateWindowMs` milliseconds, on any channel, is the same transmission decoded again
// and is dropped. Frames that differ are different transmissions and are all handed over, in
// channel order, even when they complete in the same tick. A frame whose check fails, that
// completes within the window after another channel's frame and reads as that frame with one
// stretch garbled is a damaged copy of it and is dropped too; any other bad frame (on its own,
// or another station's) is handed over (the receive step decides).
//
// Unlike a single "last frame" buffer, completing a frame on one channel never empties the other
// channels, so a different station's frame still arriving there is kept.

#include <QByteArray>
#include <QList>

#include <array>

namespace hf {

struct AssembledFrame {
    int channel = 0;   ///< 0..24
    QByteArray text;   ///< preamble .. end flag "~ " (parse with parseFrame)
    bool good = false; ///< the frame's check matched (parseFrame(text).good)
};

class FrameAssembler {
public:
    static constexpr int kChannelCount = 25;
    /// An assembly text longer than this is cut to its last kKeepLength characters.
    static constexpr qsizetype kMaxAssemblyLength = 700;
    static constexpr qsizetype kKeepLength = 600;
    static constexpr qint64 kDefaultDuplicateWindowMs = 3000;

    explicit FrameAssembler(qint64 duplicateWindowMs = kDefaultDuplicateWindowMs);

    /// Received text of one channel (the modem's received-text event). Channels outside 0..24
    /// are ignored. Only the newest kMaxAssemblyLength + 1 characters of the pending text are kept
    /// (older ones would be cut by the next tick anyway).
    void append(int channel, QByteArrayView text);

    /// One assembly step at time `nowMs` (any monotonic millisecond clock): moves the pending
    /// text of every channel into its assembly text and returns the frames completed, channel
    /// 0 first, duplicates removed. A tick with no new text changes nothing.
    QList<AssembledFrame> tick(qint64 nowMs);

    /// Empties pending and assembly text of channels first..last (clamped to 0..24); senders
    /// do this for channels 0..8 before they transmit.
    void clearChannels(int first, int last);
    /// Empties every channel and forgets the recently completed frames.
    void clear();

    /// True when some channel has text that tick() has not yet looked at.
    bool hasPendingText() const;
    /// The assembly text of a channel (empty for channels outside 0..24).
    QByteArray assembly(int channel) const;

private:
    struct Recent {
        QByteArray key;
        qint64 timeMs = 0;
        int channel = 0;
    };
    static constexpr qsizetype kMaxRecent = 64;

    void extractFrames(int channel, QList<AssembledFrame>& out, qint64 nowMs);
    bool acceptFrame(int channel, const QByteArray& text, bool good, qint64 nowMs);

    qint64 m_windowMs;
    std::array<QByteArray, kChannelCount> m_pending;
    std::array<QByteArray, kChannelCount> m_assembly;
    QList<Recent> m_recent;
};

} // namespace hf
