#include "position/beacon_forms.h"

#include <cmath>

namespace position {

namespace {
/// A whole number of seconds or minutes as plain decimal digits; a fraction (never produced by
/// the 1 s countdown steps) is shown with its decimals rather than lost.
QByteArray plainNumber(double value)
{
    return QByteArray::number(value, 'g', 15);
}
} // namespace

QByteArray countdownLabelText(double countdownSeconds)
{
    const double countdown = countdownSeconds < 0 ? 0.0 : countdownSeconds;
    const double minutes = std::floor(countdown / 60.0);
    const double seconds = countdown - minutes * 60.0;
    return "Time to next beacon:    " + plainNumber(minutes) + " min " + plainNumber(seconds) + " sec ";
}

QByteArray aprsIsBeaconLine(const QByteArray& aprsIsCall, const QByteArray& info)
{
    return aprsIsCall + '>' + kBeaconTocall + ':' + info + "\r\n\r\n";
}

QByteArray textTncBeaconLine(const QByteArray& info)
{
    return info + '\r';
}

QByteArray kissBeaconPath(bool digipeatMe, const QByteArray& digiPath)
{
    return digipeatMe ? digiPath : QByteArray();
}

} // namespace position
