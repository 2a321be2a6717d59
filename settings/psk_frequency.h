#pragma once
#include <QString>

#include <optional>

namespace settings {

/// The custom PSK audio frequency's accepted range, Hz.
inline constexpr double MinCustomPskFrequency = 500.0;
inline constexpr double MaxCustomPskFrequency = 2500.0;

/// The custom PSK audio frequency typed on the start-up page or stored in its file: digits
/// with at most one decimal point (blanks around them allowed), 500..2500 Hz; nothing for any
/// other text ("1750 Hz", "", "99999").
std::optional<double> parseCustomPskFrequency(const QString& text);

} // namespace settings
