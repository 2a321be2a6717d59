#include "hf/igate_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(IgateRules, HfPacketsNeverGated)
{
    for (const char* p : {"A>APSK63::B        :?APRS", "A>APSK63:?aprs", "A>APSK63:?igate", "A>APSK63:?IGATE",
                          "A>APSK99:x", "A>APSK63,TCPIP*:x", "A>APSK63,TCPXX*:x"})
        EXPECT_TRUE(hf::hfGateExcluded(p)) << p;
    EXPECT_FALSE(hf::hfGateExcluded("A>APSK63:>status"));
}

TEST(IgateRules, AprsIsLinesForStationsHeardOnHf)
{
    QByteArrayList heard{"X", "G4ABC"};
    for (int i = 0; i < 9; ++i)
        heard.append("FILL" + QByteArray::number(i));
    heard.append("LATE1"); // index 11: beyond the entries looked at
    const QByteArray call = "MYCALL";
    EXPECT_TRUE(hf::gateToHf("SRC>APRS,TCPIP*::G4ABC    :hello{1\r\n", heard, call));
    EXPECT_FALSE(hf::gateToHf("SRC>APRS,TCPIP*::LATE1    :hello", heard, call));
    EXPECT_FALSE(hf::gateToHf("SRC>APRS::X        :hello", heard, call)); // entry of 1 character
    EXPECT_FALSE(hf::gateToHf("MYCALL>APRS::G4ABC    :own packet", heard, call));
    EXPECT_FALSE(hf::gateToHf("SRC>APRS::G4ABC    :hi ::MYCALL", heard, call));
    EXPECT_FALSE(hf::gateToHf("::G4ABC    :at position 0", heard, call));
    EXPECT_TRUE(hf::gateToHf("S>A::G4ABC    :" + QByteArray(255 - 15, 'x'), heard, call));
    EXPECT_FALSE(hf::gateToHf("S>A::G4ABC    :" + QByteArray(256 - 15, 'x'), heard, call));
}

TEST(IgateRules, GatedAndRelayedBodies)
{
    EXPECT_EQ(hf::gatedHfBody("SRC>APRS,TCPIP*,qAC,T2::G4ABC    :hi{1\r\n", "MYCALL").value(),
              "SRC>APSK20,MYCALL*::G4ABC    :hi{1");
    EXPECT_FALSE(hf::gatedHfBody("no source here", "MYCALL"));
    EXPECT_EQ(hf::relayBody("SRC>APWW:payload\r\n", ">APSK63:").value(), "SRC>APSK63:payload");
    EXPECT_FALSE(hf::relayBody("SRC>APWW,X>APU25:payload", ">APSK63:"));
    EXPECT_FALSE(hf::relayBody("SRC>APRS:payload", ">APSK63:"));
}

TEST(IgateRules, Digipeat)
{
    EXPECT_EQ(hf::digipeatBody("SRC>APSK63,WIDE2-1:text", "MYCALL"), "SRC>APSK63,MYCALL*,WIDE2-1:text");
    EXPECT_EQ(hf::digipeatBody("S>APSK63,WIDE2-1:a~b|c WIDE2-1", "M"), "S>APSK63,M*,WIDE2-1:abc M*,WIDE2-1");
    EXPECT_TRUE(hf::shouldDigipeat("SRC>APSK63,WIDE2-1:text", "SRC", "MYCALL"));
    EXPECT_FALSE(hf::shouldDigipeat("SRC>APSK63:text", "SRC", "MYCALL"));
    EXPECT_FALSE(hf::shouldDigipeat("MYCALL>APSK63,WIDE2-1:text", "MYCALL", "MYCALL"));
    EXPECT_FALSE(hf::shouldDigipeat("SRC>APSK63,WIDE2-1::MYCALL   :hi", "SRC", "MYCALL"));
    EXPECT_FALSE(hf::shouldDigipeat("", "", "MYCALL"));
}

} // namespace
