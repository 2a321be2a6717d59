#include "station/station_state.h"
#include "station/waits.h"

#include "platform/clock.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using station::StationState;
using station::Waits;

class WaitsTest : public ::testing::Test {
protected:
    void SetUp() override { platform::Clock::setTimeScale(0.01); }
    StationState state;
    Waits waits{state};
};

TEST_F(WaitsTest, EventsRunDuringAWaitAndNestedWaitsUseTheirOwnTimers)
{
    bool handled = false;
    QTimer::singleShot(1, [&] { handled = true; });
    int nestedDone = 0;
    QTimer::singleShot(2, [&] {
        waits.TimeDelay(0.5); // nested inside the outer DecayTimeDelay
        ++nestedDone;
    });
    waits.DecayTimeDelay(3.0);
    EXPECT_TRUE(handled);
    EXPECT_EQ(nestedDone, 1);
}

TEST_F(WaitsTest, TheSameWaitNestedInsideItselfStillEndsOnTime)
{
    int inner = 0;
    QTimer::singleShot(2, [&] {
        waits.TimeDelay(0.5); // re-entered while the outer TimeDelay runs
        ++inner;
    });
    QElapsedTimer t;
    t.start();
    waits.TimeDelay(2.0); // 20 ms at this scale
    EXPECT_EQ(inner, 1);
    EXPECT_LT(t.elapsed(), 2000) << "the outer wait must not hang";
}

TEST_F(WaitsTest, ShuttingDownEndsEveryWait)
{
    QTimer::singleShot(5, [&] { state.shuttingDown = true; });
    QElapsedTimer t;
    t.start();
    waits.TimeDelay(3600.0); // 36 s at this scale unless the shutdown ends it
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(waits.waitForTransmitter() && state.transmitBusy);
    state.transmitBusy = true;
    EXPECT_FALSE(waits.waitForTransmitter()) << "gives up while closing";
}

TEST_F(WaitsTest, WaitForTransmitterReturnsWhenReleased)
{
    state.transmitBusy = true;
    QTimer::singleShot(3, [&] { state.transmitBusy = false; });
    EXPECT_TRUE(waits.waitForTransmitter());
    EXPECT_EQ(station::beaconIntervalSeconds(4), 120);
    EXPECT_EQ(station::beaconIntervalSeconds(0), 600);
}

TEST_F(WaitsTest, AWaitForTheTransmitterNestedUnderItsHolderGivesUpInsteadOfHanging)
{
    // The holder pauses with the transmitter held; a timer handler that runs inside the pause
    // waits for the transmitter. The holder cannot let go before the nested wait returns.
    // Before the bound, this test never returned.
    bool nestedGotIt = true;
    state.transmitBusy = true;
    QTimer::singleShot(2, [&] { nestedGotIt = waits.waitForTransmitter(); });
    waits.TimeDelay(60.0); // long enough for the timer to fire inside it on a busy machine
    state.transmitBusy = false;
    EXPECT_FALSE(nestedGotIt) << "the nested wait gave up after its bound";
}

TEST_F(WaitsTest, BoundedWaitEndsClearedTimedOutOrClosing)
{
    bool busy = true;
    QTimer::singleShot(platform::Clock::scaled(500), [&] { busy = false; });
    EXPECT_EQ(waits.waitWhileFor([&] { return busy; }, 60.0), Waits::WaitEnd::Cleared);
    // A carrier that never drops: the wait gives up after its time (60 s design time).
    EXPECT_EQ(waits.waitWhileFor([] { return true; }, 60.0), Waits::WaitEnd::TimedOut);
    QTimer::singleShot(platform::Clock::scaled(500), [&] { state.shuttingDown = true; });
    EXPECT_EQ(waits.waitWhileFor([] { return true; }, 600.0), Waits::WaitEnd::Closing);
}
