#include "platform/clock.h"

#include <QTimer>
#include <gtest/gtest.h>

using platform::Clock;

TEST(Clock, ScalesDesignIntervalsKeepingProportion)
{
    const double saved = Clock::timeScale();
    Clock::setTimeScale(0.01);
    EXPECT_EQ(Clock::scaled(30000), 300);
    EXPECT_EQ(Clock::scaled(60000), 600);
    EXPECT_EQ(Clock::scaled(10), 1) << "short intervals never become 0";
    EXPECT_EQ(Clock::scaled(0), 0);
    QTimer t;
    Clock::setDesignInterval(t, 1000);
    EXPECT_EQ(t.interval(), 10);
    Clock::setTimeScale(-1); // refused
    EXPECT_DOUBLE_EQ(Clock::timeScale(), 0.01);
    Clock::setTimeScale(saved);
}
