#include "position/gps_position.h"

namespace position {

namespace {

bool allDigits(const QByteArray& text)
{
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

/// `degreeDigits` digits of degrees, two of minutes, ".", then any number of digits. Returns
/// the field cut or padded to two decimals, or nullopt when malformed or out of range.
std::optional<QByteArray> coordinate(const QByteArray& field, int degreeDigits, int maxDegrees)
{
    const qsizetype point = field.indexOf('.');
    if (point != degreeDigits + 2)
        return std::nullopt;
    const QByteArray whole = field.left(point);
    QByteArray decimals = field.mid(point + 1);
    if (!allDigits(whole) || !allDigits(decimals))
        return std::nullopt;
    const int degrees = whole.left(degreeDigits).toInt();
    const int minutes = whole.mid(degreeDigits).toInt();
    if (degrees > maxDegrees || minutes > 59)
        return std::nullopt;
    decimals = decimals.left(2);
    while (decimals.size() < 2)
        decimals += '0';
    return whole + '.' + decimals;
}

} // namespace

std::optional<QByteArray> gpsPositionInfo(const RmcSentence& rmc, GpsIcon icon, const QByteArray& comment)
{
    if (!rmc.hasFix())
        return std::nullopt;
    const auto latitude = coordinate(rmc.latitude, 2, 90);
    const auto longitude = coordinate(rmc.longitude, 3, 180);
    if (!latitude || !longitude)
        return std::nullopt;
    if (rmc.northSouth != "N" && rmc.northSouth != "S")
        return std::nullopt;
    if (rmc.eastWest != "E" && rmc.eastWest != "W")
        return std::nullopt;
    return '=' + *latitude + rmc.northSouth + icon.table + *longitude + rmc.eastWest + icon.code + comment;
}

} // namespace position
