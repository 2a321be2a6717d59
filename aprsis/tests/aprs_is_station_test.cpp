// The APRS-IS bearer end to end against a scripted server on loopback: log-on, a message to
// this station with its acknowledgement, the logs and the port-8064 record, our own message
// with its retries, "Cancel send", line splitting and reconnection.
#include "aprsis/aprs_is_client.h"

#include "messaging/message_receiver.h"
#include "messaging/message_sender.h"
#include "platform/clock.h"
#include "records/log_record.h"
#include "records/receive_log.h"
#include "tests/support/recording_links.h"
#include "tests/support/scripted_tcp_peer.h"
#include "station/station_state.h"
#include "station/status_colours.h"
#include "station/waits.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QDateTime FixedTime(QDate(2026, 3, 7), QTime(9, 5, 1), Qt::UTC);

class AprsIsStationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        state.stationDir = dir.path();
        state.aprsIsCall = "M0SKY-1";
        state.myCall = "M0SKY";
        state.hfCall = "M0SKY";
        state.groupCall = "NOCALL";
        state.choices.transmitMode = station::TransmitMode::AprsIs;
        state.choices.operatingMode = station::OperatingMode::AprsMessaging;
        state.choices.alert = true;
        links.aprsIs = &client;
        links.local = &local;
        links.receiveLog = &receiveLog;
        receiveLog.setClock([] { return FixedTime; });
        sender.setClock([] { return FixedTime; });
        receiver.setClock([] { return FixedTime; });
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(server.port());
        QObject::connect(&client, &aprsis::AprsIsClient::lineReceived, &receiver,
                         &messaging::MessageReceiver::aprsIsLine);
        QObject::connect(&receiver, &messaging::MessageReceiver::messagesBoxColour,
                         [this](unsigned c) { boxColours.append(c); });
        QObject::connect(&receiveLog, &records::ReceiveLog::startFlashing, [this] { ++flashStarts; });
        QObject::connect(&sender, &messaging::MessageSender::flashingStarted, [this] { ++flashStarts; });
    }

    void connectAndLogOn()
    {
        client.connectClicked();
        ASSERT_TRUE(testsupport::waitUntil([this] { return server.received().endsWith("\r\n"); }));
        server.clearReceived();
    }

    /// The client's status timer (1 s) runs, as from the window's opening.
    void startStatusTimers() { client.start(); }

    static int count(const QByteArray& haystack, const QByteArray& needle)
    {
        int n = 0;
        for (qsizetype at = haystack.indexOf(needle); at >= 0; at = haystack.indexOf(needle, at + 1))
            ++n;
        return n;
    }

    /// The clock runs 100 times faster before the parts below set their timers from it.
    struct FastClock {
        FastClock() { platform::Clock::setTimeScale(0.01); }
    } fastClock;
    testsupport::TempStationDir dir;
    testsupport::ScriptedTcpServer server;
    station::StationState state;
    station::Waits waits{state};
    station::StationLinks links;
    aprsis::AprsIsClient client{state};
    QByteArrayList localEvents;
    testsupport::RecordingLocal local{localEvents};
    records::ReceiveLog receiveLog{state, links};
    messaging::MessageSender sender{state, waits, links};
    messaging::MessageReceiver receiver{state, links, sender};
    QList<unsigned> boxColours;
    int flashStarts = 0;
};

TEST_F(AprsIsStationTest, LogOnLineByteForByte)
{
    client.setPasscode("-1");
    client.connectClicked();
    ASSERT_TRUE(testsupport::waitUntil([this] { return server.received().endsWith("\r\n"); }));
    EXPECT_EQ(server.received(),
              QByteArray("user M0SKY-1 pass -1 vers skylark v3.33 filter g/M0SKY-1/NOCALL\r\n"));
    EXPECT_TRUE(client.isConnected());
}

