#include "hf/hf_link.h"

#include "hf/hf_frame.h"
#include "hf/igate.h"
#include "hf/scripted_modem.h"
#include "platform/clock.h"
#include "records/log_file.h"
#include "station/waits.h"
#include "tests/support/temp_station_dir.h"
#include "hf/tests/test_links.h"
#include "tests/support/wait_until.h"

#include <QElapsedTimer>
#include <algorithm>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using station::TransmitMode;

/// The HF link and igate with their timers running as the window runs them.
class HfLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        state.stationDir = dir.path();
        state.hfCall = "MYCALL";
        state.aprsIsCall = "MYIS";
        state.remoteCall = "REMOTE";
        state.remoteTxOnCode = "Relay keying open";
        state.remoteTxOffCode = "Relay keying close";
        state.choices.transmitMode = TransmitMode::Psk63;
        log.modem = &modem;
        links.local = &local;
        links.aprsIs = &aprsIs;
        links.receiveLog = &receiveLog;
        QObject::connect(&hf, &hf::HfLink::remoteCommand, &igate, &hf::Igate::remoteCommand);
        QObject::connect(&hf, &hf::HfLink::stationHeard, [this](const QByteArray& s) { heard.append(s); });
        QObject::connect(&hf, &hf::HfLink::beaconRequested, [this] { hf.sendBeaconFrame(">beacon"); });
    }
    void TearDown() override { state.shuttingDown = true; }

    /// A frame as another station sends it, injected on `channel` in two pieces.
    void receive(const QByteArray& body, int channel = 4, bool goodCheck = true)
    {
        QByteArray frame = hf::buildFrame(body, hf::FrameSender::Message);
        if (!goodCheck)
            frame.replace(hf::checkField(body), "0000");
        modem.injectText(channel, frame.left(10));
        modem.injectText(channel, frame.mid(10));
    }
    bool processed(qsizetype frames)
    {
        return testsupport::waitUntil(
            [&] { return heardLogLines() >= frames && !hfReceiveTimer.isActive(); });
    }
    qsizetype heardLogLines()
    {
        QFile f(records::LogFile::mheardLog(dir.path()).path());
        return f.open(QIODevice::ReadOnly) ? f.readAll().count("\r\n") : 0;
    }
    QByteArrayList channel0Writes()
    {
        QByteArrayList out = modem.writesStartingWith("ch0.mode=");
        out += modem.writesStartingWith("ch0.rate=");
        return out;
    }

    /// The clock runs 100 times faster before the parts below set their timers from it.
    struct FastClock {
        FastClock() { platform::Clock::setTimeScale(0.01); }
    } fastClock;
    testsupport::TempStationDir dir;
    station::StationState state;
    station::Waits waits{state};
    hftest::EventLog log;
    hftest::TestLocal local{log};
    hftest::TestAprsIs aprsIs{log};
    hftest::TestReceiveLog receiveLog{log};
    station::StationLinks links;
    hf::ScriptedModem modem;
    QByteArrayList heardList{"G4ABC"};
    QByteArrayList heard;
    hf::HfLink hf{modem, state, waits, links};
    hf::Igate igate{state, waits, links, hf, [this] { return heardList; }};
    QTimer& hfReceiveTimer = *hf.findChild<QTimer*>("hfReceiveTimer");
    QTimer& localToHfRelayTimer = *hf.findChild<QTimer*>("localToHfRelayTimer");
    QTimer& aprsIsToHfTimer = *igate.findChild<QTimer*>("aprsIsToHfTimer");
};

TEST_F(HfLinkTest, GoodFrameIsShownLoggedAndHeard)
{
    receive("G4ABC-2>APSK63:>hello");
    ASSERT_TRUE(processed(1));
    EXPECT_EQ(hf.trafficText(), "   G4ABC-2>APSK63:>hello\r\n");
    EXPECT_EQ(heard, QByteArrayList{"G4ABC-2"});
    QFile f(records::LogFile::mheardLog(dir.path()).path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString record = QString::fromLatin1(f.readAll());
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral(R"(^"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d","G4ABC-2>APSK63:>hello"\r\n$)"))
                    .match(record)
                    .hasMatch())
        << record.toStdString();
    EXPECT_TRUE(log.events.contains("is:G4ABC-2>APSK63,qAR,MYIS:>hello\r\n"));
    EXPECT_TRUE(log.events.contains("local:G4ABC-2>APSK63:>hello\r\n"));
}

