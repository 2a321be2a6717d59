// The operating-mode choices against a recording TNC, with station time a hundred times
// faster: what goes to the TNC and in which order, what is locked during the pause, and how
// a busy transmitter and a closing station hold the switch up.
#include "messaging/operating_mode_switch.h"

#include "platform/clock.h"
#include "station/station_state.h"
#include "station/waits.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using messaging::OperatingModeSwitch;
using station::OperatingMode;

class OperatingModeSwitchTest : public ::testing::Test {
protected:
    void SetUp() override { platform::Clock::setTimeScale(0.01); }
    void TearDown() override { platform::Clock::setTimeScale(1.0); }

    /// Runs `action` after `designMs` of station time, while the switch waits.
    void after(int designMs, std::function<void()> action)
    {
        QTimer::singleShot(platform::Clock::scaled(designMs), [this, action] {
            action();
            events << "(later)";
        });
    }
    /// Runs `action` at the first event the switch lets through once it has locked the other
    /// choices: inside its pause, however late a loaded machine runs it.
    void duringPause(std::function<void()> action)
    {
        QObject::connect(
            &modes, &OperatingModeSwitch::modeEnabled, &modes, [this, action] { after(0, action); },
            Qt::SingleShotConnection);
    }

    station::StationState state;
    station::Waits waits{state};
    bool hfMode = false;
    QStringList events;
    OperatingModeSwitch modes{
        state, waits,
        OperatingModeSwitch::Tnc{
            [this] { events << QStringLiteral("ctrl-C busy=%1").arg(state.transmitBusy); },
            [this](const QByteArray& line) {
                events << QString::fromLatin1(line.trimmed()) +
                              QStringLiteral(" busy=%1").arg(state.transmitBusy);
            }},
        [this] { return hfMode; }};

    void record()
    {
        QObject::connect(&modes, &OperatingModeSwitch::acksEnabled,
                         [this](bool on) { events << QStringLiteral("acks %1").arg(on); });
        QObject::connect(&modes, &OperatingModeSwitch::modeEnabled, [this](OperatingMode m, bool on) {
            events << QStringLiteral("mode%1 %2").arg(static_cast<int>(m)).arg(on);
        });
        QObject::connect(&modes, &OperatingModeSwitch::commandModeEntered,
                         [this] { events << "command mode"; });
        QObject::connect(&modes, &OperatingModeSwitch::converseResumed,
                         [this](bool send) { events << QStringLiteral("converse %1").arg(send); });
    }
};

TEST_F(OperatingModeSwitchTest, EachChoiceSendsItsCommandsInOrder)
{
    record();
    const struct {
        OperatingMode mode;
        bool hfMode, sendInProgress;
        QStringList expected;
    } cases[] = {
        {OperatingMode::TncCommand, false, false, {"acks 0", "ctrl-C busy=1", "command mode"}},
        {OperatingMode::AprsMessaging,
         false,
         false,
         {"acks 1", "ctrl-C busy=1", "mode1 0", "mode3 0", "mode4 0", "mode1 1", "mode3 1", "mode4 1",
          "conv busy=1", "converse 1"}},
        // No ACK choice in packet converse; with a modem option chosen, "TNC Command" stays locked.
        {OperatingMode::PacketConverse,
         true,
         false,
         {"acks 0", "ctrl-C busy=1", "mode1 0", "mode2 0", "mode4 0", "mode1 0", "mode2 1", "mode4 1",
          "conv busy=1", "converse 1"}},
        // A send in progress keeps tune and "Send Beacon" off.
        {OperatingMode::Raynet,
         false,
         true,
         {"acks 1", "ctrl-C busy=1", "mode1 0", "mode2 0", "mode3 0", "mode1 1", "mode2 1", "mode3 1",
          "conv busy=1", "converse 0"}},
    };
    for (const auto& c : cases) {
        events.clear();
        hfMode = c.hfMode;
        state.sendInProgress = c.sendInProgress;
        modes.select(c.mode);
        EXPECT_EQ(events, c.expected) << static_cast<int>(c.mode);
        EXPECT_FALSE(state.transmitBusy) << "the transmitter is free again";
    }
}

TEST_F(OperatingModeSwitchTest, TheOtherChoicesStayLockedForTheWholePause)
{
    record();
    duringPause([] {});
    modes.select(OperatingMode::AprsMessaging);
    const qsizetype at = events.indexOf("(later)");
    ASSERT_GE(at, 0);
    EXPECT_EQ(events.mid(at - 3, 3), (QStringList{"mode1 0", "mode3 0", "mode4 0"}));
    EXPECT_EQ(events.last(), "converse 1");
}

TEST_F(OperatingModeSwitchTest, ABusyTransmitterIsWaitedForHoweverLong)
{
    record();
    for (OperatingMode mode : {OperatingMode::TncCommand, OperatingMode::Raynet}) {
        events.clear();
        state.transmitBusy = true;
        after(5000, [this] { state.transmitBusy = false; }); // longer than any pause
        modes.select(mode);
        ASSERT_GE(events.size(), 3) << static_cast<int>(mode);
        EXPECT_EQ(events[1], "(later)") << "nothing goes to the TNC before the transmitter is free";
        EXPECT_EQ(events[2], "ctrl-C busy=1");
        EXPECT_FALSE(state.transmitBusy);
    }
}

TEST_F(OperatingModeSwitchTest, ClosingEndsTheWaitsAndNothingMoreIsSent)
{
    record();
    // Closing while the transmitter is still busy: the TNC gets nothing; "TNC Command" still
    // shows its locked controls, the others show nothing more.
    const struct {
        OperatingMode mode;
        QStringList expected;
    } whileBusy[] = {
        {OperatingMode::TncCommand, {"acks 0", "(later)", "command mode"}},
        {OperatingMode::AprsMessaging, {"acks 1", "(later)"}},
    };
    for (const auto& c : whileBusy) {
        events.clear();
        state.shuttingDown = false;
        state.transmitBusy = true;
        after(300, [this] { state.shuttingDown = true; });
        modes.select(c.mode);
        EXPECT_EQ(events, c.expected) << static_cast<int>(c.mode);
        QCoreApplication::processEvents();
    }

    // Closing during the pause: no "conv", the choices stay locked, the transmitter is freed.
    events.clear();
    state.shuttingDown = false;
    state.transmitBusy = false;
    duringPause([this] { state.shuttingDown = true; });
    modes.select(OperatingMode::PacketConverse);
    EXPECT_EQ(events, (QStringList{"acks 0", "ctrl-C busy=1", "mode1 0", "mode2 0", "mode4 0", "(later)"}));
    EXPECT_FALSE(state.transmitBusy);
}

} // namespace
