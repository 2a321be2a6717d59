#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace records {

/// Button caption when no bulletin could be read.
inline constexpr const char kNoWwvData[] = "No WWV data available";
/// The marker a usable bulletin must contain.
inline constexpr const char kSolarFluxMarker[] = "Solar flux";

/// The space-weather button caption cut from a geophysical alert bulletin, or nullopt when
/// the bulletin does not contain "Solar flux" (caption kNoWwvData then).
///
/// Cutting, on the text after "Solar flux" and the one character after it:
///   solar flux = the text before the first "and" (keeps the blank before "and");
///   A index    = after the first "ndex" and the one character after it, up to the first ".";
///   K index    = after the next "was" (the character after "was" is kept), up to the first ".".
/// Caption: "Space Weather: SF:" + flux + " A:" + A + "  K:" + K.
/// A missing "and" or "." leaves that field empty; a missing "ndex" leaves A and K empty, a
/// missing "was" leaves K empty. The bytes are read as Latin-1.
std::optional<QString> spaceWeatherCaption(const QByteArray& bulletin);

/// The latest space-weather result as the main window shows it.
class SpaceWeatherReport {
public:
    /// Takes the outcome of one fetch. A failed fetch or a bulletin without "Solar flux" sets
    /// the caption to kNoWwvData and keeps the previous bulletin copy.
    void update(const QByteArray& body, bool ok);

    QString caption() const { return m_caption; }
    /// The whole of the last usable bulletin (empty before the first one).
    QByteArray bulletinCopy() const { return m_bulletin; }
    /// True when the bulletin copy holds "Solar flux" (what the button's message box shows).
    bool hasBulletin() const { return m_bulletin.contains(kSolarFluxMarker); }

private:
    QString m_caption;
    QByteArray m_bulletin;
};

} // namespace records
