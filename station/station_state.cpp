#include "station/station_state.h"

namespace station {

bool isHfMode(TransmitMode m)
{
    switch (m) {
    case TransmitMode::Psk63:
    case TransmitMode::Mfsk16:
    case TransmitMode::Qpsk125:
    case TransmitMode::Psk250:
    case TransmitMode::Qpsk250:
    case TransmitMode::Gmsk63:
    case TransmitMode::Ax25Mfsk:
    case TransmitMode::Gmsk250:
        return true;
    default:
        return false;
    }
}

bool sendsMessagesOnHf(TransmitMode m)
{
    return isHfMode(m) || m == TransmitMode::Ax25Psk63 || m == TransmitMode::Ax25Gmsk;
}

bool isAx25Mode(TransmitMode m)
{
    return m == TransmitMode::Ax25 || m == TransmitMode::Ax25Psk63 || m == TransmitMode::Ax25Gmsk ||
           m == TransmitMode::Ax25Mfsk;
}

int beaconIntervalSeconds(int code)
{
    static constexpr int Seconds[] = {600, 1200, 1800, 3600, 120, 300};
    return code >= 0 && code < 6 ? Seconds[code] : 600;
}

} // namespace station
