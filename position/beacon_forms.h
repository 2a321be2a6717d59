#pragma once
// The fixed texts of the beacon schedule and the line forms a beacon takes on the bearers
// that carry plain text. Pure functions over 8-bit text.
#include <QByteArray>

namespace position {

/// Destination of every beacon sent by KISS and on APRS-IS.
inline constexpr char kBeaconTocall[] = "APSK20";
/// Captions of the beacon on/off button (`beaconButton`); the off caption is also what the
/// countdown label (`beaconCountdownLabel`) shows while the schedule is stopped.
inline constexpr char kBeaconOn[] = "Beacon ON";
inline constexpr char kBeaconOff[] = "Beacon OFF";

/// The countdown label while the schedule runs: "Time to next beacon:    " + whole minutes +
/// " min " + remaining seconds + " sec ", numbers without padding. `countdownSeconds` is
/// clamped to 0 from below; 120 gives "... 2 min 0 sec ".
QByteArray countdownLabelText(double countdownSeconds);

/// The APRS-IS line of a beacon: call + ">APSK20:" + information + CR LF CR LF.
QByteArray aprsIsBeaconLine(const QByteArray& aprsIsCall, const QByteArray& info);

/// The line a text-mode TNC gets in converse mode: the information + CR.
QByteArray textTncBeaconLine(const QByteArray& info);

/// The digipeater path of a KISS beacon: the "KISS TNC digi path" with "Digipeat me" ticked,
/// none otherwise.
QByteArray kissBeaconPath(bool digipeatMe, const QByteArray& digiPath);

} // namespace position
