#include "position/gps_icon.h"

#include <array>

namespace position {

namespace {

struct IconEntry {
    const char* caption;
    GpsIcon icon;
};

constexpr std::array<IconEntry, 12> kIcons{{
    {"HF station", {'\\', '-'}},
    {"Camp", {'/', ';'}},
    {"Car", {'/', '>'}},
    {"Van", {'/', 'v'}},
    {"Jeep", {'/', 'j'}},
    {"RV", {'/', 'R'}},
    {"Truck", {'/', 'k'}},
    {"Ambulance", {'/', 'a'}},
    {"Bus", {'/', 'U'}},
    {"Ship", {'/', 's'}},
    {"Yacht", {'/', 'Y'}},
    {"Large  truck", {'/', 'u'}},
}};

} // namespace

std::optional<GpsIcon> gpsIconForCaption(const QString& caption)
{
    for (const auto& entry : kIcons) {
        if (caption == QLatin1String(entry.caption))
            return entry.icon;
    }
    return std::nullopt;
}

GpsIcon gpsIconOrDefault(const QString& caption)
{
    return gpsIconForCaption(caption).value_or(GpsIcon{});
}

QStringList gpsIconCaptions()
{
    QStringList captions;
    for (const auto& entry : kIcons)
        captions.append(QLatin1String(entry.caption));
    return captions;
}

} // namespace position
