#include "position/gps_display.h"
#include "position/gps_icon.h"
#include "position/gps_position.h"

#include <gtest/gtest.h>

using namespace position;

namespace {
RmcSentence fix(char status, QByteArray lat, QByteArray ns, QByteArray lon, QByteArray ew)
{
    RmcSentence rmc;
    rmc.status = status;
    rmc.latitude = lat;
    rmc.northSouth = ns;
    rmc.longitude = lon;
    rmc.eastWest = ew;
    return rmc;
}
} // namespace

TEST(GpsIcon, TableOfCaptions)
{
    const std::tuple<QString, char, char> cases[] = {
        {"HF station", '\\', '-'}, {"Camp", '/', ';'}, {"Car", '/', '>'},   {"Van", '/', 'v'},
        {"Jeep", '/', 'j'},        {"RV", '/', 'R'},   {"Truck", '/', 'k'}, {"Ambulance", '/', 'a'},
        {"Bus", '/', 'U'},         {"Ship", '/', 's'}, {"Yacht", '/', 'Y'}, {"Large  truck", '/', 'u'},
    };
    for (const auto& [caption, table, code] : cases)
        EXPECT_EQ(gpsIconForCaption(caption), (GpsIcon{table, code})) << caption.toStdString();
    EXPECT_EQ(gpsIconCaptions().size(), 12);
    EXPECT_FALSE(gpsIconForCaption("Large truck").has_value()); // one blank: not the caption
    EXPECT_EQ(gpsIconOrDefault(""), (GpsIcon{'/', '>'}));
}

TEST(GpsPosition, WorkedExamples)
{
    const auto car = gpsIconOrDefault("Car");
    EXPECT_EQ(gpsPositionInfo(fix('A', "4807.038", "N", "01131.000", "E"), car, " mobile"),
              QByteArray("=4807.03N/01131.00E> mobile"));
    EXPECT_EQ(gpsPositionInfo(fix('A', "4916.4500", "N", "12311.1200", "W"), car, ""),
              QByteArray("=4916.45N/12311.12W>"));
    EXPECT_EQ(gpsPositionInfo(fix('A', "4916.45", "N", "12311.12", "W"), car, "c"),
              QByteArray("=4916.45N/12311.12W>c"));
    EXPECT_EQ(
        gpsPositionInfo(fix('A', "4807.038", "N", "01131.000", "E"), gpsIconOrDefault("HF station"), "HF"),
        QByteArray("=4807.03N\\01131.00E-HF"));
}

TEST(GpsPosition, FullSentenceToBeaconText)
{
    const auto rmc = parseRmc("$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68");
    ASSERT_TRUE(rmc.has_value());
    EXPECT_EQ(gpsPositionInfo(*rmc, gpsIconOrDefault("Car"), "on the road"),
              QByteArray("=4916.45N/12311.12W>on the road"));
}

TEST(GpsPosition, NoFixOrDamagedPositionGivesNothing)
{
    const GpsIcon car;
    const RmcSentence rejected[] = {
        fix('V', "4807.038", "N", "01131.000", "E"), // receiver warning: no fix
        fix(0, "4807.038", "N", "01131.000", "E"),    fix('A', "", "", "", ""),
        fix('A', "480.7038", "N", "01131.000", "E"), // point in the wrong place
        fix('A', "4807.038", "N", "1131.000", "E"),   fix('A', "48x7.038", "N", "01131.000", "E"),
        fix('A', "9107.038", "N", "01131.000", "E"), // beyond 90 degrees
        fix('A', "4860.038", "N", "01131.000", "E"), // 60 minutes
        fix('A', "4807.038", "N", "18131.000", "E"),  fix('A', "4807.038", "X", "01131.000", "E"),
        fix('A', "4807.038", "N", "01131.000", "EW"),
    };
    for (const auto& rmc : rejected)
        EXPECT_FALSE(gpsPositionInfo(rmc, car, "c").has_value())
            << rmc.latitude.toStdString() << " " << rmc.longitude.toStdString();
}

TEST(GpsPosition, FewDecimalsArePaddedToFixedWidth)
{
    EXPECT_EQ(gpsPositionInfo(fix('A', "3351.4", "S", "15112.", "E"), GpsIcon{}, ""),
              QByteArray("=3351.40S/15112.00E>"));
    EXPECT_EQ(gpsPositionInfo(fix('A', "0000.00", "N", "00000.00", "W"), GpsIcon{}, ""),
              QByteArray("=0000.00N/00000.00W>"));
}

TEST(GpsPosition, StatusTexts)
{
    EXPECT_STREQ(kGpsFixOk, "GPS fix OK:");
    EXPECT_STREQ(kNoGpsFix, "No GPS fix:");
    EXPECT_STREQ(kNoGpsInput, "No GPS input");
    EXPECT_STREQ(kNoGpsConnected, "No GPS connected");
}

TEST(GpsDisplay, LabelAndButtonsPerState)
{
    using C = StatusColour;
    struct Case {
        GpsState state;
        bool gpsType;
        const char* text;
        C label, gps;
        std::optional<C> fixed;
    };
    const Case cases[] = {
        {GpsState::FixOk, true, "GPS fix OK:", C::Green, C::Green, C::Grey},
        {GpsState::FixOk, false, "GPS fix OK:", C::Green, C::Grey, std::nullopt},
        {GpsState::NoFix, true, "No GPS fix:", C::Yellow, C::Yellow, C::Green},
        {GpsState::NoFix, false, "No GPS fix:", C::Yellow, C::Grey, std::nullopt},
        {GpsState::NoInput, true, "No GPS input", C::Red, C::Red, C::Green},
        {GpsState::NoInput, false, "No GPS input", C::Red, C::Grey, C::Green},
    };
    for (const auto& c : cases) {
        const GpsDisplay d = gpsDisplay(c.state, c.gpsType);
        EXPECT_STREQ(d.labelText, c.text);
        EXPECT_EQ(d.labelColour, c.label) << c.text << c.gpsType;
        EXPECT_EQ(d.gpsButton, c.gps) << c.text << c.gpsType;
        EXPECT_EQ(d.fixedButton, c.fixed) << c.text << c.gpsType;
    }
}
