#pragma once
#include <optional>

namespace position {

/// Status colours of the GPS label and the beacon-type buttons; the window maps them to
/// light grey EFEFEF, yellow, green and red.
enum class StatusColour { Grey, Yellow, Green, Red };

/// The colour as the window shows it: a blue-green-red number (see station/status_colours.h).
unsigned bgrOf(StatusColour colour);

/// What the GPS input last told: a sentence with a fix, a sentence without one, or nothing
/// complete for 30 s (`gpsStatusTimer`).
enum class GpsState { FixOk, NoFix, NoInput };

/// The GPS status label (`gpsStatusLabel`) and the beacon-type buttons "GPS" (`gpsBeaconButton`) and
/// "Fixed" (`fixedBeaconButton`) for a state.
struct GpsDisplay {
    const char* labelText;
    StatusColour labelColour;
    StatusColour gpsButton;
    std::optional<StatusColour> fixedButton; ///< nullopt: leave "Fixed" as it is
};

/// `gpsBeaconSelected` is the beacon type ("GPS" set, "Fixed" cleared).
GpsDisplay gpsDisplay(GpsState state, bool gpsBeaconSelected);

} // namespace position