TEST_F(HfLinkTest, BodyHoldingALineBreakIsShownAndLoggedAsOneRecordOnly)
{
    // A good check over a body with a second line inside: passed on, the second line would be
    // a packet from a source nobody heard.
    const QByteArray forged = "EVIL-1>APRS,qAR,G4XYZ:>forged";
    for (const QByteArray& body : {"G4XYZ>APSK63:>hi\r" + forged, "G4XYZ>APSK63:>hi\n" + forged,
                                   QByteArray("G4XYZ>APSK63::MYCALL   :hi\0{1", 29)})
        receive(body);
    ASSERT_TRUE(processed(3));
    EXPECT_EQ(hf.multiLineFrames(), 3);
    EXPECT_EQ(hf.trafficText(), "   G4XYZ>APSK63:>hi<0x0D>" + forged + "\r\n   G4XYZ>APSK63:>hi<0x0A>" +
                                    forged + "\r\n   G4XYZ>APSK63::MYCALL   :hi<0x00>{1\r\n");
    EXPECT_EQ(heardLogLines(), 3) << "one record each";
    EXPECT_TRUE(heard.isEmpty());
    for (const QByteArray& e : log.events)
        EXPECT_FALSE(e.startsWith("is:") || e.startsWith("local:") || e.startsWith("log:")) << e.constData();
    EXPECT_TRUE(modem.queued().isEmpty()) << "no ack for it either";
}

TEST_F(HfLinkTest, IgateRulesOnTheHfPath)
{
    const QByteArray longest = "G4ABC>APSK63:>" + QByteArray(256 - 14, 'x');
    int channel = 10; // one channel each: a channel's assembly keeps at most 700 characters
    for (const QByteArray& body :
         {QByteArray("G4ABC>APSK63,NOGATE:>not me"), QByteArray("G4ABC>APSK63,RFONLY:>nor me"),
          QByteArray("G4ABC>APSK63:}M0XYZ>APRS,G4ABC*:>third party"), longest + "x", longest})
        receive(body, channel++);
    ASSERT_TRUE(processed(5)) << heardLogLines() << hf.trafficText().toStdString();
    EXPECT_EQ(hftest::withPrefix(log.events, "is:"),
              QByteArrayList{"is:G4ABC>APSK63,qAR,MYIS:>" + QByteArray(256 - 14, 'x') + "\r\n"});
    const QByteArrayList local = hftest::withPrefix(log.events, "local:");
    EXPECT_EQ(local.size(), 4) << "the local program gets every packet of at most 256 characters";
    EXPECT_FALSE(local.contains("local:" + longest + "x\r\n"));
}

TEST_F(HfLinkTest, ABusyChannelDelaysRepliesBoundedlyAndReceivingGoesOn)
{
    // Waits at 1/50 of design time (timers keep theirs): the 60 s wait for channel 1 takes 1.2 s.
    platform::Clock::setTimeScale(0.02);
    modem.setChannelState(1, 1); // a carrier, or a squelch held open by noise, that never drops
    QList<qsizetype> sentWhenHeard;
    QObject::connect(&hf, &hf::HfLink::stationHeard,
                     [&](const QByteArray&) { sentWhenHeard.append(modem.queued().size()); });
    state.choices.hfDigipeat = true;
    receive("G4ABC>APSK63::MYCALL   :first{1", 12);
    for (int i = 0; i < 2; ++i)
        receive("M0XYZ>APSK63,WIDE2-1:>status " + QByteArray::number(i), 13 + i);

    ASSERT_TRUE(testsupport::waitUntil([&] { return modem.queued().size() == 3; }, 20000));
    EXPECT_EQ(sentWhenHeard, (QList<qsizetype>{0, 0, 0})) << "every frame processed while the replies waited";
    EXPECT_EQ(hf.channelBusyTimeouts(), 3) << "each reply went out after its bounded wait";
    EXPECT_EQ(modem.queued().first(),
              hf::buildFrame("MYCALL>APSK63::G4ABC    :ack1\r", hf::FrameSender::Ack));
    EXPECT_TRUE(hf.trafficText().contains(hf::HfLink::kChannelBusyNote));
    EXPECT_EQ(hf.droppedReplies(), 0);
}

