// Beacons and the GPS receiver through the real main window: the schedule on its timers
// (time-scaled), a GPS on a pseudo-terminal, and the beacon as the APRS-IS server, a KISS
// peer and the modem receive it.
#include "app/tests/window_fixture.h"

#include "app/widget_helpers.h"
#include "aprsis/aprs_is_client.h"
#include "hf/hf_frame.h"
#include "hf/scripted_modem.h"
#include "position/beacon_station.h"
#include "tests/support/kiss_frames.h"
#include "tests/support/pty_pair.h"
#include "tests/support/nmea_sentence.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/tcp_kiss_tnc.h"
#include "tests/support/wait_until.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

using testsupport::nmeaSentence;

const QByteArray FixA = nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
const QByteArray FixV = nmeaSentence("GPRMC,123521,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
const QByteArray Gsv = nmeaSentence("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45");
const QByteArray Gga = nmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
const QByteArray PositionInfo = "=4807.03N/01131.00E>Car";

using testsupport::TcpKissTnc;

class BeaconWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        state.noTnc = false;
        state.beaconRateCode = 4; // "2 min"
        state.gpsBeaconText = "Car";
    }
    app::MainWindow& open(bool startUpBeacon = false)
    {
        startupBeacon = startUpBeacon;
        makeMain();
        // The window has read the (empty) settings files: the callsigns are set afterwards.
        state.myCall = "M0SKY-1";
        state.hfCall = "M0SKY";
        state.aprsIsCall = "M0SKY-10";
        in<QLineEdit>(*main, "beaconTextField")->setText(QStringLiteral(">Skylark v3.33"));
        modem = qobject_cast<hf::ScriptedModem*>(main->modem());
        EXPECT_NE(modem, nullptr);
        // Each test's beacons are its own: the schedule stops where a test asks for it, and
        // one a loaded machine let it send while the window loaded is not counted.
        if (!scheduleRuns)
            main->beacons().scheduleTimer().stop();
        if (modem && !startUpBeacon)
            modem->clearWrites();
        return *main;
    }
    QString text(const char* name) { return in<QLabel>(*main, name)->text(); }
    unsigned colour(const char* name)
    {
        return app::backColour(main->findChild<QWidget*>(QLatin1String(name)));
    }
    static QByteArray hfFrame(const QByteArray& body)
    {
        return hf::buildFrame(body, hf::FrameSender::Beacon);
    }

    hf::ScriptedModem* modem = nullptr;
    bool scheduleRuns = true; ///< false: stop the beacon schedule's timer once loaded
};

// --- The schedule -------------------------------------------------------------------

TEST_F(BeaconWindowTest, TwoMinuteRateSendsOnTheSecondTickOfTheBeaconTimer)
{
    app::MainWindow& w = open();
    ASSERT_TRUE(w.beacons().scheduleTimer().isActive()) << "beacons are on after loading";
    // The countdown as each tick of the one-second timer leaves it: whenever the test looks,
    // the rule holds (from two minutes, one second less per tick, back to the full interval
    // when a beacon goes out), however late a loaded machine lets the test look.
    QStringList countdown{text("beaconCountdownLabel")}; // before the first tick, or as a busy start left it
    QObject::connect(&w.beacons().countdownTimer(), &QTimer::timeout,
                     [&] { countdown << text("beaconCountdownLabel"); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return countdown.size() >= 5; }));
    EXPECT_EQ(in<QPushButton>(w, "beaconButton")->text(), QStringLiteral("Beacon ON"));
    EXPECT_EQ(colour("beaconButton"), app::Green);

    const QRegularExpression form(QStringLiteral("^Time to next beacon:    (\\d+) min (\\d+) sec $"));
    auto secondsLeft = [&](const QString& shown) {
        const QRegularExpressionMatch m = form.match(shown);
        return m.hasMatch() ? m.captured(1).toInt() * 60 + m.captured(2).toInt() : -1;
    };
    if (secondsLeft(countdown.first()) < 0)
        countdown.removeFirst(); // nothing shown yet
    for (qsizetype i = 1; i < countdown.size(); ++i) {
        const int before = secondsLeft(countdown[i - 1]);
        const int left = secondsLeft(countdown[i]);
        EXPECT_TRUE(left == before - 1 || left == 119) << countdown[i].toStdString() << " after " << before;
    }

    // The schedule, tick by tick from here (a loaded machine may have let a minute pass
    // already): once in step, a beacon on every second minute, none in between.
    w.beacons().scheduleTimer().stop();
    w.beacons().countdownTimer().stop();
    modem->clearWrites();
    fire(w.beacons().scheduleTimer());
    if (modem->queued().isEmpty())
        fire(w.beacons().scheduleTimer());
    ASSERT_EQ(modem->queued().size(), 1);
    for (int beacon = 0; beacon < 2; ++beacon) {
        modem->clearWrites();
        fire(w.beacons().scheduleTimer());
        EXPECT_TRUE(modem->queued().isEmpty()) << "one minute after a beacon";
        fire(w.beacons().scheduleTimer());
        EXPECT_EQ(modem->queued(), QByteArrayList{hfFrame("M0SKY>APSK26:>Skylark v3.33")});
    }
}

