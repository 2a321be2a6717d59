#include "hf/modem_control.h"

#include "hf/scripted_modem.h"
#include "platform/clock.h"
#include "station/waits.h"
#include "hf/tests/test_links.h"
#include "tests/support/wait_until.h"

#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

qsizetype countContaining(const QByteArrayList& list, const char* part)
{
    return std::count_if(list.begin(), list.end(), [part](const QByteArray& e) { return e.contains(part); });
}

class ModemControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        state.pskAudioFrequency = 2100.4;
        log.modem = &modem;
        links.local = &local;
    }

    /// The clock runs 100 times faster before the control sets its timers from it.
    struct FastClock {
        FastClock() { platform::Clock::setTimeScale(0.01); }
    } fastClock;
    station::StationState state;
    station::Waits waits{state};
    hftest::EventLog log;
    hftest::TestLocal local{log};
    station::StationLinks links;
    hf::ScriptedModem modem;
    hf::ModemControl control{modem, state, waits, links};
    QTimer& watchdog = *control.findChild<QTimer*>("transmitWatchdogTimer");
    QTimer& tuneEnd = *control.findChild<QTimer*>("tuneEndTimer");
};

TEST_F(ModemControlTest, StartUpWritesDevicesChannelPlanAndCarrier)
{
    state.rxSoundCard = 3;
    state.txSoundCard = 0;
    state.hfPttPort = 4;
    state.sampleSpeedCode = 1;
    control.startUp();
    const QByteArrayList w = modem.writes();
    EXPECT_TRUE(w.contains("running=1"));
    EXPECT_TRUE(w.contains("soundDevices=3,-1")) << "receive entry 3 is device 3";
    EXPECT_TRUE(w.contains("sampleRate=11025"));
    EXPECT_TRUE(w.contains("pttPort=COM4"));
    EXPECT_TRUE(w.contains("carrier=2100"));
    EXPECT_EQ(modem.writesStartingWith("ch0.mode=").size(), 0);
    EXPECT_EQ(countContaining(modem.writes(), ".enabled=1"), 25);
    const struct {
        int ch;
        const char* mode;
        double rate;
        int squelch;
    } plan[] = {{0, "", 250, 600},       {1, "bpsk", 250, 1500},       {2, "GMSK", 250, 1500},
                {3, "bpsk", 62.5, 600},  {8, "GMSK", 250, 1500},       {9, "mfsk-U", 15.625, 1000},
                {14, "GMSK", 250, 1500}, {23, "mfsk-U", 15.625, 1000}, {24, "bpsk", 62.5, 600}};
    for (const auto& p : plan) {
        EXPECT_EQ(modem.channelMode(p.ch), p.mode) << p.ch;
        EXPECT_EQ(modem.channelRate(p.ch), p.rate) << p.ch;
        EXPECT_EQ(modem.channelSquelch(p.ch), p.squelch) << p.ch;
    }
    state.sampleSpeedCode = 0;
    state.hfPttPort = 0;
    modem.clearWrites();
    control.startUp();
    EXPECT_TRUE(modem.writes().contains("running=0"));
    EXPECT_TRUE(modem.writes().contains("pttPort=NONE"));
}

TEST_F(ModemControlTest, CarriersFromStartUpAndAfterEachPeriodicEventWithChannelsIdle)
{
    const int f = 2100;
    const int expected[25] = {f,      f,      f,      f,      f,       f - 25,  f + 25, f - 50, f + 50,
                              f,      f,      f - 75, f + 75, f + 100, f - 100, f + 45, f - 15, f + 30,
                              f - 45, f + 60, f - 60, f + 75, f + 75,  f - 30,  f};
    // Start-up already puts every channel in its place: the audio before the first periodic
    // event is decoded where the plan says, as the command line's plan decoding does.
    control.startUp();
    for (int ch = 0; ch < 25; ++ch)
        EXPECT_EQ(modem.channelCarrier(ch), expected[ch]) << "after start-up, channel " << ch;
    modem.firePeriodic();
    for (int ch = 0; ch < 25; ++ch)
        EXPECT_EQ(modem.channelCarrier(ch), expected[ch]) << "after a periodic event, channel " << ch;
}

TEST_F(ModemControlTest, ReceivingChannelsKeepTheirCarrier)
{
    modem.firePeriodic();
    modem.setChannelState(1, 1);
    modem.setChannelCarrier(1, 2137);
    modem.setChannelState(12, 1);
    modem.setChannelCarrier(12, 2190);
    modem.setChannelCarrier(23, 1);
    modem.firePeriodic();
    EXPECT_EQ(modem.channelCarrier(1), 2137);
    EXPECT_EQ(modem.channelCarrier(2), 2137);
    EXPECT_EQ(modem.channelCarrier(3), 2137);
    EXPECT_EQ(modem.channelCarrier(10), 2137);
    EXPECT_EQ(modem.channelCarrier(12), 2190); // re-parked only while idle
    EXPECT_EQ(modem.channelCarrier(23), 2070); // always
    modem.setChannelState(1, 0);
    modem.setChannelState(12, 0);
    modem.firePeriodic();
    EXPECT_EQ(modem.channelCarrier(1), 2100);
    EXPECT_EQ(modem.channelCarrier(10), 2100);
    EXPECT_EQ(modem.channelCarrier(12), 2175);
    EXPECT_EQ(control.rememberedCarrier(), 2100);
}

