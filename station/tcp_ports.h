#pragma once
#include <QString>
#include <QtGlobal>

namespace station {

/// The TCP port numbers the station uses: its own service ports on 127.0.0.1 and the ports
/// of the programs and servers it connects to. The defaults are the usual ones; a second
/// station on the same computer (or a test) gives other numbers.
struct TcpPorts {
    // Service ports for programs on this computer (0: the system picks a free one).
    quint16 packets = 8063;    ///< packets both ways
    quint16 ptt = 8500;        ///< PTT notices
    quint16 receiveLog = 8064; ///< receive-log records
    // Peers.
    quint16 kiss = 4000;    ///< sound-card TNC program, KISS over TCP
    quint16 agwpe = 8000;   ///< sound-card TNC program, AGWPE
    quint16 aprsIs = 14580; ///< APRS-IS server

    bool operator==(const TcpPorts&) const = default;
};

/// Reads a port list such as "packets=18063,ptt=18500,receive-log=18064,kiss=14000,
/// agwpe=18000,aprs-is=24580" into `ports`; names not given keep their value. Service
/// ports take 0..65535, peer ports 1..65535. On a fault `ports` is unchanged, `error` (when
/// given) says what is wrong, and the result is false.
bool applyTcpPortList(const QString& list, TcpPorts& ports, QString* error = nullptr);

/// The names applyTcpPortList() understands, for the help text.
inline constexpr const char* TcpPortNames = "packets, ptt, receive-log, kiss, agwpe, aprs-is";

} // namespace station
