// The HF link through the real main window, with the scripted modem.
#include "app/tests/window_fixture.h"

#include "app/modem_views.h"
#include "app/widget_helpers.h"
#include "hf/hf_frame.h"
#include "hf/hf_link.h"
#include "hf/scripted_modem.h"
#include "hf/tests/test_links.h"
#include "tests/support/pty_pair.h"
#include "records/log_file.h"
#include "tests/support/wait_until.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

class HfWindowTest : public WindowTest {
protected:
    hf::ScriptedModem& openWindow()
    {
        makeMain();
        main->beacons().startupBeaconTimer().stop(); // no start-up beacon in the middle of these exchanges
        main->beacons().scheduleTimer().stop();      // nor a scheduled one
        state.hfCall = "MYCALL";
        state.aprsIsCall = "MYIS";
        state.remoteCall = "REMOTE";
        state.remoteTxOnCode = "Relay keying open";
        state.remoteTxOffCode = "Relay keying close";
        auto* modem = qobject_cast<hf::ScriptedModem*>(main->modem());
        EXPECT_NE(modem, nullptr);
        log.modem = modem;
        main->links().local = &local;
        main->links().aprsIs = &aprsIs;
        return *modem;
    }
    static void receive(hf::ScriptedModem& modem, const QByteArray& body, int channel = 8)
    {
        modem.injectText(channel, hf::buildFrame(body, hf::FrameSender::Message));
    }

    hftest::EventLog log;
    hftest::TestLocal local{log};
    hftest::TestAprsIs aprsIs{log};
};

TEST_F(HfWindowTest, ModemIsSetUpAtLoad)
{
    hf::ScriptedModem& modem = openWindow();
    EXPECT_TRUE(modem.running());
    EXPECT_TRUE(modem.writes().contains("soundDevices=0,-1"));
    EXPECT_EQ(modem.channelMode(24), "bpsk");
    EXPECT_TRUE(in<QTimer>(*main, "transmitWatchdogTimer")->isActive());
}

TEST_F(HfWindowTest, ReceivedFrameLandsInTrafficHeardLogAndHeardList)
{
    hf::ScriptedModem& modem = openWindow();
    receive(modem, "G4ABC-2>APSK26:>hello");
    auto* list = in<QListWidget>(*main, "hfHeardList");
    ASSERT_TRUE(testsupport::waitUntil([&] { return list->count() == 1; }));
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("G4ABC-2"));
    EXPECT_EQ(in<QPlainTextEdit>(*main, "hfTrafficDisplay")->toPlainText(),
              QStringLiteral("   G4ABC-2>APSK26:>hello\n"));
    QFile f(records::LogFile::mheardLog(dir.path()).path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("\",\"G4ABC-2>APSK26:>hello\"\r\n"));
    receive(modem, "G4ABC-2>APSK26:>again", 12);
    ASSERT_TRUE(testsupport::waitUntil([&] { return main->hfLink()->trafficText().contains("again"); }));
    EXPECT_EQ(list->count(), 1);
}

TEST_F(HfWindowTest, MessageToUsIsAcknowledgedInTheSelectedModeWithPttNotices)
{
    hf::ScriptedModem& modem = openWindow();
    in<QRadioButton>(*main, "psk250Option")->click(); // "PSK-250"
    EXPECT_EQ(modem.channelSquelch(0), 1500);
    modem.clearWrites();
    receive(modem, "G4ABC>APSK25::MYCALL   :hello{12");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !modem.queued().isEmpty(); }));
    EXPECT_EQ(modem.queued().first(),
              hf::buildFrame("MYCALL>APSK25::G4ABC    :ack12\r", hf::FrameSender::Ack));
    EXPECT_EQ(modem.channelMode(0), "BPSK");
    EXPECT_EQ(modem.channelRate(0), 250.0);
    EXPECT_EQ(hftest::withPrefix(log.events, "PTT"), (QByteArrayList{"PTT True@0", "PTT False@1"}));
    EXPECT_TRUE(in<QPlainTextEdit>(*main, "messagesDisplay")
                    ->toPlainText()
                    .contains(QStringLiteral("From: G4ABC To: :MYCALL")));
}

TEST_F(HfWindowTest, FrameHoldingCmdPutsTheTncBackIntoConverse)
{
    testsupport::PtyPair tnc;
    ASSERT_TRUE(tnc.isReady());
    useTextTnc(tnc);
    hf::ScriptedModem& modem = openWindow();
    TncWire wire{tnc, {}};
    ASSERT_TRUE(wire.waitFor(QByteArray("\x03\r", 2), true));
    wire.bytes.clear();
    receive(modem, "G4ABC>APSK26:>cmd: seen on the air");
    ASSERT_TRUE(wire.waitFor("conv\r"));
    EXPECT_EQ(wire.bytes, "conv\r");
}