TEST_F(HfLinkTest, BadCheckIsShownOrNotByDisplayCrc)
{
    receive("G4ABC-2>APSK63:>first", 4, false);
    ASSERT_TRUE(processed(1));
    EXPECT_EQ(hf.trafficText(), "   G4ABC-2>APSK63:>first\r\n");
    EXPECT_TRUE(heard.isEmpty());                                 // bad frames never make the heard list
    EXPECT_TRUE(hftest::withPrefix(log.events, "is:").isEmpty()); // nor APRS-IS
}

TEST_F(HfLinkTest, BadCheckIsOnlyLoggedWithDisplayCrc)
{
    state.choices.displayCrc = true;
    receive("G4ABC-2>APSK63:>second", 5, false);
    ASSERT_TRUE(processed(1));
    EXPECT_EQ(hf.trafficText(), "");
    receive("G4ABC-2>APSK63:>third", 5, true);
    ASSERT_TRUE(processed(2));
    EXPECT_EQ(hf.trafficText(), "   G4ABC-2>APSK63:>third\r\n");
}

TEST_F(HfLinkTest, TwoDifferentFramesInOneTickAreBothProcessed)
{
    receive("G4ABC-2>APSK63:>one", 4); // both arrive before the one assembly run they start
    receive("G4XYZ>APSK63:>two", 15);
    ASSERT_TRUE(processed(2));
    EXPECT_EQ(heard, (QByteArrayList{"G4ABC-2", "G4XYZ"}));
}

TEST_F(HfLinkTest, MessageToUsIsAcknowledgedInTheSelectedMode)
{
    receive("G4ABC>APSK63::MYCALL   :hello{07");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !modem.queued().isEmpty(); }));
    EXPECT_EQ(modem.queued().first(),
              hf::buildFrame("MYCALL>APSK63::G4ABC    :ack7\r", hf::FrameSender::Ack));
    EXPECT_EQ(channel0Writes(), (QByteArrayList{"ch0.mode=BPSK", "ch0.rate=62.5"}));
    EXPECT_EQ(hftest::withPrefix(log.events, "PTT"), (QByteArrayList{"PTT True@0", "PTT False@1"}));
    EXPECT_TRUE(log.events.contains("log:G4ABC|:MYCALL   :hello{07"));
    EXPECT_TRUE(state.messagesText.contains("From: G4ABC To: :MYCALL   :hello{07"));
}

TEST_F(HfLinkTest, OurMessageIsRetriedOnTheHfScheduleAndStopsAtItsAck)
{
    bool finished = false;
    bool acknowledged = false;
    QObject::connect(&hf, &hf::HfLink::retryFinished, [&](bool ack) {
        finished = true;
        acknowledged = ack;
    });
    state.choices.operatingMode = station::OperatingMode::AprsMessaging;
    state.messageNumber = 4;
    // The ack arrives once the first resend has gone out, before the second: watched for
    // rather than timed, so a busy machine cannot put it before the resend.
    QTimer ackAfterResend;
    ackAfterResend.setInterval(1);
    QObject::connect(&ackAfterResend, &QTimer::timeout, [&] {
        if (modem.queued().size() == 2) {
            ackAfterResend.stop();
            receive("G4ABC>APSK63::MYCALL   :ack5");
        }
    });
    ackAfterResend.start();
    hf.transmitOnHf("G4ABC", "hi~ there", {});
    EXPECT_TRUE(finished);
    EXPECT_TRUE(acknowledged);
    const QByteArray frame = hf::buildFrame("MYCALL>APSK63::G4ABC    :hi there{5", hf::FrameSender::Message);
    EXPECT_EQ(modem.queued(), (QByteArrayList{frame, frame}));
    EXPECT_FALSE(state.transmitBusy);
    EXPECT_EQ(state.lastAckNumber, 5);
    QFile f(records::LogFile::transmitLog(dir.path()).path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("\",\"G4ABC\",\"hi there\r\"\r\n"));
}

