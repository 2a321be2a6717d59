#pragma once
#include "position/nmea_reader.h"
#include "position/rmc_sentence.h"

#include <QByteArray>
#include <optional>

namespace position {

/// What the GPS port delivers, reduced to the latest checked RMC sentence. The sentence kept
/// is always complete (checksum verified), so a beacon never waits for the rest of one.
class GpsInput {
public:
    /// Adds bytes read from the GPS port; true when at least one new RMC sentence with a
    /// valid checksum completed (the latest one becomes latest()).
    bool feed(const QByteArray& bytes);
    /// The latest RMC sentence; nullopt until the first one. Kept after the input stops, so
    /// the last position is still beaconed.
    const std::optional<RmcSentence>& latest() const { return m_latest; }
    void reset();

private:
    NmeaReader m_reader;
    std::optional<RmcSentence> m_latest;
};

} // namespace position
