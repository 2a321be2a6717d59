#include "records/space_weather.h"

namespace records {

namespace {

/// Text before the first `marker`, empty when there is none.
QByteArray before(const QByteArray& text, const char* marker)
{
    const qsizetype at = text.indexOf(marker);
    return at < 0 ? QByteArray() : text.left(at);
}

} // namespace

std::optional<QString> spaceWeatherCaption(const QByteArray& bulletin)
{
    const qsizetype flux = bulletin.indexOf(kSolarFluxMarker);
    if (flux < 0)
        return std::nullopt;

    // Drop "Solar flux" (10 characters) and the one character after it.
    QByteArray rest = bulletin.mid(flux + 11);
    const QByteArray solarFlux = before(rest, "and");

    QByteArray aIndex;
    QByteArray kIndex;
    const qsizetype ndex = rest.indexOf("ndex");
    if (ndex >= 0) {
        rest = rest.mid(ndex + 5); // "ndex" and the character after it
        aIndex = before(rest, ".");
        const qsizetype was = rest.indexOf("was");
        if (was >= 0) {
            rest = rest.mid(was + 3); // keeps the character after "was"
            kIndex = before(rest, ".");
        }
    }

    return QStringLiteral("Space Weather: SF:") + QString::fromLatin1(solarFlux) + QStringLiteral(" A:") +
           QString::fromLatin1(aIndex) + QStringLiteral("  K:") + QString::fromLatin1(kIndex);
}

void SpaceWeatherReport::update(const QByteArray& body, bool ok)
{
    const auto caption = ok ? spaceWeatherCaption(body) : std::nullopt;
    if (!caption) {
        m_caption = QString::fromLatin1(kNoWwvData);
        return;
    }
    m_bulletin = body;
    m_caption = *caption;
}

} // namespace records
