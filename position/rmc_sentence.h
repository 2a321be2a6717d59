#pragma once
#include <QByteArray>
#include <optional>

namespace position {

/// True when the sentence ends in "*" and two hexadecimal digits (either case) equal to the
/// XOR of every byte between "$" and "*".
bool nmeaChecksumValid(const QByteArray& sentence);

/// The fields of a recommended-minimum sentence ("$GPRMC" or "$GNRMC", same layout) that the
/// station uses. Texts are the fields as received.
struct RmcSentence {
    QByteArray text;       ///< the whole sentence, "$" to the checksum (what gpsSentenceLabel shows)
    char status = 0;       ///< 'A' valid fix, 'V' receiver warning; 0 when the field is empty
    QByteArray latitude;   ///< ddmm.mmmm
    QByteArray northSouth; ///< "N" or "S"
    QByteArray longitude;  ///< dddmm.mmmm
    QByteArray eastWest;   ///< "E" or "W"

    bool hasFix() const { return status == 'A'; }
};

/// Reads an RMC sentence. nullopt for any other sentence, a missing or wrong checksum, or
/// fewer fields than up to east/west.
std::optional<RmcSentence> parseRmc(const QByteArray& sentence);

} // namespace position
