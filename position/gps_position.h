#pragma once
#include "position/gps_icon.h"
#include "position/rmc_sentence.h"

#include <QByteArray>
#include <optional>

namespace position {

/// Texts of the GPS status label (`gpsStatusLabel`).
inline constexpr const char kGpsFixOk[] = "GPS fix OK:";
inline constexpr const char kNoGpsFix[] = "No GPS fix:";
inline constexpr const char kNoGpsInput[] = "No GPS input";
inline constexpr const char kNoGpsConnected[] = "No GPS connected";

/// The information field of the GPS position beacon:
///   "=" latitude(7) N/S table longitude(8) E/W code comment
/// e.g. 4807.038 N / 01131.000 E with the car gives "=4807.03N/01131.00E>" + comment.
/// Latitude and longitude are cut to two decimals of a minute; a receiver sending fewer
/// decimals is padded with "0" so the position keeps its fixed width.
///
/// nullopt when the sentence has no valid fix (status other than "A": show kNoGpsFix and
/// send the fixed beacon instead) or when its position fields are not a well-formed
/// ddmm.mm / dddmm.mm position with N/S and E/W, so a damaged sentence is never beaconed.
std::optional<QByteArray> gpsPositionInfo(const RmcSentence& rmc, GpsIcon icon, const QByteArray& comment);

} // namespace position