TEST_F(HfLinkTest, WithoutAckThreeTransmissionsInAll)
{
    state.choices.operatingMode = station::OperatingMode::AprsMessaging;
    platform::Clock::setTimeScale(0.001);
    hf.transmitOnHf("G4ABC", "hi", {});
    EXPECT_EQ(modem.queued().size(), 3);
    state.choices.acksNormal = false;
    modem.clearWrites();
    hf.transmitOnHf("G4ABC", "hi", {});
    EXPECT_EQ(modem.queued(),
              QByteArrayList{hf::buildFrame("MYCALL>APSK63::G4ABC    :hi", hf::FrameSender::Message)});
}

TEST_F(HfLinkTest, QueryIsAnsweredWithABeacon)
{
    hf.drawTransmitDelay();
    EXPECT_GE(hf.replyDelaySeconds(), 0);
    EXPECT_LE(hf.replyDelaySeconds(), 11);
    receive("G4ABC>APSK63::MYCALL   :?APRS");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !modem.queued().isEmpty(); }));
    EXPECT_EQ(modem.queued().last(), hf::buildFrame("MYCALL>APSK63:>beacon", hf::FrameSender::Beacon));
    EXPECT_TRUE(hftest::withPrefix(log.events, "is:").isEmpty()); // queries are never gated
}

TEST_F(HfLinkTest, QueriesInEitherCaseAreAnsweredAndOurOwnFramesNeverAre)
{
    state.choices.hfDigipeat = true;
    const struct {
        QByteArray body;
        qsizetype beacons;
    } rows[] = {
        {"G4ABC>APSK63::MYCALL   :?APRS", 1},
        {"G4ABC>APSK63::MYCALL   :?aprs", 1},
        {"G4ABC>APSK63::MYCALL   :?APRS :?aprs", 2},
        // From our own call: shown and logged, but not answered, heard or repeated.
        {"MYCALL>APSK63,WIDE2-1::MYCALL   :?aprs", 0},
    };
    qsizetype frames = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body.toStdString());
        modem.clearWrites();
        heard.clear();
        receive(row.body);
        ASSERT_TRUE(processed(++frames));
        ASSERT_TRUE(testsupport::waitUntil([&] { return modem.queued().size() >= row.beacons; }));
        testsupport::spinFor(platform::Clock::scaled(24000)); // two of the longest reply delays
        EXPECT_EQ(modem.queued().size(), row.beacons);
        EXPECT_EQ(heard.isEmpty(), row.beacons == 0);
    }
    EXPECT_TRUE(hf.trafficText().contains("MYCALL>APSK63,WIDE2-1::MYCALL   :?aprs"));
}

TEST_F(HfLinkTest, WithoutPriorityTxTheSendWaitsForChannelOne)
{
    modem.setChannelState(1, 1); // another station is on the air
    QTimer::singleShot(platform::Clock::scaled(2000), [this] {
        EXPECT_TRUE(modem.queued().isEmpty()) << "nothing goes out over a busy channel";
        modem.setChannelState(1, 0);
    });
    EXPECT_TRUE(hf.transmitFrame("frame", 0.0));
    EXPECT_EQ(modem.queued(), QByteArrayList{"frame"});

    state.choices.priorityTx = true;
    modem.setChannelState(1, 1);
    modem.clearWrites();
    EXPECT_TRUE(hf.transmitFrame("urgent", 0.0));
    EXPECT_EQ(modem.queued(), QByteArrayList{"urgent"}) << "Priority Tx goes out at once";
}

TEST_F(HfLinkTest, LocalProgramLinesAreDroppedWhileTxIsClear)
{
    state.choices.tcpTx = false;
    hf.localProgramLine("SRC>APWW:payload\r\n");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !localToHfRelayTimer.isActive(); }));
    EXPECT_TRUE(modem.queued().isEmpty());
    state.choices.tcpTx = true;
    hf.localProgramLine("SRC>APWW:later\r\n");
    ASSERT_TRUE(testsupport::waitUntil([&] { return modem.queued().size() == 1; }));
    EXPECT_EQ(hf::parseFrame(modem.queued()[0]).body, "SRC>APSK63:later") << "the dropped line stays dropped";
}

