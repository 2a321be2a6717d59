#include "app/tests/window_fixture.h"

#include "app/message_display_window.h"
#include "app/title_clock.h"
#include "app/widget_helpers.h"

#include "settings/file_names.h"
#include "settings/record_file.h"

#include "tests/support/pty_pair.h"
#include "tests/support/wait_until.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using settings::RecordFile;
namespace files = settings::files;

TEST(TitleClock, FormatHasNoLeadingZerosInTheDateAndTwoDigitTimeFields)
{
    const QDateTime t(QDate(2026, 3, 7), QTime(9, 5, 1), Qt::UTC);
    EXPECT_EQ(app::clockText(t), "2026/3/7 09:05:01");
    EXPECT_EQ(app::clockCaption(t), "Tamberlane Skylark v3.33          2026/3/7 09:05:01 UTC");
    EXPECT_EQ(app::clockText(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59), Qt::UTC)),
              "2026/12/31 23:59:59");
}

TEST_F(WindowTest, MainWindowDefaultsAndConfig2CreatedAtClose)
{
    makePage();
    app::MainWindow& w = makeMain();
    EXPECT_FALSE(dir.exists(files::Config2)) << "config2 is first written when the window closes";
    EXPECT_EQ(in<QLineEdit>(w, "passcodeField")->text(), "-1");
    EXPECT_EQ(in<QLineEdit>(w, "aprsIsServerField")->text(), "rotate.aprs2.net");
    EXPECT_EQ(in<QLineEdit>(w, "digiPathField")->text(), "WIDE2-1");
    EXPECT_TRUE(in<QRadioButton>(w, "gmsk250Option")->isChecked()) << "GMSK-250 is the design default";
    EXPECT_EQ(in<QPushButton>(w, "sendButton")->text(), "&Send");
    EXPECT_TRUE(in<QPushButton>(w, "sendButton")->isDefault());
    EXPECT_TRUE(w.windowTitle().startsWith("Tamberlane Skylark v3.33          "));
    // Every timer of the station, on the part whose work it times, found by its name.
    for (const char* name : {"titleClockTimer",
                             "tncLineTimer",
                             "tncStatusTimer",
                             "tncWatchTimer",
                             "tncGatherTimer",
                             "kissTcpReceiveTimer",
                             "kissTcpStatusTimer",
                             "kissTcpReconnectTimer",
                             "agwpeStatusTimer",
                             "agwpeReconnectTimer",
                             "aprsIsStatusTimer",
                             "aprsIsReconnectTimer",
                             "aprsIsSilenceTimer",
                             "aprsIsReceiveTimer",
                             "messageFlashTimer",
                             "hfAssemblyTimer",
                             "hfReceiveTimer",
                             "localToHfRelayTimer",
                             "transmitDelayTimer",
                             "aprsIsToHfTimer",
                             "transmitWatchdogTimer",
                             "tuneEndTimer",
                             "modemRetuneTimer",
                             "beaconScheduleTimer",
                             "beaconCountdownTimer",
                             "startupBeaconTimer",
                             "gpsSentenceTimer",
                             "gpsStatusTimer",
                             "minuteTimer"})
        EXPECT_NE(w.findChild<QTimer*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(w.findChild<QTimer*>("tncWatchTimer")->interval(), platform::Clock::scaled(59000));

    w.close();
    const QByteArray c2 = dir.read(files::Config2);
    ASSERT_EQ(c2.size(), 2400) << "records 1 to 24";
    const RecordFile r = RecordFile::fromBytes(c2);
    EXPECT_EQ(r.record(1), "1") << "ACK Normal";
    EXPECT_EQ(r.record(9), "1") << "GMSK-250";
    EXPECT_EQ(r.record(10), "1") << "igate transmission enabled";
    EXPECT_EQ(r.record(3), "0");
    EXPECT_EQ(dir.read(files::Passcode), "\"-1\"\r\n");
    EXPECT_EQ(dir.read(files::BeaconText), "\"\"\r\n");
    EXPECT_EQ(dir.read(files::AprsServer), "\"rotate.aprs2.net\"\r\n");
    EXPECT_TRUE(state.shuttingDown);
    for (QTimer* t : w.findChildren<QTimer*>())
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
}

TEST_F(WindowTest, StoredTransmitModeShowsItsCallsign)
{
    dir.write(files::MyCallAprsIs, "\"G4ABC-10\"\r\n");
    RecordFile f;
    f.setRecord(6, "1"); // APRS-IS
    f.setRecord(9, "0");
    f.setRecord(13, "1"); // HF digipeat
    dir.write(files::Config2, f.bytes());
    makePage();
    app::MainWindow& w = makeMain();
    EXPECT_TRUE(in<QRadioButton>(w, "aprsIsOption")->isChecked());
    EXPECT_EQ(in<QLineEdit>(w, "myCallField")->text(), "G4ABC-10");
    EXPECT_FALSE(in<QLineEdit>(w, "digiPathField")->isEnabled());
    EXPECT_TRUE(in<QCheckBox>(w, "hfDigipeatCheck")->isChecked());
}

TEST_F(WindowTest, OperatingModeWaitsForTheTransmitterAndTalksToTheTnc)
{
    testsupport::PtyPair tnc;
    ASSERT_TRUE(tnc.isReady());
    useTextTnc(tnc);
    app::MainWindow& w = makeMain();
    ASSERT_TRUE(tncReceived(tnc, QByteArray("\x03\r", 2)));
    TncWire wire{tnc, {}};

    state.transmitBusy = true;
    bool sentWhileBusy = false;
    QTimer::singleShot(30, [&] {
        wire.drain();
        sentWhileBusy = !wire.bytes.isEmpty();
        state.transmitBusy = false;
    });
    in<QRadioButton>(w, "aprsMessagingOption")->click(); // "APRS Messaging"
    EXPECT_FALSE(sentWhileBusy);
    ASSERT_TRUE(wire.waitFor("conv\r"));
    EXPECT_EQ(wire.bytes, QByteArray("\x03\rconv\r", 7));
    EXPECT_FALSE(state.transmitBusy);
    EXPECT_FALSE(in<QRadioButton>(w, "tncCommandOption")->isEnabled()) << "GMSK-250 is an HF mode";
    EXPECT_TRUE(in<QRadioButton>(w, "packetConverseOption")->isEnabled());
    EXPECT_EQ(in<QPushButton>(w, "beaconButton")->text(), "Beacon ON");

    in<QRadioButton>(w, "tncOption")->click(); // "TNC"
    in<QRadioButton>(w, "packetConverseOption")->click();
    EXPECT_TRUE(in<QRadioButton>(w, "tncCommandOption")->isEnabled()) << "no HF mode selected now";
    EXPECT_FALSE(in<QRadioButton>(w, "noAcksOption")->isEnabled()) << "Packet Converse has no ACK choice";
}

TEST_F(WindowTest, ClosingDuringAWaitEndsTheWaitAndStopsEveryTimer)
{
    app::MainWindow& w = makeMain();
    state.transmitBusy = true;
    bool returned = false;
    QTimer::singleShot(20, &w, [&] { w.close(); });
    in<QRadioButton>(w, "raynetMessagingOption")->click(); // waits for the transmitter
    returned = true;
    EXPECT_TRUE(returned);
    EXPECT_TRUE(state.shuttingDown);
    for (QTimer* t : w.findChildren<QTimer*>())
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
    EXPECT_TRUE(dir.exists(files::Config2));
}

TEST_F(WindowTest, ClosingDuringAnOperatingModeWaitLeavesTheTncPortShut)
{
    testsupport::PtyPair tnc;
    ASSERT_TRUE(tnc.isReady());
    useTextTnc(tnc);
    app::MainWindow& w = makeMain();
    ASSERT_TRUE(tncReceived(tnc, QByteArray("\x03\r", 2))) << "loading greets the TNC";
    QByteArray wire;
    platform::Clock::setTimeScale(0.1); // the 1 s wait of the mode change lasts 100 ms
    QTimer::singleShot(40, &w, [&] { w.close(); });
    in<QRadioButton>(w, "aprsMessagingOption")->click(); // "APRS Messaging": Ctrl-C, 1 s, "conv"
    testsupport::spinFor(50);
    wire += tnc.readAvailable();
    EXPECT_EQ(wire, QByteArray("\x03\r", 2)) << "nothing is written after the close";
    EXPECT_TRUE(state.shuttingDown);
    EXPECT_FALSE(state.transmitBusy);
}

TEST_F(WindowTest, StationListsAndBeaconTypeButtons)
{
    app::MainWindow& w = makeMain();
    auto* hf = in<QListWidget>(w, "hfHeardList");
    auto* tnc = in<QListWidget>(w, "tncHeardList");
    hf->addItems({"G4ABC", "M0XYZ-7"});
    tnc->addItem("N0CALL-9");
    emit tnc->itemClicked(tnc->item(0));
    EXPECT_EQ(in<QLineEdit>(w, "sendToField")->text(), "N0CALL-9");
    EXPECT_TRUE(in<QRadioButton>(w, "tncOption")->isChecked());
    emit hf->itemClicked(hf->item(1));
    EXPECT_EQ(in<QLineEdit>(w, "sendToField")->text(), "M0XYZ-7");
    EXPECT_TRUE(in<QRadioButton>(w, "gmsk250Option")->isChecked());
    emit hf->itemDoubleClicked(hf->item(0));
    ASSERT_EQ(hf->count(), 1);
    EXPECT_EQ(hf->item(0)->text(), "M0XYZ-7");

    auto* gps = in<QPushButton>(w, "gpsBeaconButton");
    auto* fixed = in<QPushButton>(w, "fixedBeaconButton");
    gps->click();
    EXPECT_TRUE(state.gpsBeacon);
    gps->click();
    EXPECT_FALSE(state.gpsBeacon) << "GPS toggles";
    gps->click();
    fixed->click();
    EXPECT_FALSE(state.gpsBeacon);
    fixed->click();
    EXPECT_FALSE(state.gpsBeacon);
}

TEST_F(WindowTest, MenusOpenFilesAndPagesWithTheDefaultHandler)
{
    app::MainWindow& w = makeMain();
    in<QLineEdit>(w, "myCallField")->setText("G4ABC-9");
    w.findChild<QAction*>("mnuStationInfo")->trigger();
    w.findChild<QAction*>("mnuReceiveLog")->trigger();
    w.findChild<QAction*>("mnuHelp")->trigger();
    ASSERT_EQ(opener.opened().size(), 3);
    EXPECT_EQ(opener.opened()[0].toString(), "https://aprs.fi/info/a/G4ABC-9");
    EXPECT_EQ(opener.opened()[1].toLocalFile(), dir.file("skylark_receive.log"));
    EXPECT_TRUE(opener.opened()[2].toLocalFile().endsWith("skylark_help2.txt"));
}

TEST_F(WindowTest, MessageDisplayShowsTheBuffersAndDoubleClickClears)
{
    dir.write(files::GroupCall, "\"RAYNET\"\r\n");
    app::MainWindow& w = makeMain();
    in<QCheckBox>(w, "messageDisplayCheck")->setChecked(true);
    app::MessageDisplayWindow* d = w.messageDisplay();
    ASSERT_TRUE(d->isVisible());
    state.messagesText = "From: G4ABC hello\r\n";
    state.groupList = "group text\r\n";
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return in<QPlainTextEdit>(*d, "myMessagesBox")->toPlainText().contains("hello"); }));
    EXPECT_EQ(in<QPlainTextEdit>(*d, "allGroupBox")->toPlainText(),
              in<QPlainTextEdit>(*d, "groupBox")->toPlainText());
    EXPECT_EQ(in<QLineEdit>(*d, "groupCallField")->text(), "RAYNET");
    QTest::keyClicks(in<QLineEdit>(*d, "groupCallField"), "X");
    EXPECT_EQ(in<QLineEdit>(*d, "groupCallField")->text(), "RAYNET") << "the group call cannot be edited";

    QTest::mouseDClick(in<QPlainTextEdit>(*d, "myMessagesBox")->viewport(), Qt::LeftButton);
    EXPECT_TRUE(state.messagesText.isEmpty());
    state.messagesText = "new\r\n";
    d->refresh();
    EXPECT_EQ(in<QPlainTextEdit>(*d, "myMessagesBox")->toPlainText(), "new\n");

    in<QCheckBox>(*d, "groupOnlyCheck")->setChecked(true);
    EXPECT_TRUE(in<QPlainTextEdit>(*d, "allGroupBox")->isVisibleTo(d));
    EXPECT_FALSE(in<QPlainTextEdit>(*d, "bulletinsBox")->isVisibleTo(d));
    in<QCheckBox>(w, "messageDisplayCheck")->setChecked(false);
    EXPECT_FALSE(d->isVisible());
}

