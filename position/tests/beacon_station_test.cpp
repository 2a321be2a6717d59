// The beacon schedule and the fixed and position beacons on each bearer, through test
// implementations of the station's links (recording, and a KISS peer over TCP).
#include "position/beacon_station.h"

#include "platform/clock.h"
#include "station/station_state.h"
#include "station/waits.h"

#include "tests/support/kiss_frames.h"
#include "tests/support/recording_links.h"
#include "tests/support/nmea_sentence.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/tcp_kiss_tnc.h"
#include "tests/support/wait_until.h"

#include <QByteArrayList>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using position::BeaconStation;
using position::StatusColour;
using station::TransmitMode;

namespace {

using testsupport::nmeaSentence;

/// The TNC side as the beacon sees it; records "kiss:dest|source|path|info", "tnc:line" and
/// "clear" in order.
class RecordingTnc : public station::TncTransmitter {
public:
    explicit RecordingTnc(QByteArrayList& events) : m_events(events) {}
    void writeTnc(const QByteArray& bytes) override { m_events.append("tnc:" + bytes); }
    void sendKissFrame(const QByteArray& destination, const QByteArray& source, const QByteArray& path,
                       const QByteArray& info) override
    {
        m_events.append("kiss:" + destination + '|' + source + '|' + path + '|' + info);
    }
    void clearMessageHeading() override { m_events.append("clear"); }
    bool isTextModeTnc() const override { return textMode; }
    bool textMode = false;

private:
    QByteArrayList& m_events;
};

using testsupport::RecordingAprsIs;

using testsupport::TcpKissTnc;

class BeaconStationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        state.beaconRateCode = 4; // "2 min"
        state.myCall = "M0SKY-1";
        state.aprsIsCall = "M0SKY-10";
        state.hfCall = "M0SKY";
        state.gpsBeaconText = "Car";
        links.tnc = &tnc;
        links.aprsIs = &aprsIs;
        beacons = std::make_unique<BeaconStation>(state, waits, links, gps);
        beacons->setHfSend([this](const QByteArray& info) { events.append("hf:" + info); });
        QObject::connect(beacons.get(), &BeaconStation::beaconTextCleaned,
                         [this](const QByteArray& t) { cleaned.append(t); });
        QObject::connect(beacons.get(), &BeaconStation::countdownTextChanged,
                         [this](const QString& t) { label = t; });
        QObject::connect(beacons.get(), &BeaconStation::beaconButtonChanged,
                         [this](const QString& caption, StatusColour colour) {
                             button = caption;
                             buttonColour = colour;
                         });
        QObject::connect(beacons.get(), &BeaconStation::titleChanged,
                         [this](const QString& t, StatusColour c) {
                             title = t;
                             titleColour = c;
                         });
        QObject::connect(beacons.get(), &BeaconStation::tncSecondLineRequested,
                         [this](bool on) { secondLine = on; });
        QObject::connect(beacons.get(), &BeaconStation::gpsFixChecked,
                         [this](bool fix) { fixes.append(fix); });
        beacons->setBeaconText(">Skylark v3.33");
        schedule().setInterval(60000);
    }

    /// The schedule timer; its interval is set out of reach, so only the tests' own ticks count.
    QTimer& schedule() { return beacons->scheduleTimer(); }

    QByteArrayList beaconsSent() const
    {
        QByteArrayList out;
        for (const QByteArray& e : events)
            if (e != "clear")
                out.append(e);
        return out;
    }

    station::StationState state;
    station::Waits waits{state};
    station::StationLinks links;
    QByteArrayList events;
    RecordingTnc tnc{events};
    RecordingAprsIs aprsIs{events};
    position::GpsInput gps;
    std::unique_ptr<BeaconStation> beacons;
    QByteArrayList cleaned;
    QString label, button, title;
    StatusColour buttonColour = StatusColour::Grey, titleColour = StatusColour::Green;
    std::optional<bool> secondLine;
    QList<bool> fixes;
};

TEST_F(BeaconStationTest, TwoMinuteRateSendsOnTheSecondTick)
{
    schedule().start();
    beacons->beaconMinuteTick();
    EXPECT_TRUE(events.isEmpty());
    beacons->beaconMinuteTick();
    EXPECT_EQ(beaconsSent(), QByteArrayList{"hf:>Skylark v3.33"}); // GMSK-250 by design default
    EXPECT_EQ(beacons->minuteCounter(), 0);
    beacons->beaconMinuteTick();
    EXPECT_EQ(beaconsSent().size(), 1);
    beacons->beaconMinuteTick();
    EXPECT_EQ(beaconsSent().size(), 2);
}

