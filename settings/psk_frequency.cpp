#include "settings/psk_frequency.h"

namespace settings {

std::optional<double> parseCustomPskFrequency(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 10)
        return std::nullopt;
    int points = 0;
    for (const QChar c : t) {
        if (c == u'.')
            ++points;
        else if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const double hz = t.toDouble(&ok);
    if (!ok || points > 1 || hz < MinCustomPskFrequency || hz > MaxCustomPskFrequency)
        return std::nullopt;
    return hz;
}

} // namespace settings
