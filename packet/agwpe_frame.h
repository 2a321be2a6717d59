#pragma once

#include <QByteArray>

namespace packet {

/// One frame of the AGWPE TCP protocol: a 36-byte header, then `data`.
/// Header (integers little-endian): 0 radio port (byte 0 used, 1..3 zero), 4 data kind,
/// 6 PID, 8 call from (10 bytes, NUL padded), 18 call to (10 bytes), 28 data length
/// (uint32), 32 user field (uint32, unused).
struct AgwpeFrame {
    static constexpr qsizetype kHeaderSize = 36;

    quint8 port = 0;     ///< radio port, 0-based
    char kind = 0;       ///< data kind: 'U' monitored UI frame, 'T' our own transmission...
    quint8 pid = 0;      ///< AX.25 PID as the server reports it (direwolf sends 0)
    QByteArray callFrom; ///< up to the first NUL, at most 10 bytes
    QByteArray callTo;   ///< up to the first NUL, at most 10 bytes
    QByteArray data;     ///< exactly data-length bytes
};

} // namespace packet
