#pragma once

// Which packets cross between the bearers, and in what form. Pure rules over 8-bit text.

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <optional>

namespace hf {

// VHF to APRS-IS is the TNC line handler's internet copy (links/tnc_line_rules.h).

/// HF to APRS-IS: packets never gated (queries, packets from the internet, ">APSK99").
bool hfGateExcluded(QByteArrayView packet);

/// How many of the first HF stations-heard entries a line from APRS-IS may be addressed to.
inline constexpr qsizetype kGatedHeardEntries = 11;

/// APRS-IS to HF: the line (line end removed) is a message addressed to one of the first 11
/// entries of the HF stations-heard list (entries of 2 or more characters, "::" + entry at
/// position 3 or later), shorter than 256 characters, not this station's own packet
/// (hfCall + ">") and not a message to this station itself.
bool gateToHf(QByteArrayView line, const QByteArrayList& heardStations, QByteArrayView hfCall);

/// The HF packet of a gated line: source + ">APSK20," + hfCall + "*:" + information field;
/// nullopt when the line has no ">" or no ":" after it. CR and LF are removed first.
std::optional<QByteArray> gatedHfBody(QByteArrayView line, QByteArrayView hfCall);

/// The local-program relay (port 8063): a line holding ">APWW" and not ">APU" becomes
/// source + unproto + information field; anything else gives nullopt.
std::optional<QByteArray> relayBody(QByteArrayView line, QByteArrayView unproto);

/// HF digipeat: whether the body is repeated, and the repeated body ("~" and "|" removed,
/// every "WIDE2-1" replaced by hfCall + "*,WIDE2-1").
bool shouldDigipeat(QByteArrayView body, QByteArrayView source, QByteArrayView hfCall);
QByteArray digipeatBody(QByteArrayView body, QByteArrayView hfCall);

} // namespace hf