TEST_F(WindowTest, ChoicesFollowTheControls)
{
    app::MainWindow& w = makeMain();
    in<QRadioButton>(w, "ax25Psk63Option")->click();
    EXPECT_EQ(state.choices.transmitMode, station::TransmitMode::Ax25Psk63);
    EXPECT_EQ(state.choices.myCallField, "NOCALL");
    in<QRadioButton>(w, "aprsIsOption")->click();
    EXPECT_EQ(state.choices.transmitMode, station::TransmitMode::AprsIs);
    in<QCheckBox>(w, "displayCrcCheck")->setChecked(true);
    EXPECT_TRUE(state.choices.displayCrc);
    in<QRadioButton>(w, "noAcksOption")->click();
    EXPECT_FALSE(state.choices.acksNormal);
    in<QLineEdit>(w, "digiPathField")->setText("wide1-1");
    EXPECT_EQ(state.choices.digiPath, "WIDE1-1");
    in<QRadioButton>(w, "packetConverseOption")->click();
    EXPECT_EQ(state.choices.operatingMode, station::OperatingMode::PacketConverse);
}

TEST_F(WindowTest, TncCommandSendsCtrlCAndStopsTheBeacons)
{
    testsupport::PtyPair tnc;
    ASSERT_TRUE(tnc.isReady());
    useTextTnc(tnc);
    app::MainWindow& w = makeMain();
    TncWire wire{tnc, {}};
    ASSERT_TRUE(wire.waitFor(QByteArray("\x03\r", 2), true));
    in<QRadioButton>(w, "tncOption")->click(); // "TNC": the beacon schedule runs, messaging chosen
    ASSERT_TRUE(w.beacons().scheduleTimer().isActive());
    ASSERT_TRUE(wire.waitFor("conv\r"));
    wire.bytes.clear();
    auto* command = in<QRadioButton>(w, "tncCommandOption");
    ASSERT_TRUE(command->isEnabled());
    command->click(); // "TNC Command "
    ASSERT_TRUE(wire.waitFor(QByteArray("\x03\r", 2), true));
    auto* beaconOnOff = in<QPushButton>(w, "beaconButton");
    EXPECT_EQ(beaconOnOff->text(), QStringLiteral("Beacon OFF"));
    EXPECT_EQ(app::backColour(beaconOnOff), app::LightGrey);
    EXPECT_FALSE(beaconOnOff->isEnabled());
    EXPECT_FALSE(w.beacons().scheduleTimer().isActive()) << "no beacons while the TNC takes commands";
    EXPECT_FALSE(in<QRadioButton>(w, "normalAcksOption")->isEnabled()) << "no ACK choice for TNC commands";
}

