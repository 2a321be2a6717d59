// The port list comes from the command line and the environment: any text either gives a
// list whose every port is in range, or leaves the ports untouched. The same for the list
// of links to connect at start.
#include "station/start_links.h"
#include "station/tcp_ports.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString list =
        QString::fromLocal8Bit(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    station::TcpPorts ports;
    ports.packets = 1; // a value no default has, to see it untouched
    const station::TcpPorts before = ports;
    QString error;
    station::StartLinks links;
    if (!station::applyStartLinkList(list, links, &error) &&
        (!(links == station::StartLinks{}) || error.isEmpty()))
        std::abort();
    error.clear();
    if (!station::applyTcpPortList(list, ports, &error)) {
        if (!(ports == before) || error.isEmpty())
            std::abort();
        return 0;
    }
    if (ports.kiss == 0 || ports.agwpe == 0 || ports.aprsIs == 0)
        std::abort();
    return 0;
}
