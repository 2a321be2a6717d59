#include "display_text.h"

#include <QSet>

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

namespace {

template <typename List> List unique(const List& list)
{
    List out;
    out.reserve(list.size());
    QSet<typename List::value_type> seen;
    seen.reserve(list.size());
    for (const auto& entry : list) {
        if (!seen.contains(entry)) {
            seen.insert(entry);
            out.append(entry);
        }
    }
    return out;
}

} // namespace

QStringList uniqueEntries(const QStringList& list)
{
    return unique(list);
}

QList<QByteArray> uniqueEntries(const QList<QByteArray>& list)
{
    return unique(list);
}

} // namespace messaging