TEST_F(HfWindowTest, RemoteTransmitOffShowsTheTitleAndHoldsTheTransmitter)
{
    hf::ScriptedModem& modem = openWindow();
    receive(modem, "REMOTE>APSK26::MYCALL   :Relay keying close{3");
    ASSERT_TRUE(testsupport::waitUntil([&] { return hftest::withPrefix(log.events, "PTT").size() == 2; }));
    EXPECT_EQ(in<QLabel>(*main, "titleLabel")->text(), QStringLiteral("     IGATE REMOTE TX OFF"));
    EXPECT_FALSE(state.igateTransmitEnabled);
    EXPECT_TRUE(modem.queued().isEmpty());
    EXPECT_TRUE(log.events.contains("is:MYIS>APSK63::REMOTE   :Confirm Relay keying close{1\r\n"));
}

TEST_F(HfWindowTest, WaterfallAndMeterFollowTheModem)
{
    hf::ScriptedModem& modem = openWindow();
    main->resize(900, 700);
    main->show();
    auto* waterfall = main->findChild<app::WaterfallView*>(QStringLiteral("upperWaterfall"));
    auto* meter = main->findChild<app::LevelMeter*>(QStringLiteral("levelMeter"));
    ASSERT_TRUE(waterfall && meter);
    modem.setSignalLevel(1200);
    modem.firePeriodic();
    EXPECT_EQ(waterfall->linesShown(), 1);
    EXPECT_EQ(meter->level(), 1200);
    // New lines repaint only below the scale; a whole repaint still draws the scale's labels.
    modem.firePeriodic();
    const QImage shot = waterfall->grab().toImage();
    int white = 0;
    for (int y = 0; y < app::WaterfallView::ScaleHeight; ++y)
        for (int x = 0; x < shot.width(); ++x)
            white += shot.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
    EXPECT_GT(white, 20);

    in<QCheckBox>(*main, "notchCheck")->setChecked(true);
    const int x = waterfall->width() / 2;
    QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(x, waterfall->height() / 2));
    EXPECT_EQ(modem.notch(), static_cast<int>(std::nearbyint(waterfall->frequencyAt(x))));
    EXPECT_GT(modem.notch(), 0);

    QTest::mouseClick(meter, Qt::LeftButton, {}, QPoint(meter->width() / 4, meter->height() / 2));
    EXPECT_EQ(modem.channelSquelch(24), meter->squelchLevel() / 4);
}

TEST_F(HfWindowTest, TuneButtonStartsAndEnds)
{
    hf::ScriptedModem& modem = openWindow();
    auto* tune = in<QPushButton>(*main, "tuneButton");
    tune->setEnabled(true);
    // A beacon a loaded machine let go out while the window loaded stays counted.
    const QByteArray queued = "@" + QByteArray::number(modem.queued().size());
    tune->click();
    EXPECT_TRUE(modem.writes().contains("tune=4"));
    EXPECT_EQ(app::backColour(tune), app::Green);
    ASSERT_TRUE(testsupport::waitUntil([&] { return app::backColour(tune) == app::LightGrey; }));
    EXPECT_EQ(hftest::withPrefix(log.events, "PTT"),
              (QByteArrayList{"PTT True" + queued, "PTT False" + queued}));
}

TEST_F(HfWindowTest, ModemOptionsShowTheirChannelsStateAndSendBeaconTheModemsState)
{
    hf::ScriptedModem& modem = openWindow();
    const std::pair<int, const char*> indicators[] = {
        {9, "mfsk16Option"},   {2, "psk63Option"},  {17, "qpsk125Option"},  {4, "psk250Option"},
        {24, "qpsk250Option"}, {6, "gmsk63Option"}, {20, "ax25MfskOption"}, {8, "gmsk250Option"}};
    for (const auto& [busy, option] : indicators) {
        SCOPED_TRACE(option);
        for (const auto& [channel, name] : indicators)
            modem.setChannelState(channel, channel == busy ? 1 : 0);
        modem.firePeriodic();
        for (const auto& [channel, name] : indicators)
            EXPECT_EQ(app::backColour(in<QRadioButton>(*main, name)),
                      channel == busy ? app::Green : app::LightGrey)
                << name;
    }
    auto* beacon = in<QPushButton>(*main, "sendBeaconButton");
    modem.setModemState(hf::Modem::kStateIdle);
    modem.firePeriodic();
    EXPECT_EQ(app::backColour(beacon), app::LightGrey);
    EXPECT_EQ(beacon->text(), QStringLiteral("Send Beacon"));
    modem.setModemState(hf::Modem::kStateTransmitting);
    modem.firePeriodic();
    EXPECT_EQ(app::backColour(beacon), app::Green);
    EXPECT_EQ(beacon->text(), QStringLiteral("Transmit"));
    for (const auto& [channel, name] : indicators)
        EXPECT_FALSE(in<QRadioButton>(*main, name)->isEnabled()) << name;
    modem.setModemState(hf::Modem::kStateIdle);
    modem.firePeriodic();
    for (const auto& [channel, name] : indicators)
        EXPECT_TRUE(in<QRadioButton>(*main, name)->isEnabled()) << name;
}

} // namespace