TEST_F(HfLinkTest, DigipeatInsertsOurCallBeforeWide2InGmsk250)
{
    state.choices.hfDigipeat = true;
    receive("G4ABC>APSK63,WIDE2-1:>status");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !modem.queued().isEmpty(); }));
    EXPECT_EQ(modem.queued().first(),
              hf::buildFrame("G4ABC>APSK63,MYCALL*,WIDE2-1:>status", hf::FrameSender::Digipeat));
    EXPECT_EQ(channel0Writes(), (QByteArrayList{"ch0.mode=GMSK", "ch0.rate=250"}));
}

TEST_F(HfLinkTest, PacketsWithOurCallAreGatedAfterTheHold)
{
    receive("G4ABC>APSK63::MYCALL   :hello");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !hftest::withPrefix(log.events, "is:").isEmpty(); }));
    EXPECT_EQ(hftest::withPrefix(log.events, "is:"),
              QByteArrayList{"is:G4ABC>APSK63,qAR,MYIS::MYCALL   :hello\r\n"});
}

TEST_F(HfLinkTest, TransmitDisabledKeepsPttNoticesButQueuesNothing)
{
    state.igateTransmitEnabled = false;
    state.choices.priorityTx = true;
    modem.setChannelState(1, 1);
    EXPECT_TRUE(hf.transmitFrame("frame", 0.0));
    EXPECT_TRUE(modem.queued().isEmpty());
    EXPECT_FALSE(modem.transmitterOn());
    EXPECT_EQ(log.events, (QByteArrayList{"PTT True@0", "PTT False@0"}));
}

TEST_F(HfLinkTest, NothingIsSentWithoutAModemOption)
{
    state.choices.transmitMode = TransmitMode::Tnc;
    EXPECT_FALSE(hf.transmitFrame("frame", 0.0));
    EXPECT_TRUE(log.events.isEmpty());
}

TEST_F(HfLinkTest, LocalProgramLinesAreRelayed)
{
    state.choices.tcpTx = true;
    hf.localProgramLine("SRC>APWW:payload\r\n");
    hf.localProgramLine("SRC>APWW,X>APU25:never\r\n");
    hf.localProgramLine("SRC2>APWW:second\r\n");
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return modem.queued().size() == 2 && !localToHfRelayTimer.isActive(); }));
    EXPECT_EQ(modem.queued(),
              (QByteArrayList{hf::buildFrame("SRC>APSK63:payload", hf::FrameSender::LocalRelay),
                              hf::buildFrame("SRC2>APSK63:second", hf::FrameSender::LocalRelay)}));
}

// "~" ends a body at every receiver: whatever path builds the body, the frame on the air
// holds only its two flags and checks good.
TEST_F(HfLinkTest, NoTildeReachesAFrameBodyOnAnyPath)
{
    state.choices.tcpTx = true;
    state.choices.internetToHf = true;
    state.choices.acksNormal = false;
    state.choices.operatingMode = station::OperatingMode::Raynet;
    state.choices.transmitMode = TransmitMode::Gmsk250; // the gate to HF sends in GMSK-250 only
    hf.transmitOnHf("G4ABC", "rn~text", {"da~ta1", "~data2", "data3~"});
    hf.localProgramLine("SRC>APWW:relayed ~ line\r\n");
    igate.aprsIsLine("SRC>APRS,TCPIP*::G4ABC    :gated ~ line{4\r\n");
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return modem.queued().size() == 3 && !localToHfRelayTimer.isActive() && !aprsIsToHfTimer.isActive();
    })) << modem.queued().join("|").toStdString();
    for (const QByteArray& frame : modem.queued()) {
        SCOPED_TRACE(frame.toStdString());
        EXPECT_EQ(frame.count('~'), 2);
        const hf::ParsedFrame parsed = hf::parseFrame(frame);
        EXPECT_TRUE(parsed.good);
        EXPECT_EQ(frame.indexOf(parsed.body), 11);
    }
    QByteArrayList bodies;
    for (const QByteArray& frame : modem.queued())
        bodies.append(hf::parseFrame(frame).body);
    std::sort(bodies.begin(), bodies.end()); // the relay and the gate each run on their own timer
    EXPECT_EQ(bodies,
              (QByteArrayList{"MYCALL>APSK26::G4ABC    :data1,data2,data3,",
                              "SRC>APSK20,MYCALL*::G4ABC    :gated  line{4", "SRC>APSK26:relayed  line"}));
}

