#pragma once
#include <QString>

namespace station {

/// Links the station connects as its main window opens, besides those its settings connect
/// (--connect): an unattended station started by the system has nobody to click the buttons,
/// and the AGWPE link has no stored setting at all.
struct StartLinks {
    bool kiss = false;   ///< the sound-card TNC program, KISS over TCP
    bool agwpe = false;  ///< the sound-card TNC program, AGWPE
    bool aprsIs = false; ///< the APRS-IS server

    bool operator==(const StartLinks&) const = default;
};

/// Reads a list such as "agwpe,aprs-is" into `links` (names given are switched on, the rest
/// keep their value). On a fault `links` is unchanged, `error` (when given) says what is
/// wrong, and the result is false.
bool applyStartLinkList(const QString& list, StartLinks& links, QString* error = nullptr);

/// The names applyStartLinkList() understands, for the help text.
inline constexpr const char* StartLinkNames = "kiss, agwpe, aprs-is";

} // namespace station