TEST_F(BeaconWindowTest, OffAndOnKeepsTheCounterAndSendBeaconReloadsOnlyTheCountdown)
{
    app::MainWindow& w = open();
    w.beacons().scheduleTimer().stop(); // ticks by hand from here
    w.beacons().countdownTimer().stop();
    // In step with the schedule, as a fresh start is, even if a loaded machine let a minute
    // pass while the window loaded: tick to the next beacon.
    modem->clearWrites();
    for (int i = 0; i < 2 && modem->queued().isEmpty(); ++i)
        fire(w.beacons().scheduleTimer());
    ASSERT_EQ(modem->queued().size(), 1);
    modem->clearWrites();
    auto* onOff = in<QPushButton>(w, "beaconButton");
    onOff->setEnabled(true);
    onOff->click(); // on: the countdown is reloaded
    fire(w.beacons().scheduleTimer());
    onOff->click();
    EXPECT_EQ(onOff->text(), QStringLiteral("Beacon OFF"));
    EXPECT_EQ(colour("beaconButton"), app::LightGrey);
    fire(w.beacons().countdownTimer());
    EXPECT_EQ(text("beaconCountdownLabel"), QStringLiteral("Beacon OFF"));
    onOff->click();
    EXPECT_EQ(onOff->text(), QStringLiteral("Beacon ON"));
    for (int i = 0; i < 3; ++i)
        fire(w.beacons().countdownTimer());
    EXPECT_EQ(text("beaconCountdownLabel"), QStringLiteral("Time to next beacon:    1 min 57 sec "));

    auto* sendBeacon = in<QPushButton>(w, "sendBeaconButton");
    sendBeacon->setEnabled(true);
    sendBeacon->click();
    EXPECT_EQ(modem->queued().size(), 1);
    fire(w.beacons().countdownTimer());
    EXPECT_EQ(text("beaconCountdownLabel"), QStringLiteral("Time to next beacon:    1 min 59 sec "));
    EXPECT_EQ(w.beacons().minuteCounter(), 1);

    fire(w.beacons().scheduleTimer()); // the second minute of the schedule, although a beacon just went out
    EXPECT_EQ(modem->queued().size(), 2);
}

TEST_F(BeaconWindowTest, ChoosingATransmitOptionReloadsTheCountdown)
{
    app::MainWindow& w = open();
    w.beacons().countdownTimer().stop(); // ticks by hand from here
    for (const char* option :
         {"psk63Option", "tncOption", "ax25Option", "gmsk250Option"}) { // a modem option, TNC, AX.25
        for (int i = 0; i < 5; ++i)
            fire(w.beacons().countdownTimer());
        in<QRadioButton>(w, option)->click();
        fire(w.beacons().countdownTimer());
        EXPECT_EQ(text("beaconCountdownLabel"), QStringLiteral("Time to next beacon:    1 min 59 sec "))
            << option;
    }
    for (int i = 0; i < 5; ++i)
        fire(w.beacons().countdownTimer());
    in<QRadioButton>(w, "aprsIsOption")->click(); // "APRS-IS" leaves the schedule alone
    fire(w.beacons().countdownTimer());
    EXPECT_EQ(text("beaconCountdownLabel"), QStringLiteral("Time to next beacon:    1 min 53 sec "));
}

TEST_F(BeaconWindowTest, FramingCharactersLeaveTheFieldAndTheBeacon)
{
    scheduleRuns = false;
    app::MainWindow& w = open();
    in<QLineEdit>(w, "beaconTextField")->setText(QStringLiteral("Club~station {QRV} | 7.1"));
    auto* sendBeacon = in<QPushButton>(w, "sendBeaconButton");
    sendBeacon->setEnabled(true);
    sendBeacon->click();
    EXPECT_EQ(in<QLineEdit>(w, "beaconTextField")->text(), QStringLiteral("Clubstation QRV}  7.1"));
    EXPECT_EQ(modem->queued(), QByteArrayList{hfFrame("M0SKY>APSK26:Clubstation QRV}  7.1")});
}

