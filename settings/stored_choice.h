#pragma once
#include <optional>

class QByteArray;

namespace settings {

/// The choice of one option group as a record file left it. Records are read in order: a
/// record holding "1" chooses its option (the option's action runs, as a click would); a
/// record holding "0" clears its option when that option is the one shown, without running
/// anything. A record holding "10" therefore chooses and then clears.
struct StoredChoice {
    int value = -1;            ///< the value of the option last chosen; -1 when none was
    bool clearedAfter = false; ///< the chosen option was cleared again by a later "0"

    bool isStored() const { return value >= 0; }
    bool operator==(const StoredChoice&) const = default;

    /// Reads one option record of the group: `text` is the record, `optionValue` the value
    /// of the option it stands for.
    void read(const QByteArray& text, int optionValue);
};

/// Reads a flag record: "1" sets the flag, then "0" clears it (so "10" ends clear); a record
/// holding neither leaves it as it was.
void readFlag(const QByteArray& text, std::optional<bool>& flag);

} // namespace settings