TEST_F(ModemControlTest, OptionsWriteChannelZeroAndQpsk250LeavesTheSquelch)
{
    control.selectTransmitMode(station::TransmitMode::Psk63);
    EXPECT_EQ(modem.writes(), (QByteArrayList{"ch0.squelch=500", "ch0.mode=BPSK", "ch0.rate=62.5"}));
    modem.clearWrites();
    control.selectTransmitMode(station::TransmitMode::Qpsk250);
    EXPECT_EQ(modem.writes(), (QByteArrayList{"ch0.mode=qpsk-U", "ch0.rate=250"}));
    modem.clearWrites();
    control.selectTransmitMode(station::TransmitMode::Tnc);
    EXPECT_TRUE(modem.writes().isEmpty());
}

TEST_F(ModemControlTest, LsbNotchAndSquelchFromTheLevelMeter)
{
    control.setLsbTxMode(true);
    EXPECT_EQ(countContaining(modem.writes(), "mode=mfsk-L"), 5);
    EXPECT_EQ(modem.channelMode(16), "mfsk-L");

    control.waterfallClicked(1234.5);
    EXPECT_TRUE(modem.writesStartingWith("notch").isEmpty()); // box unticked
    state.choices.notch = true;
    control.setNotchEnabled(true);
    EXPECT_EQ(modem.notch(), 1234);
    control.waterfallClicked(1500.0);
    EXPECT_EQ(modem.notch(), 1500);
    control.setNotchEnabled(false);
    EXPECT_EQ(modem.notch(), 0);

    modem.fireLevel(4002); // 1000.5 -> 1000
    EXPECT_EQ(modem.channelSquelch(0), 1250);
    EXPECT_EQ(modem.channelSquelch(1), 2300);
    EXPECT_EQ(modem.channelSquelch(13), 1750);
    EXPECT_EQ(modem.channelSquelch(24), 1000);
}

TEST_F(ModemControlTest, WatchdogSwitchesTheTransmitterOffAfter30Seconds)
{
    modem.setModemState(hf::Modem::kStateTransmitting);
    modem.fireTransmitState(true);
    EXPECT_TRUE(watchdog.isActive());
    ASSERT_TRUE(testsupport::waitUntil([&] { return modem.writes().contains("transmitter=0"); }));
    EXPECT_FALSE(watchdog.isActive());
    modem.clearWrites();
    modem.fireTransmitState(true);
    modem.fireTransmitState(false); // the transmission ended: disarmed
    EXPECT_FALSE(watchdog.isActive());
}

TEST_F(ModemControlTest, WatchdogIsSizedFromTheAirTimeOfWhatWasQueued)
{
    EXPECT_EQ(control.watchdogMs(), 30000) << "nothing queued";
    // A 150-character MFSK-16 beacon: about 45 s of audio.
    const QByteArray beacon = "..........~M0AAA>APSK16:" + QByteArray(150, 'b') + "ABCD\t~  \r\n";
    control.frameQueued("mfsk-U", 15.625, beacon);
    const qint64 mfsk = control.watchdogMs();
    EXPECT_GT(mfsk, 45000);
    EXPECT_LT(mfsk, 70000);
    modem.fireTransmitState(true);
    EXPECT_TRUE(watchdog.isActive());
    EXPECT_EQ(watchdog.interval(), platform::Clock::scaled(static_cast<double>(mfsk)));
    // A second frame queued while the first goes out extends the watch.
    control.frameQueued("BPSK", 62.5, "..........~" + QByteArray(100, 'e') + "ABCD\t~   \r\n");
    EXPECT_GT(control.watchdogMs(), mfsk);
    EXPECT_TRUE(watchdog.isActive());
    modem.fireTransmitState(false);
    EXPECT_EQ(control.watchdogMs(), 30000) << "back to 30 s once the transmitter is off";
    // A short frame keeps the 30 s.
    control.frameQueued("GMSK", 250, "..........~A>B:hi1234\t~  \r\n");
    EXPECT_EQ(control.watchdogMs(), 30000);
}

TEST_F(ModemControlTest, TuneStartsAndEndsAfterFiveSeconds)
{
    control.tuneClicked();
    EXPECT_TRUE(modem.writes().contains("tune=4"));
    EXPECT_TRUE(tuneEnd.isActive());
    EXPECT_TRUE(control.tuning());
    ASSERT_TRUE(testsupport::waitUntil([&] { return !control.tuning(); }));
    EXPECT_TRUE(modem.writes().contains("transmitter=0"));
    EXPECT_EQ(log.events, (QByteArrayList{"PTT True@0", "PTT False@0"}));
}

TEST_F(ModemControlTest, TuneStoppedByASecondClick)
{
    control.tuneClicked();
    modem.clearWrites();
    control.tuneClicked();
    EXPECT_FALSE(control.tuning());
    EXPECT_FALSE(tuneEnd.isActive());
    EXPECT_EQ(modem.writes(), (QByteArrayList{"transmitter=0", "carrier=2100", "ch0.carrier=2100"}));
    EXPECT_EQ(log.events.size(), 2);
}

TEST_F(ModemControlTest, TuneDoesNothingWithTheTncOption)
{
    state.choices.transmitMode = station::TransmitMode::Tnc;
    control.tuneClicked();
    EXPECT_TRUE(modem.writes().isEmpty());
}

} // namespace