TEST_F(BeaconWindowTest, StartUpBeaconGoesOutOnce)
{
    open(true);
    const QByteArray beacon = hfFrame("M0SKY>APSK26:>Skylark v3.33");
    ASSERT_TRUE(testsupport::waitUntil([&] { return modem->queued().contains(beacon); }));
    EXPECT_FALSE(main->beacons().startupBeaconTimer().isActive());
    EXPECT_EQ(modem->queued().count(beacon), 1);
}

TEST_F(BeaconWindowTest, RemoteTransmitOffShowsRedBeaconOff)
{
    app::MainWindow& w = open();
    state.igateTransmitEnabled = false;
    fire(w.beacons().countdownTimer());
    EXPECT_EQ(in<QPushButton>(w, "beaconButton")->text(), QStringLiteral("Beacon OFF"));
    EXPECT_EQ(colour("beaconButton"), app::Red);
    EXPECT_EQ(text("titleLabel"), QStringLiteral("     IGATE REMOTE TX OFF"));
    EXPECT_EQ(colour("titleLabel"), app::Red);
    state.igateTransmitEnabled = true;
    fire(w.beacons().countdownTimer());
    EXPECT_EQ(in<QPushButton>(w, "beaconButton")->text(), QStringLiteral("Beacon ON"));
    EXPECT_EQ(text("titleLabel"), QStringLiteral("Skylark v3.33"));
    EXPECT_EQ(colour("titleLabel"), app::LightGrey);
}

// --- The GPS receiver ---------------------------------------------------------------

class GpsWindowTest : public BeaconWindowTest {
protected:
    app::MainWindow& openWithGps()
    {
        EXPECT_TRUE(pty.isReady());
        ports.set(7, pty.programEnd());
        state.gpsPort = 7;
        scheduleRuns = false; // beacons here come from "Send Beacon"
        return open();
    }
    bool labelIs(const char* expected)
    {
        return testsupport::waitUntil([&] { return text("gpsStatusLabel") == QLatin1String(expected); });
    }

    testsupport::PtyPair pty;
};

TEST_F(GpsWindowTest, StatusFollowsTheSentencesAndTheInputStopping)
{
    app::MainWindow& w = openWithGps();
    EXPECT_TRUE(state.gpsBeacon) << "a GPS port selects the GPS beacon";
    EXPECT_EQ(text("gpsStatusLabel"), QStringLiteral("No GPS connected"));

    // Recorded-style traffic: other sentences around the RMC, which arrives in two pieces.
    pty.write(Gsv + Gga + FixA.left(20));
    testsupport::spinFor(30);
    EXPECT_EQ(text("gpsStatusLabel"), QStringLiteral("No GPS connected"));
    pty.write(FixA.mid(20) + Gsv);
    ASSERT_TRUE(labelIs("GPS fix OK:"));
    EXPECT_EQ(colour("gpsStatusLabel"), app::Green);
    EXPECT_EQ(colour("gpsBeaconButton"), app::Green);
    EXPECT_EQ(colour("fixedBeaconButton"), app::LightGrey);
    EXPECT_EQ(text("gpsSentenceLabel"), QString::fromLatin1(FixA.trimmed()));

    // A sentence damaged on the line is ignored; the next good one without a fix counts.
    QByteArray damaged = FixV;
    damaged[20] = '9';
    pty.write(damaged + Gga);
    testsupport::spinFor(50);
    EXPECT_EQ(text("gpsStatusLabel"), QStringLiteral("GPS fix OK:"));
    pty.write(FixV);
    ASSERT_TRUE(labelIs("No GPS fix:"));
    EXPECT_EQ(colour("gpsStatusLabel"), app::Yellow);
    EXPECT_EQ(colour("gpsBeaconButton"), app::Yellow);
    EXPECT_EQ(colour("fixedBeaconButton"), app::Green);

    // The receiver stops in the middle of a sentence: 30 s (scaled) later the input is missed.
    pty.write(FixA.left(30));
    ASSERT_TRUE(labelIs("No GPS input"));
    EXPECT_EQ(colour("gpsStatusLabel"), app::Red);
    EXPECT_EQ(colour("gpsBeaconButton"), app::Red);
    EXPECT_EQ(colour("fixedBeaconButton"), app::Green);
    EXPECT_FALSE(in<QTimer>(w, "gpsStatusTimer")->isActive());
}

