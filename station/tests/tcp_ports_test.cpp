// The port list of the command line and the environment, and the list of links to connect at start.
#include "station/start_links.h"
#include "station/tcp_ports.h"

#include <gtest/gtest.h>

namespace {

TEST(TcpPortList, NamedPortsChangeTheRestKeepTheirValues)
{
    struct Case {
        const char* list;
        station::TcpPorts expected;
    };
    const Case cases[] = {
        {"packets=18063", {18063, 8500, 8064, 4000, 8000, 14580}},
        {" kiss = 14000 , aprs-is=24580,", {8063, 8500, 8064, 14000, 8000, 24580}},
        {"packets=0,ptt=0,receive-log=0", {0, 0, 0, 4000, 8000, 14580}},
        {"agwpe=65535,ptt=1,ptt=2", {8063, 2, 8064, 4000, 65535, 14580}},
    };
    for (const Case& c : cases) {
        station::TcpPorts ports;
        QString error;
        EXPECT_TRUE(station::applyTcpPortList(QString::fromLatin1(c.list), ports, &error)) << c.list;
        EXPECT_TRUE(ports == c.expected) << c.list;
        EXPECT_TRUE(error.isEmpty()) << c.list;
    }
}

TEST(TcpPortList, FaultsChangeNothingAndSayWhy)
{
    struct Case {
        const char* list;
        const char* why;
    };
    const Case cases[] = {
        {"", "no ports"},
        {",,", "no ports"},
        {"packets", "NAME=PORT"},
        {"=8063", "NAME=PORT"},
        {"telnet=23", "unknown port name 'telnet'"},
        {"packets=65536", "not a port number for packets"},
        {"packets=-1", "not a port number"},
        {"ptt=12x", "not a port number"},
        {"kiss=0", "not a port number for kiss"}, // a peer needs a real port
        {"aprs-is=", "not a port number"},
        {"packets=18063,bogus=1", "unknown port name"}, // all or nothing
    };
    for (const Case& c : cases) {
        station::TcpPorts ports;
        QString error;
        EXPECT_FALSE(station::applyTcpPortList(QString::fromLatin1(c.list), ports, &error)) << c.list;
        EXPECT_TRUE(ports == station::TcpPorts{}) << c.list;
        EXPECT_TRUE(error.contains(QLatin1String(c.why))) << c.list << ": " << error.toStdString();
    }
}

TEST(StartLinkList, NamesSwitchLinksOnAndAFaultChangesNothing)
{
    struct Case {
        const char* list;
        bool ok;
        station::StartLinks expected;
    };
    const Case cases[] = {
        {"agwpe", true, {false, true, false}},
        {" kiss , aprs-is,agwpe,", true, {true, true, true}},
        {"kiss,kiss", true, {true, false, false}},
        {"", false, {}},
        {",", false, {}},
        {"agwpe,telnet", false, {}}, // all or nothing
        {"AGWPE", false, {}},
        {"aprs-is=1", false, {}},
    };
    for (const Case& c : cases) {
        station::StartLinks links;
        QString error;
        EXPECT_EQ(station::applyStartLinkList(QString::fromLatin1(c.list), links, &error), c.ok) << c.list;
        EXPECT_TRUE(links == c.expected) << c.list;
        EXPECT_EQ(error.isEmpty(), c.ok) << c.list;
    }
}

} // namespace
