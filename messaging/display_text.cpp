#include "messaging/display_text.h"

namespace messaging {

QByteArray boundDisplayText(QByteArray text)
{
    if (text.size() <= kDisplayTextLimit)
        return text;
    const qsizetype cut = text.size() - kDisplayTextKeep;
    // Start at the first line start inside the kept part: text[cut - 1] == '\n' means the
    // kept part already begins with a line.
    qsizetype start = cut;
    if (text.at(cut - 1) != '\n') {
        const qsizetype lf = text.indexOf('\n', cut);
        if (lf >= 0 && lf + 1 < text.size())
            start = lf + 1;
    }
    text.remove(0, start);
    return text;
}

void appendDisplayText(QByteArray& text, QByteArrayView addition)
{
    text += addition;
    text = boundDisplayText(std::move(text));
}

} // namespace messaging