TEST_F(GpsWindowTest, AnHfOnlyStationReadsItsGpsAndBeaconsItsPosition)
{
    state.noTnc = true; // "No TNC (HF PTT on comm port)"
    state.tncTypeCode = 1;
    app::MainWindow& w = openWithGps();
    pty.write(Gga + FixA);
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.gps().latest().has_value(); }));
    auto* sendBeacon = in<QPushButton>(w, "sendBeaconButton");
    sendBeacon->setEnabled(true);
    sendBeacon->click();
    ASSERT_FALSE(modem->queued().isEmpty());
    EXPECT_EQ(modem->queued().last(), hfFrame("M0SKY>APSK26:" + PositionInfo));
}

TEST_F(GpsWindowTest, PositionBeaconOnHfAndNoFixSendsTheFixedBeacon)
{
    app::MainWindow& w = openWithGps();
    auto* sendBeacon = in<QPushButton>(w, "sendBeaconButton");
    sendBeacon->setEnabled(true);
    sendBeacon->click(); // "GPS" selected, nothing received yet: the fixed beacon
    EXPECT_EQ(modem->queued(), QByteArrayList{hfFrame("M0SKY>APSK26:>Skylark v3.33")});

    pty.write(Gga + FixA);
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.gps().latest().has_value(); }));
    sendBeacon->click();
    EXPECT_EQ(modem->queued().last(), hfFrame("M0SKY>APSK26:" + PositionInfo));
    EXPECT_EQ(text("gpsStatusLabel"), QStringLiteral("GPS fix OK:"));

    pty.write(FixV);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !w.gps().latest()->hasFix(); }));
    sendBeacon->click();
    EXPECT_EQ(modem->queued().last(), hfFrame("M0SKY>APSK26:>Skylark v3.33"));
    EXPECT_EQ(text("gpsStatusLabel"), QStringLiteral("No GPS fix:"));
    EXPECT_EQ(colour("gpsBeaconButton"), app::Yellow);
    EXPECT_EQ(colour("fixedBeaconButton"), app::Green);
}

TEST_F(GpsWindowTest, PositionBeaconReachesTheAprsIsServerByteForByte)
{
    app::MainWindow& w = openWithGps();
    testsupport::ScriptedTcpServer server;
    in<QLineEdit>(w, "aprsIsServerField")->setText(QStringLiteral("127.0.0.1"));
    w.aprsIsClient().setPort(server.port());
    in<QPushButton>(w, "aprsIsConnectButton")->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().endsWith("\r\n"); }));
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return text("serverStatusLabel") == QStringLiteral("Connected"); }));
    in<QRadioButton>(w, "aprsIsOption")->click(); // "APRS-IS"
    pty.write(FixA);
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.gps().latest().has_value(); }));
    server.clearReceived();
    modem->clearWrites();

    auto* sendBeacon = in<QPushButton>(w, "sendBeaconButton");
    sendBeacon->setEnabled(true);
    sendBeacon->click();
    const QByteArray expected = "M0SKY-10>APSK20:" + PositionInfo + "\r\n\r\n";
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().size() >= expected.size(); }));
    EXPECT_EQ(server.received(), expected);
    EXPECT_TRUE(modem->queued().isEmpty());
}

TEST_F(GpsWindowTest, PositionBeaconReachesTheKissPeerThenTheModem)
{
    app::MainWindow& w = openWithGps();
    testsupport::ScriptedTcpServer kissPeer;
    TcpKissTnc kiss(kissPeer.port());
    w.links().tnc = &kiss;
    in<QRadioButton>(w, "ax25GmskOption")->click();        // "AX.25/GMSK"
    in<QCheckBox>(w, "digipeatMeCheck")->setChecked(true); // "Digipeat me"
    in<QLineEdit>(w, "digiPathField")->setText(QStringLiteral("WIDE1-1"));
    pty.write(FixA);
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.gps().latest().has_value(); }));

    auto* sendBeacon = in<QPushButton>(w, "sendBeaconButton");
    sendBeacon->setEnabled(true);
    sendBeacon->click(); // returns after the ten 1 s waits and the HF frame
    const QByteArray expected = testsupport::kissUiFrame("M0SKY-1", "APSK20", "WIDE1-1", PositionInfo);
    ASSERT_TRUE(testsupport::waitUntil([&] { return kissPeer.received().size() >= expected.size(); }));
    EXPECT_EQ(kissPeer.received().toHex(' '), expected.toHex(' '));
    EXPECT_EQ(modem->queued(), QByteArrayList{hfFrame("M0SKY>APSK26,WIDE2-1:" + PositionInfo)});
    w.links().tnc = nullptr;
}

} // namespace
