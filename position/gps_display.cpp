#include "position/gps_display.h"

#include "position/gps_position.h"

#include "station/status_colours.h"

namespace position {

GpsDisplay gpsDisplay(GpsState state, bool gpsBeaconSelected)
{
    using C = StatusColour;
    switch (state) {
    case GpsState::FixOk:
        return gpsBeaconSelected ? GpsDisplay{kGpsFixOk, C::Green, C::Green, C::Grey}
                                 : GpsDisplay{kGpsFixOk, C::Green, C::Grey, std::nullopt};
    case GpsState::NoFix:
        return gpsBeaconSelected ? GpsDisplay{kNoGpsFix, C::Yellow, C::Yellow, C::Green}
                                 : GpsDisplay{kNoGpsFix, C::Yellow, C::Grey, std::nullopt};
    case GpsState::NoInput:
        break;
    }
    return gpsBeaconSelected ? GpsDisplay{kNoGpsInput, C::Red, C::Red, C::Green}
                             : GpsDisplay{kNoGpsInput, C::Red, C::Grey, C::Green};
}

unsigned bgrOf(StatusColour colour)
{
    using namespace station::colours;
    switch (colour) {
    case StatusColour::Yellow:
        return Yellow;
    case StatusColour::Green:
        return Green;
    case StatusColour::Red:
        return Red;
    case StatusColour::Grey:
        break;
    }
    return LightGrey;
}

} // namespace position