TEST_F(BeaconStationTest, EveryRateHasItsInterval)
{
    const std::pair<int, int> rates[] = {{0, 10}, {1, 20}, {2, 30}, {3, 60}, {4, 2}, {5, 5}};
    for (const auto& [code, minutes] : rates) {
        state.beaconRateCode = code;
        BeaconStation b(state, waits, links, gps);
        b.setHfSend([this](const QByteArray& info) { events.append("hf:" + info); });
        b.setBeaconText("x");
        EXPECT_EQ(b.countdown(), minutes * 60.0) << code;
        events.clear();
        for (int i = 1; i < minutes; ++i)
            b.beaconMinuteTick();
        EXPECT_TRUE(events.isEmpty()) << code;
        b.beaconMinuteTick();
        EXPECT_EQ(beaconsSent(), QByteArrayList{"hf:x"}) << code;
    }
}

TEST_F(BeaconStationTest, SwitchingOffAndOnKeepsTheMinuteCounter)
{
    schedule().start();
    beacons->beaconMinuteTick();
    beacons->beaconButtonClicked();
    EXPECT_FALSE(schedule().isActive());
    EXPECT_EQ(button, QStringLiteral("Beacon OFF"));
    EXPECT_EQ(buttonColour, StatusColour::Grey);
    beacons->beaconButtonClicked();
    EXPECT_TRUE(schedule().isActive());
    EXPECT_EQ(button, QStringLiteral("Beacon ON"));
    EXPECT_EQ(buttonColour, StatusColour::Green);
    EXPECT_EQ(beacons->minuteCounter(), 1);
    beacons->beaconMinuteTick();
    EXPECT_EQ(beaconsSent().size(), 1);
}

TEST_F(BeaconStationTest, SendBeaconReloadsOnlyTheCountdown)
{
    schedule().start();
    beacons->beaconMinuteTick();
    for (int i = 0; i < 5; ++i)
        beacons->beaconCountdownTick();
    EXPECT_EQ(beacons->countdown(), 115.0);
    beacons->sendFixedBeacon();
    EXPECT_EQ(beacons->countdown(), 120.0);
    EXPECT_EQ(beacons->minuteCounter(), 1);
    beacons->beaconMinuteTick(); // the schedule is not shifted by the extra beacon
    EXPECT_EQ(beaconsSent().size(), 2);
}

TEST_F(BeaconStationTest, CountdownLabelButtonAndTitle)
{
    schedule().start();
    beacons->beaconCountdownTick();
    EXPECT_EQ(label, QStringLiteral("Time to next beacon:    1 min 59 sec "));
    EXPECT_EQ(button, QStringLiteral("Beacon ON"));
    EXPECT_EQ(buttonColour, StatusColour::Green);
    EXPECT_EQ(title, QStringLiteral("Skylark v3.33"));
    EXPECT_EQ(titleColour, StatusColour::Grey);
    EXPECT_EQ(secondLine, true);

    for (int i = 0; i < 200; ++i)
        beacons->beaconCountdownTick();
    EXPECT_EQ(label, QStringLiteral("Time to next beacon:    0 min 0 sec ")); // stops at 0

    schedule().stop();
    beacons->beaconCountdownTick();
    EXPECT_EQ(label, QStringLiteral("Beacon OFF"));
    EXPECT_EQ(button, QStringLiteral("Beacon OFF"));
    EXPECT_EQ(buttonColour, StatusColour::Grey);

    // Remote control has switched HF transmission off: red even while the schedule runs.
    schedule().start();
    state.igateTransmitEnabled = false;
    beacons->beaconCountdownTick();
    EXPECT_EQ(button, QStringLiteral("Beacon OFF"));
    EXPECT_EQ(buttonColour, StatusColour::Red);
    EXPECT_EQ(title, QStringLiteral("     IGATE REMOTE TX OFF"));
    EXPECT_EQ(titleColour, StatusColour::Red);
    EXPECT_EQ(secondLine, false);
}

TEST_F(BeaconStationTest, FramingCharactersAreRemovedFromTextAndField)
{
    state.choices.transmitMode = TransmitMode::AprsIs;
    beacons->setBeaconText("a~b{c|d");
    beacons->sendFixedBeacon();
    EXPECT_EQ(cleaned, QByteArrayList{"abcd"});
    EXPECT_EQ(beacons->beaconText(), QByteArray("abcd"));
    EXPECT_EQ(beaconsSent(), QByteArrayList{"is:M0SKY-10>APSK20:abcd\r\n\r\n"});
    beacons->sendFixedBeacon();
    EXPECT_EQ(cleaned.size(), 1) << "a clean text is not written back again";
}

