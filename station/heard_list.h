#pragma once
// A stations-heard list ("TNC stations heard", "HF stations heard"): every callsign once, in
// the order first heard, at most kCapacity of them. A new station beyond that pushes out the
// one heard first, so a stream of forged source calls cannot grow the list without limit.

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>

#include <deque>

namespace station {

class HeardList {
public:
    static constexpr qsizetype kCapacity = 500;

    /// What add() did, for the list on screen to follow.
    struct Change {
        bool added = false;         ///< the call is new and now the last entry
        bool oldestRemoved = false; ///< the first entry left to make room
    };

    /// Adds `call` at the end unless it is empty or already listed (the first entry stays
    /// where it is).
    Change add(const QByteArray& call);
    /// Removes `call` (the operator's double click); false when it was not listed.
    bool remove(const QByteArray& call);
    void clear();

    bool contains(const QByteArray& call) const { return m_known.contains(call); }
    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    /// The first `count` entries, in order.
    QByteArrayList first(qsizetype count) const;
    const std::deque<QByteArray>& entries() const { return m_entries; }

private:
    std::deque<QByteArray> m_entries;
    QSet<QByteArray> m_known;
};

} // namespace station
