#pragma once

// Bounds for the running texts on screen (messages box, bulletin/weather/group lists, traffic
// monitors).

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace messaging {

/// A display text longer than this is cut back.
inline constexpr qsizetype kDisplayTextLimit = 15000;
/// What is kept of it: at most this many of the newest characters.
inline constexpr qsizetype kDisplayTextKeep = 10000;

/// Keeps a display text bounded: past kDisplayTextLimit characters only the newest
/// kDisplayTextKeep are kept, starting at a line start (after an LF) so that no half line
/// shows at the top. When those characters hold no line start, they are kept as they are.
/// Newest text is kept, so new messages keep appearing once the box has filled.
QByteArray boundDisplayText(QByteArray text);

/// Appends `addition` to `text` and bounds the result.
void appendDisplayText(QByteArray& text, QByteArrayView addition);

} // namespace messaging