struct BearerCase {
    TransmitMode mode;
    bool textTnc;
    bool kissSerial;
    bool digipeatMe;
    QByteArrayList expected;
};

TEST_F(BeaconStationTest, EachModeReachesItsBearers)
{
    const QByteArray kiss = "kiss:APSK20|M0SKY-1||B";
    const QByteArray kissDigi = "kiss:APSK20|M0SKY-1|WIDE1-1|B";
    const BearerCase cases[] = {
        {TransmitMode::Gmsk250, false, false, false, {"hf:B"}},
        {TransmitMode::Psk63, true, false, false, {"hf:B", "tnc:B\r"}},
        {TransmitMode::Mfsk16, false, true, false, {"hf:B", kiss}},
        {TransmitMode::Tnc, true, false, false, {"tnc:B\r"}},
        {TransmitMode::Tnc, false, true, true, {kissDigi}},
        {TransmitMode::Ax25, false, false, false, {kiss}},
        {TransmitMode::Ax25, false, false, true, {kissDigi}},
        {TransmitMode::Ax25Gmsk, false, false, false, {kiss, "hf:B"}},
        {TransmitMode::Ax25Psk63, false, false, true, {kissDigi, "hf:B"}},
        {TransmitMode::Ax25Mfsk, false, false, false, {kiss, "hf:B"}},
        {TransmitMode::AprsIs, false, false, false, {"is:M0SKY-10>APSK20:B\r\n\r\n"}},
        {TransmitMode::AprsIs, true, false, false, {"tnc:B\r", "is:M0SKY-10>APSK20:B\r\n\r\n"}},
    };
    state.choices.digiPath = "WIDE1-1";
    beacons->setBeaconText("B");
    for (const BearerCase& c : cases) {
        events.clear();
        state.choices.transmitMode = c.mode;
        state.kissSerial = c.kissSerial;
        state.choices.digipeatMe = c.digipeatMe;
        tnc.textMode = c.textTnc;
        beacons->sendFixedBeacon();
        EXPECT_EQ(beaconsSent(), c.expected) << static_cast<int>(c.mode);
        EXPECT_EQ(events.last(), QByteArray("clear")) << "the TNC's echo of our beacon is discarded";
        EXPECT_FALSE(state.transmitBusy);
    }
}

TEST_F(BeaconStationTest, AprsIsSkippedWhenNotConnectedAndMissingLinksAreSkipped)
{
    state.choices.transmitMode = TransmitMode::AprsIs;
    aprsIs.connected = false;
    beacons->sendFixedBeacon();
    EXPECT_TRUE(beaconsSent().isEmpty());
    links = {};
    state.choices.transmitMode = TransmitMode::Ax25Gmsk;
    beacons->sendFixedBeacon();
    EXPECT_EQ(beaconsSent(), QByteArrayList{"hf:>Skylark v3.33"});
}

TEST_F(BeaconStationTest, TextTncWaitsForTheTransmitterAndClosingStopsIt)
{
    state.choices.transmitMode = TransmitMode::Tnc;
    tnc.textMode = true;
    state.transmitBusy = true;
    QTimer::singleShot(platform::Clock::scaled(2000), [this] {
        EXPECT_TRUE(events.isEmpty()) << "nothing written while another sender holds the port";
        state.transmitBusy = false;
    });
    beacons->sendFixedBeacon();
    EXPECT_EQ(beaconsSent(), QByteArrayList{"tnc:>Skylark v3.33\r"});
    EXPECT_FALSE(state.transmitBusy);

    events.clear();
    state.transmitBusy = true;
    QTimer::singleShot(0, [this] { state.shuttingDown = true; });
    beacons->sendFixedBeacon();
    EXPECT_TRUE(beaconsSent().isEmpty());
}

TEST_F(BeaconStationTest, HfAfterVhfWaitsTenSecondsAndStopsWhenClosing)
{
    state.choices.transmitMode = TransmitMode::Ax25Gmsk;
    QTimer::singleShot(platform::Clock::scaled(5000), [this] { state.shuttingDown = true; });
    beacons->sendFixedBeacon();
    EXPECT_EQ(beaconsSent(), QByteArrayList{"kiss:APSK20|M0SKY-1||>Skylark v3.33"});
}

// --- The position beacon --------------------------------------------------------------

