#include "position/beacon_forms.h"

#include <gtest/gtest.h>

using namespace position;

TEST(BeaconForms, CountdownLabel)
{
    const std::pair<double, const char*> cases[] = {
        {120, "Time to next beacon:    2 min 0 sec "},   {119, "Time to next beacon:    1 min 59 sec "},
        {60, "Time to next beacon:    1 min 0 sec "},    {59, "Time to next beacon:    0 min 59 sec "},
        {3600, "Time to next beacon:    60 min 0 sec "}, {0, "Time to next beacon:    0 min 0 sec "},
        {-1, "Time to next beacon:    0 min 0 sec "},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(countdownLabelText(seconds), QByteArray(text)) << seconds;
}

TEST(BeaconForms, LinesOnTheTextBearers)
{
    EXPECT_EQ(aprsIsBeaconLine("M0SKY-1", ">Skylark v3.33"),
              QByteArray("M0SKY-1>APSK20:>Skylark v3.33\r\n\r\n"));
    EXPECT_EQ(textTncBeaconLine("=4807.03N/01131.00E>Car"), QByteArray("=4807.03N/01131.00E>Car\r"));
    // 8-bit text passes unchanged.
    EXPECT_EQ(aprsIsBeaconLine("A", QByteArray("\xC0\xDB", 2)), QByteArray("A>APSK20:\xC0\xDB\r\n\r\n"));
}

TEST(BeaconForms, KissPathFollowsDigipeatMe)
{
    EXPECT_EQ(kissBeaconPath(true, "WIDE2-1"), QByteArray("WIDE2-1"));
    EXPECT_EQ(kissBeaconPath(true, "WIDE1-1,WIDE2-1"), QByteArray("WIDE1-1,WIDE2-1"));
    EXPECT_TRUE(kissBeaconPath(false, "WIDE2-1").isEmpty());
}