TEST_F(AprsIsStationTest, UnsetCallsignAsksForOne)
{
    state.aprsIsCall = "NOCALL";
    QStringList texts;
    QObject::connect(&client, &aprsis::AprsIsClient::statusText, [&](const QString& t) { texts.append(t); });
    client.connectClicked();
    testsupport::spinFor(50);
    EXPECT_EQ(texts, QStringList{QStringLiteral("Enter Callsign!")});
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(AprsIsStationTest, MessageToUsIsShownLoggedAndAcknowledged)
{
    connectAndLogOn();
    const QByteArray line = "G4SRC>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :hello there{12";
    server.send(line + "\r\n");
    ASSERT_TRUE(testsupport::waitUntil([this] { return server.received().endsWith("\r\n"); }));
    EXPECT_EQ(server.received(), QByteArray("M0SKY-1>APSK63::G4SRC    :ack12\r\n"));

    const QByteArray time = FixedTime.toLocalTime().time().toString(QStringLiteral("HH:mm:ss")).toLatin1();
    EXPECT_EQ(state.messagesText, time + " From: G4SRC  To: :M0SKY-1  :hello there{12\r\n");
    ASSERT_FALSE(boxColours.isEmpty());
    EXPECT_EQ(boxColours.last(), 0x00FFFFu);
    EXPECT_EQ(flashStarts, 1);

    const QByteArray stamp = "2026-03-07 09:05:01";
    EXPECT_EQ(dir.read(QStringLiteral("skylark_receive.log")),
              "\"" + stamp + "\",\"G4SRC\",\"" + line + "\"\r\n");
    EXPECT_EQ(testsupport::eventsOf(localEvents, "record:"), QList<QByteArray>{stamp + ",G4SRC," + line});

    // A second entry is appended, never replacing the first.
    server.send(line + "\r\n");
    ASSERT_TRUE(testsupport::waitUntil([this] { return count(server.received(), "ack12") == 2; }));
    EXPECT_EQ(count(dir.read(QStringLiteral("skylark_receive.log")), "\r\n"), 2);
}

TEST_F(AprsIsStationTest, ReadWithTwoLinesAndAPartialThirdIsClassifiedLineByLine)
{
    connectAndLogOn();
    // A keep-alive, a bulletin, a message to us and the start of another message in one read.
    server.send("# aprsc 2.1.19\r\nG4BLN>APRS::BLN1     :net tonight\r\nG4SRC>APRS::M0SKY-1  "
                ":one{3\r\nG4SRC>APRS::M0S");
    ASSERT_TRUE(testsupport::waitUntil([this] { return server.received().contains("ack3"); }));
    EXPECT_EQ(count(state.messagesText, "From:"), 1);
    EXPECT_EQ(count(state.bulletinList, "From: G4BLN"), 1);
    EXPECT_FALSE(state.bulletinList.contains("M0SKY"));
    EXPECT_EQ(server.received(), QByteArray("M0SKY-1>APSK63::G4SRC    :ack3\r\n"));

    server.clearReceived();
    server.send("KY-1  :two{4\r\n");
    ASSERT_TRUE(testsupport::waitUntil([this] { return !server.received().isEmpty(); }));
    EXPECT_EQ(server.received(), QByteArray("M0SKY-1>APSK63::G4SRC    :ack4\r\n"));
    EXPECT_EQ(count(state.messagesText, "From:"), 2);
}

TEST_F(AprsIsStationTest, OurMessageIsRetriedAndStopsAtTheAck)
{
    connectAndLogOn();
    const QByteArray ours = "M0SKY-1>APSK63::G4DST    :hi{1\r\n";
    QObject::connect(&server, &testsupport::ScriptedTcpServer::dataReceived, [&] {
        if (count(server.received(), ours) == 2 && !server.received().contains("ack"))
            server.send("G4DST>APRS,TCPIP*::M0SKY-1  :ack1\r\n");
    });
    sender.send({"G4DST", "h~i", {}, true, false, true});
    // Returned after the ack: two transmissions, no third, no ack sent back for an ack.
    EXPECT_EQ(count(server.received(), ours), 2);
    EXPECT_EQ(state.lastAckNumber, 1);
    EXPECT_FALSE(state.transmitBusy);
    EXPECT_FALSE(state.sendInProgress);
    EXPECT_FALSE(state.messagesText.contains("ack1")); // an ack shows nothing
    EXPECT_GE(flashStarts, 1);
    EXPECT_EQ(dir.read(QStringLiteral("skylark_transmit.log")),
              QByteArray("\"2026-03-07 09:05:01\",\"G4DST\",\"hi\r\"\r\n"));
}

TEST_F(AprsIsStationTest, WithoutAckTheMessageGoesOutThreeTimes)
{
    connectAndLogOn();
    sender.send({"G4DST", "hi", {}, true, false, true});
    // The last resend ends the procedure; its bytes may still be on their way.
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return count(server.received(), "M0SKY-1>APSK63::G4DST    :hi{1\r\n") == 3; }));
    EXPECT_FALSE(state.transmitBusy);
}