TEST_F(BeaconStationTest, PositionBeaconWorkedExamples)
{
    state.choices.transmitMode = TransmitMode::AprsIs;
    state.gpsBeacon = true;
    const struct {
        QByteArray sentence;
        QByteArray table, code;
        QByteArray info;
    } cases[] = {
        {nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"), "/", ">",
         "=4807.03N/01131.00E>Car"},
        {nmeaSentence("GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"), "/", ">",
         "=4916.45N/12311.12W>Car"},
        {nmeaSentence("GNRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"), "\\", "-",
         "=4916.45N\\12311.12W-Car"},
        {nmeaSentence("GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"), "", "",
         "=4916.45N/12311.12W>Car"},
    };
    for (const auto& c : cases) {
        events.clear();
        gps.reset();
        ASSERT_TRUE(gps.feed(c.sentence));
        state.gpsIconTable = c.table;
        state.gpsIconSymbol = c.code;
        beacons->sendBeacon();
        EXPECT_EQ(beaconsSent(), QByteArrayList{"is:M0SKY-10>APSK20:" + c.info + "\r\n\r\n"});
    }
    EXPECT_EQ(fixes, (QList<bool>{true, true, true, true}));
}

TEST_F(BeaconStationTest, PositionBeaconOnEveryBearer)
{
    ASSERT_TRUE(gps.feed(nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")));
    state.gpsBeacon = true;
    state.gpsBeaconText = "Car~|{";
    state.choices.digipeatMe = true;
    tnc.textMode = true;
    const QByteArray info = "=4807.03N/01131.00E>Car";
    state.choices.transmitMode = TransmitMode::Ax25Psk63;
    beacons->sendBeacon();
    EXPECT_EQ(beaconsSent(),
              (QByteArrayList{"kiss:APSK20|M0SKY-1|WIDE2-1|" + info, "tnc:" + info + '\r', "hf:" + info}));
}

TEST_F(BeaconStationTest, NoFixOrNoSentenceSendsTheFixedBeacon)
{
    state.choices.transmitMode = TransmitMode::AprsIs;
    state.gpsBeacon = true;
    const QByteArray fixed = "is:M0SKY-10>APSK20:>Skylark v3.33\r\n\r\n";
    beacons->sendBeacon(); // "GPS" chosen, nothing received yet
    EXPECT_EQ(beaconsSent(), QByteArrayList{fixed});
    EXPECT_TRUE(fixes.isEmpty());

    events.clear();
    ASSERT_TRUE(gps.feed(nmeaSentence("GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")));
    beacons->sendGpsBeacon();
    EXPECT_EQ(beaconsSent(), QByteArrayList{fixed});
    EXPECT_EQ(fixes, QList<bool>{false});

    events.clear();
    state.gpsBeacon = false; // "Fixed": the sentence is not used
    ASSERT_TRUE(gps.feed(nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")));
    beacons->sendBeacon();
    EXPECT_EQ(beaconsSent(), QByteArrayList{fixed});
}

TEST_F(BeaconStationTest, GpsStoppingMidSentenceKeepsTheLastPosition)
{
    state.choices.transmitMode = TransmitMode::AprsIs;
    state.gpsBeacon = true;
    ASSERT_TRUE(gps.feed(nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")));
    EXPECT_FALSE(gps.feed("$GPRMC,123520,A,4916.45,N,1231")); // the receiver stops here
    beacons->sendBeacon(); // goes out at once, with the last complete position
    EXPECT_EQ(beaconsSent(), QByteArrayList{"is:M0SKY-10>APSK20:=4807.03N/01131.00E>Car\r\n\r\n"});
}

TEST_F(BeaconStationTest, KissBeaconReachesTheKissPeerByteForByte)
{
    testsupport::ScriptedTcpServer peer;
    ASSERT_TRUE(peer.isListening());
    TcpKissTnc kissTnc(peer.port());
    links.tnc = &kissTnc;
    state.choices.transmitMode = TransmitMode::Ax25;
    state.myCall = "M0SKY-1";
    state.choices.digipeatMe = true;
    state.choices.digiPath = "WIDE2-1";
    beacons->setBeaconText("Hi");
    beacons->sendFixedBeacon();

    const QByteArray expected = testsupport::kissUiFrame("M0SKY-1", "APSK20", "WIDE2-1", "Hi");
    ASSERT_TRUE(testsupport::waitUntil([&] { return peer.received().size() >= expected.size(); }));
    EXPECT_EQ(peer.received().toHex(' '), expected.toHex(' '));
}

} // namespace
