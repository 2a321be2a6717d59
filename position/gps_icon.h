#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace position {

/// The APRS symbol of the GPS beacon: table character and symbol code.
struct GpsIcon {
    char table = '/';
    char code = '>'; ///< the car, also used when no icon is chosen
    bool operator==(const GpsIcon&) const = default;
};

/// The icon for a "GPS HF beacon icon" caption ("HF station", "Car", ... "Large  truck" with
/// two blanks), nullopt for an unknown caption.
std::optional<GpsIcon> gpsIconForCaption(const QString& caption);
/// The same, with table "/" and code ">" for an unknown or empty caption.
GpsIcon gpsIconOrDefault(const QString& caption);
/// The captions in the order of the start-up page.
QStringList gpsIconCaptions();

} // namespace position