TEST_F(AprsIsStationTest, ResendsFollowTheScheduleNotJustTheCount)
{
    // C 5 C 5 C R 5 C 5 C 10 C 5 C R: the resends come 10 s and 25 s (plus 0.2 s pauses) apart.
    constexpr double kScale = 0.05;
    platform::Clock::setTimeScale(kScale);
    connectAndLogOn();
    QElapsedTimer clock;
    QList<double> arrivals; // design seconds
    QObject::connect(&server, &testsupport::ScriptedTcpServer::dataReceived, [&] {
        while (count(server.received(), "{1\r\n") > arrivals.size())
            arrivals.append(static_cast<double>(clock.elapsed()) / 1000.0 / kScale);
    });
    clock.start();
    sender.send({"G4DST", "hi", {}, true, false, true});
    ASSERT_TRUE(testsupport::waitUntil([&] { return arrivals.size() == 3; }));
    const double first = arrivals[1] - arrivals[0];
    const double second = arrivals[2] - arrivals[1];
    EXPECT_GE(first, 10.0);
    EXPECT_LT(first, 14.0);
    EXPECT_GE(second, 25.0);
    EXPECT_LT(second, 34.0);
}

TEST_F(AprsIsStationTest, FailedConnectionIsReportedAndRetriedEvery10Seconds)
{
    constexpr double kScale = 0.01;
    quint16 deadPort = 0;
    {
        testsupport::ScriptedTcpServer gone; // a free port nobody listens on any more
        deadPort = gone.port();
    }
    client.setPort(deadPort);
    QStringList texts;
    QList<unsigned> colours;
    QElapsedTimer clock;
    QList<double> failures; // design seconds
    QObject::connect(&client, &aprsis::AprsIsClient::statusText, [&](const QString& t) {
        texts.append(t);
        if (t == QStringLiteral("No Connection"))
            failures.append(static_cast<double>(clock.elapsed()) / 1000.0 / kScale);
    });
    QObject::connect(&client, &aprsis::AprsIsClient::buttonColour, [&](unsigned c) { colours.append(c); });
    startStatusTimers();
    clock.start();
    client.connectClicked();
    ASSERT_TRUE(testsupport::waitUntil([&] { return failures.size() >= 3; }, 10000));
    const qsizetype first = texts.indexOf(QStringLiteral("No Connection"));
    ASSERT_GE(first, 0);
    EXPECT_EQ(texts.value(first + 1), QStringLiteral("Error"));
    EXPECT_TRUE(colours.contains(station::colours::Red));
    EXPECT_TRUE(texts.contains(QStringLiteral("Reconnecting")));
    for (qsizetype i = 1; i < failures.size(); ++i)
        EXPECT_GE(failures[i] - failures[i - 1], 10.0) << "attempt " << i;
    EXPECT_FALSE(client.isConnected());
}

TEST_F(AprsIsStationTest, DisconnectServerClosesTheLink)
{
    QStringList captions;
    QList<unsigned> colours;
    QObject::connect(&client, &aprsis::AprsIsClient::buttonCaption,
                     [&](const QString& c) { captions.append(c); });
    QObject::connect(&client, &aprsis::AprsIsClient::buttonColour, [&](unsigned c) { colours.append(c); });
    connectAndLogOn();
    client.statusTick();
    EXPECT_EQ(captions.last(), QStringLiteral("Disconnect server"));
    EXPECT_EQ(colours.last(), station::colours::Green);
    client.connectClicked(); // the button now reads "Disconnect server"
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(colours.last(), station::colours::Yellow);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !server.hasClient(); }));
    client.statusTick();
    EXPECT_EQ(captions.last(), QStringLiteral("Connect to server"));
    client.sendToAprsIs("M0SKY-1>APRS:>not sent\r\n");
    testsupport::spinFor(20);
    EXPECT_TRUE(server.received().isEmpty()) << "nothing goes out once disconnected";
}

