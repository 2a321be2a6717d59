#include "station_state.h"

namespace station {

int beaconIntervalSeconds(int code)
{
    static constexpr int Seconds[] = {600, 1200, 1800, 3600, 120, 300};
    return code >= 0 && code < 6 ? Seconds[code] : 600;
}

} // namespace station