TEST_F(WindowTest, ButtonsFollowTheSendInProgressOnEveryClockTick)
{
    app::MainWindow& w = makeMain();
    auto* send = in<QPushButton>(w, "sendButton");
    auto* tune = in<QPushButton>(w, "tuneButton");
    auto* beacon = in<QPushButton>(w, "sendBeaconButton");
    ASSERT_TRUE(w.titleClockTimer().isActive());
    state.sendInProgress = true;
    ASSERT_TRUE(testsupport::waitUntil([&] { return !send->isEnabled(); }));
    EXPECT_FALSE(tune->isEnabled());
    EXPECT_FALSE(beacon->isEnabled());
    state.sendInProgress = false;
    ASSERT_TRUE(testsupport::waitUntil([&] { return send->isEnabled(); }));
    EXPECT_TRUE(beacon->isEnabled());
    EXPECT_TRUE(tune->isEnabled()) << "an HF option is chosen";
    in<QRadioButton>(w, "tncOption")->setEnabled(true);
    in<QRadioButton>(w, "tncOption")->click(); // "TNC": no tune carrier
    testsupport::spinFor(platform::Clock::scaled(300));
    EXPECT_FALSE(tune->isEnabled());
    EXPECT_TRUE(send->isEnabled());
}

TEST_F(WindowTest, TransmitOptionsShowTheirCallAndSetTheirControls)
{
    app::MainWindow& w = makeMain();
    w.titleClockTimer().stop(); // the clock tick would set the tune button by its own rule
    state.myCall = "G4TNC";
    state.aprsIsCall = "G4TNC-10";
    state.hfCall = "G4TNC-5";
    const struct {
        const char* option;
        const char* call;
        bool digiPath;
        bool tune;
        bool tncCommand;
    } rows[] = {
        {"aprsIsOption", "G4TNC-10", false, false, false},  // "APRS-IS"
        {"tncOption", "G4TNC", false, false, true},         // "TNC" (text-mode TNC: no KISS path)
        {"ax25Option", "G4TNC", true, true, false},         // "AX.25"
        {"psk63Option", "G4TNC-5", false, true, false},     // "PSK-63"
        {"ax25Psk63Option", "G4TNC-5", false, true, false}, // "AX.25/PSK-63"
        {"gmsk250Option", "G4TNC-5", false, true, false},   // "GMSK-250"
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.option);
        auto* option = in<QRadioButton>(w, row.option);
        option->setEnabled(true);
        option->click();
        EXPECT_EQ(in<QLineEdit>(w, "myCallField")->text(), QLatin1String(row.call)) << "\"My call\"";
        EXPECT_EQ(in<QLineEdit>(w, "digiPathField")->isEnabled(), row.digiPath) << "KISS TNC digi path";
        EXPECT_EQ(in<QPushButton>(w, "tuneButton")->isEnabled(), row.tune) << "HF TUNE";
        EXPECT_EQ(in<QRadioButton>(w, "tncCommandOption")->isEnabled(), row.tncCommand) << "TNC Command";
        if (QLatin1String(row.option) == QLatin1String("tncOption")) {
            EXPECT_TRUE(in<QRadioButton>(w, "aprsMessagingOption")->isChecked())
                << "\"APRS Messaging\" chosen";
        }
    }
}
