#include "station/heard_list.h"

#include <algorithm>

namespace station {

HeardList::Change HeardList::add(const QByteArray& call)
{
    Change change;
    if (call.isEmpty() || m_known.contains(call))
        return change;
    if (size() >= kCapacity) {
        m_known.remove(m_entries.front());
        m_entries.pop_front();
        change.oldestRemoved = true;
    }
    m_entries.push_back(call);
    m_known.insert(call);
    change.added = true;
    return change;
}

bool HeardList::remove(const QByteArray& call)
{
    if (!m_known.remove(call))
        return false;
    m_entries.erase(std::find(m_entries.begin(), m_entries.end(), call));
    return true;
}

void HeardList::clear()
{
    m_entries.clear();
    m_known.clear();
}

QByteArrayList HeardList::first(qsizetype count) const
{
    QByteArrayList out;
    for (qsizetype i = 0; i < count && i < size(); ++i)
        out.append(m_entries[static_cast<std::size_t>(i)]);
    return out;
}

} // namespace station