TEST_F(HfLinkTest, AprsIsMessagesForHeardStationsAreQueuedAndAllSent)
{
    state.choices.internetToHf = true;
    state.choices.transmitMode = TransmitMode::Gmsk250;
    for (int i = 1; i <= 3; ++i)
        igate.aprsIsLine("SRC>APRS,TCPIP*,qAC,T2::G4ABC    :hi{" + QByteArray::number(i) + "\r\n");
    igate.aprsIsLine("SRC>APRS,TCPIP*::NOTHEARD :hi{9\r\n");
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return modem.queued().size() == 3 && !aprsIsToHfTimer.isActive(); }));
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(modem.queued()[i - 1],
                  hf::buildFrame("SRC>APSK20,MYCALL*::G4ABC    :hi{" + QByteArray::number(i),
                                 hf::FrameSender::AprsIsGate));
    EXPECT_FALSE(state.transmitBusy);
}

TEST_F(HfLinkTest, FiveSecondDelayHoldsAGatedLineBeforeItGoesOut)
{
    constexpr double kScale = 0.1;
    platform::Clock::setTimeScale(kScale);
    for (QTimer* t : {&localToHfRelayTimer, &aprsIsToHfTimer})
        t->setInterval(platform::Clock::scaled(100));
    state.choices.internetToHf = true;
    state.choices.transmitMode = TransmitMode::Gmsk250;
    for (const bool delay : {true, false}) {
        SCOPED_TRACE(delay ? "5 s delay" : "no delay");
        state.choices.fiveSecondDelay = delay;
        modem.clearWrites();
        QElapsedTimer clock;
        clock.start();
        igate.aprsIsLine("SRC>APRS,TCPIP*::G4ABC    :hi{1\r\n");
        ASSERT_TRUE(testsupport::waitUntil([&] { return !modem.queued().isEmpty(); }));
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0 / kScale;
        if (delay)
            EXPECT_GE(seconds, 5.0);
        else
            EXPECT_LT(seconds, 4.0);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !aprsIsToHfTimer.isActive(); }));
    }
}

TEST_F(HfLinkTest, AprsIsQueueIsBoundedAndCountsDrops)
{
    state.choices.internetToHf = true;
    for (int i = 0; i < 40; ++i)
        igate.aprsIsLine("SRC>APRS::G4ABC    :n" + QByteArray::number(i));
    EXPECT_EQ(igate.queuedLines(), hf::Igate::kMaxQueuedLines);
    EXPECT_EQ(igate.droppedLines(), 40 - hf::Igate::kMaxQueuedLines);
    state.choices.internetToHf = false;
    igate.gateAprsIsLineToHf();
    EXPECT_EQ(igate.queuedLines(), 0);
}

TEST_F(HfLinkTest, RemoteTransmitOffStopsHfAndIsConfirmed)
{
    QString title;
    QObject::connect(&igate, &hf::Igate::titleChanged, [&](const QString& t, unsigned) { title = t; });
    state.messageNumber = 11;
    receive("REMOTE>APSK63::MYCALL   :Relay keying close{3");
    ASSERT_TRUE(testsupport::waitUntil([&] { return hftest::withPrefix(log.events, "PTT").size() == 2; }));
    EXPECT_FALSE(state.igateTransmitEnabled);
    EXPECT_EQ(title, "     IGATE REMOTE TX OFF");
    EXPECT_TRUE(log.events.contains("is:MYIS>APSK63::REMOTE   :Confirm Relay keying close{12\r\n"));
    EXPECT_TRUE(modem.queued().isEmpty()); // not even the acknowledgement goes out
    igate.remoteIgateOn();
    EXPECT_TRUE(state.igateTransmitEnabled);
    EXPECT_TRUE(log.events.contains("is:MYIS>APSK63::REMOTE   :Confirm Relay keying open{13\r\n"));
}

TEST_F(HfLinkTest, InnerSourcesOfRelayedLinesGoToTheTncList)
{
    QByteArrayList tnc;
    QObject::connect(&igate, &hf::Igate::tncStationHeard, [&](const QByteArray& s) { tnc.append(s); });
    igate.addIgatedVhfSource("GATE>APRS:}INNER >APRS:hello");
    EXPECT_EQ(tnc, QByteArrayList{"INNER"});
}

} // namespace
