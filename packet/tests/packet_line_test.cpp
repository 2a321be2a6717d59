#include "packet/packet_line.h"
#include "packet/tests/test_bytes.h"

#include <gtest/gtest.h>

namespace {

using packet::igateLine;

TEST(PacketLine, OneLineWhateverTheLineEnd)
{
    const std::pair<QByteArray, bool> cases[] = {
        {"G4XYZ>APRS:>hi", true},
        {"G4XYZ>APRS:>hi\r\n", true},
        {"G4XYZ>APRS::G4ABC    :ack7\r", true},
        {"", true},
        {"G4XYZ>APSK63:>hi\rEVIL-1>APRS,qAR,G4XYZ:>forged", false},
        {"G4XYZ>APRS:>a\nb\r\n", false},
        {QByteArray("G4XYZ>APRS:>a\0b", 15), false},
        {QByteArray("G4XYZ>APRS:>a\0", 14), false},
        {"G4XYZ>APRS:>tab\tand \x03 and \x7f", true},
    };
    for (const auto& [packetText, oneLine] : cases)
        EXPECT_EQ(packet::isOneLine(packetText), oneLine) << packetText.toHex(' ').constData();
}

TEST(PacketLine, ControlBytesAreShownEscaped)
{
    EXPECT_EQ(packet::escapedControlBytes(QByteArray("a\rb\nc\0d\x03\x7f\te\xe9", 12)),
              "a<0x0D>b<0x0A>c<0x00>d<0x03><0x7F>\te\xe9");
    const QByteArray all = packet::escapedControlBytes(packet::test::allByteValues());
    EXPECT_FALSE(all.contains('\r'));
    EXPECT_FALSE(all.contains('\n'));
    EXPECT_FALSE(all.contains('\0'));
}

struct IgateCase {
    const char* name;
    QByteArray packet;
    QByteArray line; // empty: not gated
};

TEST(PacketLine, IgateLines)
{
    const QByteArray longest = "G4XYZ>APRS:>" + QByteArray(256 - 12, 'x');
    const IgateCase cases[] = {
        {"q construct after the path", "G4XYZ>APRS,WIDE1-1:>hi", "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-10:>hi"},
        {"no path", "G4XYZ>APSK63:>hi\r\n", "G4XYZ>APSK63,qAR,M0SKY-10:>hi"},
        {"used path entries", "G4XYZ>APRS,DIGI*,WIDE2-1:>x", "G4XYZ>APRS,DIGI*,WIDE2-1,qAR,M0SKY-10:>x"},
        {"colon inside the information", "G4XYZ>APRS::G4ABC    :hi:there{1",
         "G4XYZ>APRS,qAR,M0SKY-10::G4ABC    :hi:there{1"},
        {"256 characters", longest, longest.first(10) + ",qAR,M0SKY-10" + longest.sliced(10)},
        {"257 characters", longest + "x", ""},
        {"NOGATE", "G4XYZ>APRS,NOGATE:>hi", ""},
        {"NOGATE used", "G4XYZ>APRS,WIDE1*,NOGATE*:>hi", ""},
        {"RFONLY", "G4XYZ>APRS,RFONLY,WIDE2-1:>hi", ""},
        {"NOGATE only as a path entry", "G4XYZ>APRS,WIDE1-1:>NOGATE RFONLY",
         "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-10:>NOGATE RFONLY"},
        {"NOGATEX is another call", "G4XYZ>APRS,NOGATX:>hi", "G4XYZ>APRS,NOGATX,qAR,M0SKY-10:>hi"},
        {"third-party", "G4XYZ>APRS:}M0ABC>APRS,TCPIP,G4XYZ*:>from the net", ""},
        {"CR inside", "G4XYZ>APSK63:>hi\rEVIL-1>APRS,qAR,G4XYZ:>forged", ""},
        {"LF inside", "G4XYZ>APRS:>hi\nEVIL-1>APRS:>forged", ""},
        {"NUL inside", QByteArray("G4XYZ>APRS:>h\0i", 15), ""},
        {"no source", ">APRS:>hi", ""},
        {"no path separator", "G4XYZ APRS:>hi", ""},
        {"colon before the path", "G4:XYZ>APRS>hi", ""},
    };
    for (const IgateCase& c : cases)
        EXPECT_EQ(igateLine(c.packet, "M0SKY-10").value_or(QByteArray()), c.line) << c.name;
    EXPECT_FALSE(igateLine("G4XYZ>APRS:>hi", "")) << "no APRS-IS call: nothing to name in the q construct";
}

} // namespace