TEST_F(AprsIsStationTest, ReceivedMessageNumberDoesNotEndOurWait)
{
    connectAndLogOn();
    QObject::connect(&server, &testsupport::ScriptedTcpServer::dataReceived, [&] {
        if (count(server.received(), "{1\r\n") == 1 && !server.received().contains("ack"))
            server.send("G4DST>APRS::M0SKY-1  :ours is 1 too{1\r\n");
    });
    sender.send({"G4DST", "hi", {}, true, false, true});
    // The last resend ends the procedure; its bytes may still be on their way.
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return count(server.received(), "M0SKY-1>APSK63::G4DST    :hi{1\r\n") == 3; }));
    EXPECT_EQ(count(server.received(), "M0SKY-1>APSK63::G4DST    :ack1\r\n"), 1);
}

TEST_F(AprsIsStationTest, CancelSendStopsTheRetries)
{
    connectAndLogOn();
    QObject::connect(&server, &testsupport::ScriptedTcpServer::dataReceived, [&] {
        if (server.received().contains("{1\r\n"))
            sender.cancelSend();
    });
    sender.send({"G4DST", "hi", {}, true, false, true});
    EXPECT_EQ(count(server.received(), "{1\r\n"), 1);
    EXPECT_FALSE(state.ackReceived);
}

TEST_F(AprsIsStationTest, NoAcksSendsOnceWithoutNumber)
{
    connectAndLogOn();
    state.choices.acksNormal = false;
    sender.send({"G4DST", "hi", {}, true, false, true});
    ASSERT_TRUE(testsupport::waitUntil([this] { return server.received().endsWith("\r\n"); }));
    testsupport::spinFor(50);
    EXPECT_EQ(server.received(), QByteArray("M0SKY-1>APSK63::G4DST    :hi\r\n"));
}

TEST_F(AprsIsStationTest, DroppedLinkReconnectsAndLogsOnAgain)
{
    QStringList texts;
    QObject::connect(&client, &aprsis::AprsIsClient::statusText, [&](const QString& t) { texts.append(t); });
    startStatusTimers();

    connectAndLogOn();
    server.dropClient();
    ASSERT_TRUE(testsupport::waitUntil([this] { return server.received().endsWith("\r\n"); }, 10000));
    EXPECT_EQ(server.received(),
              QByteArray("user M0SKY-1 pass -1 vers skylark v3.33 filter g/M0SKY-1/NOCALL\r\n"));
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_TRUE(texts.contains(QStringLiteral("Closing")));
    ASSERT_TRUE(testsupport::waitUntil([&] { return texts.last() == QStringLiteral("Connected"); }));
}

TEST_F(AprsIsStationTest, ASilentServerIsLeftAndConnectedAgainAndATalkingOneIsKept)
{
    platform::Clock::setTimeScale(0.02); // silence 2.4 s: room for a slow machine between comments
    const int silenceMs = platform::Clock::scaled(aprsis::AprsIsClient::kSilenceMs);
    startStatusTimers();
    connectAndLogOn();
    // Nothing comes: the link is left and made again, with a new log-on.
    ASSERT_TRUE(testsupport::waitUntil(
        [this] { return server.connectionCount() == 2 && server.received().endsWith("\r\n"); },
        10 * silenceMs));
    EXPECT_TRUE(server.received().startsWith("user M0SKY-1 pass -1 "));
    // A server that sends its comment line now and then is kept, however long the link lasts.
    for (int i = 0; i < 6; ++i) {
        server.send("# keepalive\r\n");
        testsupport::spinFor(silenceMs / 4);
    }
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_TRUE(client.isConnected());
}

TEST(AprsIsClientLine, LogOnLineCarriesPasscodeAsTyped)
{
    EXPECT_EQ(aprsis::AprsIsClient::logOnLine("G4ABC", "12345", "RAYNET"),
              QByteArray("user G4ABC pass 12345 vers skylark v3.33 filter g/G4ABC/RAYNET\r\n"));
}

} // namespace

// --- What the operator is told -------------------------------------------------------

