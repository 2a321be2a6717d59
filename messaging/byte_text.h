#pragma once

// Internal helper: joins 8-bit text pieces (Qt 6.4 has no QByteArray + QByteArrayView).

#include <QByteArray>
#include <QByteArrayView>

#include <initializer_list>

namespace messaging::detail {

inline QByteArray join(std::initializer_list<QByteArrayView> parts)
{
    qsizetype total = 0;
    for (const QByteArrayView p : parts)
        total += p.size();
    QByteArray out;
    out.reserve(total);
    for (const QByteArrayView p : parts)
        out.append(p);
    return out;
}

} // namespace messaging::detail