TEST_F(AprsIsStationTest, TheServersLogOnAnswerIsShownWhenItDidNotVerify)
{
    using LogOn = aprsis::AprsIsClient::LogOn;
    struct Case {
        QByteArray answer;
        LogOn logOn;
        QString status;
        unsigned colour;
    };
    const Case cases[] = {
        {"# logresp M0SKY-1 verified, server T2TEST", LogOn::Verified, "Connected", station::colours::Green},
        {"# logresp M0SKY-1 unverified, server T2TEST", LogOn::Unverified,
         "Connected, unverified: logresp M0SKY-1 unverified, server T2TEST", station::colours::Orange},
        // Bytes that are not text are shown as dots, and only so much of a long answer.
        {"# logresp M0SKY-1 unverified, server \x01\x7f" + QByteArray(200, 'X'), LogOn::Unverified,
         "Connected, unverified: logresp M0SKY-1 unverified, server .." + QString(43, 'X'),
         station::colours::Orange},
        {"# aprsc 2.1.19 keepalive", LogOn::Unanswered, "Connected", station::colours::Green},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.left(60).toStdString());
        QString status;
        unsigned colour = 0;
        auto a = QObject::connect(&client, &aprsis::AprsIsClient::statusText,
                                  [&](const QString& t) { status = t; });
        auto b = QObject::connect(&client, &aprsis::AprsIsClient::buttonColour,
                                  [&](unsigned col) { colour = col; });
        connectAndLogOn();
        server.send("# aprsc 2.1.19\r\n" + c.answer + "\r\n");
        ASSERT_TRUE(testsupport::waitUntil([&] { return client.logOn() == c.logOn; }));
        testsupport::spinFor(20);
        client.statusTick(); // the status timer shows the same
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(colour, c.colour);
        // A new connection starts unanswered.
        client.close();
        EXPECT_EQ(client.logOn(), c.logOn) << "kept until the next connection";
        QObject::disconnect(a);
        QObject::disconnect(b);
    }
    connectAndLogOn();
    EXPECT_EQ(client.logOn(), LogOn::Unanswered);
}

TEST_F(AprsIsStationTest, MessageWhileTheLinkIsDownIsSaidNotToHaveGoneOut)
{
    // Never connected: the send and both resends of the schedule find no link.
    sender.send({"G4DST", "hi", {}, true, false, true});
    const QByteArray note = "Not sent, no APRS-IS connection: M0SKY-1>APSK63::G4DST    :hi{1";
    EXPECT_EQ(count(state.messagesText, note + "\r\n"), 3);
    EXPECT_TRUE(state.messagesText.startsWith("  From: M0SKY-1  To :G4DST  hi{1\r\n " + note));
    const QByteArray record = "\"2026-03-07 09:05:01\",\"G4DST\",\"";
    EXPECT_EQ(dir.read(QStringLiteral("skylark_transmit.log")), record + "hi\r\"\r\n" + record + note +
                                                                    "\r\"\r\n" + record + note + "\r\"\r\n" +
                                                                    record + note + "\r\"\r\n");
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_FALSE(state.transmitBusy);

    // With the link up the same message gives no such note.
    connectAndLogOn();
    state.messagesText.clear();
    state.choices.acksNormal = false;
    sender.send({"G4DST", "up", {}, true, false, true});
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.received().endsWith("\r\n"); }));
    EXPECT_FALSE(state.messagesText.contains("Not sent"));
}

// A burst of server traffic comes as one read of any size; the server-data label gets only
// its end, so a flood from the server cannot grow the label and the window without limit.
TEST_F(AprsIsStationTest, ServerDataLabelShowsOnlyTheEndOfABurst)
{
    using Client = aprsis::AprsIsClient;
    const QByteArray line = "G4IS>APRS,TCPIP*,qAC,T2:>burst line\r\n"; // 37 bytes
    const QByteArray longLine = QByteArray(600, 'x') + "\r\n";
    const struct {
        QByteArray data;
        QByteArray shown;
    } cases[] = {
        {line, line},
        {"KY-1  :two{4\r\n", "KY-1  :two{4\r\n"}, // a short read stays as it came
        {line.repeated(20), line.repeated(13)},   // whole lines only: 13 of them fit in 512
        {longLine, longLine.right(Client::kMaxDataShown)},
        {line + longLine, longLine.right(Client::kMaxDataShown)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Client::shownData(c.data), c.shown) << c.data.left(60).toStdString();

    QList<QByteArray> shown;
    QObject::connect(&client, &Client::dataShown, [&](const QByteArray& d) { shown.append(d); });
    connectAndLogOn();
    QByteArray burst;
    for (int i = 0; i < 30000; ++i)
        burst += "G4IS>APRS,TCPIP*,qAC,T2:>burst " + QByteArray::number(i) + "\r\n";
    server.send(burst);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return !shown.isEmpty() && shown.last().endsWith(":>burst 29999\r\n"); }));
    for (const QByteArray& d : shown)
        EXPECT_LE(d.size(), Client::kMaxDataShown);
}
