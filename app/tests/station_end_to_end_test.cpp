// The assembled station through its main window, with real peers: a TNC on a pseudo-terminal
// (text mode and KISS), an APRS-IS server on loopback, the scripted modem for HF and a local
// program on the PTT notice port. Time runs 50 times faster than at the station; schedules
// are measured in station seconds and checked only against generous windows.
#include "app/tests/window_fixture.h"

#include "aprsis/aprs_is_client.h"
#include "hf/hf_frame.h"
#include "hf/scripted_modem.h"
#include "packet/kiss_codec.h"
#include "platform/clock.h"
#include "tests/support/pty_pair.h"
#include "records/log_file.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include "app/widget_helpers.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <functional>

using testsupport::spinFor;
using testsupport::waitUntil;

namespace {

// Station time runs 20 times faster: slow enough that a busy machine (socat passing a line on
// late, the station answering late) does not blur the gaps the tests look at.
constexpr double kTimeScale = 0.05;

/// Real milliseconds between two instants, in station seconds.
double stationSeconds(qint64 realMs)
{
    return static_cast<double>(realMs) / 1000.0 / kTimeScale;
}

/// Everything the station writes to its TNC, cut into transmissions as they arrive (lines
/// ending in CR for a text-mode TNC, KISS frames for a KISS TNC), each with the moment it was
/// seen. It polls while the station's own waits run the event loop, so a send that retries
/// inside the "Send" click is recorded as it happens.
class TncWire {
public:
    TncWire(testsupport::PtyPair& pty, bool kiss) : m_pty(pty), m_kiss(kiss)
    {
        m_clock.start();
        m_poll.setInterval(1);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start();
    }

    void poll()
    {
        m_pending += m_pty.readAvailable();
        for (;;) {
            QByteArray unit;
            if (m_kiss) {
                // C0 command-byte body C0: the unit is the command byte and the body.
                const qsizetype open = m_pending.indexOf(packet::kFend);
                if (open < 0) {
                    m_pending.clear(); // text written to a KISS TNC (mode changes) is not a frame
                    break;
                }
                const qsizetype close = m_pending.indexOf(packet::kFend, open + 1);
                if (close < 0) {
                    m_pending.remove(0, open);
                    break;
                }
                unit = m_pending.mid(open + 1, close - open - 1);
                m_pending.remove(0, unit.isEmpty() ? close : close + 1);
                if (unit.isEmpty())
                    continue;
            } else {
                const qsizetype cr = m_pending.indexOf('\r');
                if (cr < 0)
                    break;
                unit = m_pending.left(cr + 1);
                m_pending.remove(0, cr + 1);
            }
            units.append(unit);
            times.append(m_clock.elapsed());
            if (onUnit)
                onUnit(unit);
        }
    }
    /// Real milliseconds since the wire was made, on the clock of `times`.
    qint64 now() const { return m_clock.elapsed(); }
    void clear()
    {
        poll();
        units.clear();
        times.clear();
    }
    /// KISS units as packet text; text-mode units unchanged.
    QByteArrayList texts() const
    {
        QByteArrayList out;
        for (const QByteArray& u : units)
            out.append(m_kiss ? packet::Kiss::decode(u.mid(1), QByteArray()).text : u);
        return out;
    }

    QByteArrayList units;
    QList<qint64> times;
    std::function<void(const QByteArray&)> onUnit;

private:
    testsupport::PtyPair& m_pty;
    bool m_kiss;
    QByteArray m_pending;
    QElapsedTimer m_clock;
    QTimer m_poll;
};

/// Byte strings as std::string, so that a failing comparison prints readable text.
std::string str(const QByteArray& bytes)
{
    return bytes.toStdString();
}
std::string str(const QByteArrayList& list)
{
    return list.join("|\n").toStdString();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// `"YYYY-MM-DD HH:MM:SS"` as a pattern, for the first field of log records.
const QString StampPattern = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");

class StationEndToEndTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        platform::Clock::setTimeScale(kTimeScale);
    }

    /// The window with a TNC on a pseudo-terminal (type code 2 text mode, 4 KISS) and the
    /// station's callsigns; the load's Ctrl-C CR has been read off the wire.
    void openStation(int tncTypeCode)
    {
        ASSERT_TRUE(tnc.isReady());
        ports.set(2, tnc.programEnd());
        state.tncPort = 2;
        state.tncTypeCode = tncTypeCode;
        state.noTnc = false;
        makeMain();
        main->beacons().startupBeaconTimer().stop(); // no start-up beacon in the middle of these exchanges
        state.myCall = "G4ABC";
        state.aprsIsCall = "M0SKY-1";
        state.hfCall = "M0HF";
        state.groupCall = "NOCALL";
        state.remoteCall = "G0REM";
        state.remoteTxOnCode = "Relay keying open";
        state.remoteTxOffCode = "Relay keying close";
        wire = std::make_unique<TncWire>(tnc, tncTypeCode == 4);
    }

    /// "TNC" transmit, "APRS Messaging", ACK "Normal"; waits for the mode change's
    /// conversation with the TNC to end.
    void chooseVhfMessaging()
    {
        in<QRadioButton>(*main, "tncOption")->click();
        in<QRadioButton>(*main, "aprsMessagingOption")->click();
        in<QRadioButton>(*main, "normalAcksOption")->click();
        ASSERT_TRUE(waitUntil([&] { return !state.transmitBusy; }));
        // The mode change's conversation ends with "conv" CR; socat may pass it on late on a
        // busy machine, and the wire must not take it for part of what follows.
        if (!state.kissSerial) {
            ASSERT_TRUE(waitUntil([&] { return !wire->units.isEmpty() && wire->units.last() == "conv\r"; }));
        }
        wire->clear();
    }

    void typeMessage(const QString& to, const QString& text)
    {
        in<QLineEdit>(*main, "sendToField")->setText(to);
        in<QLineEdit>(*main, "messageInput")->setText(text);
    }

    /// A monitored packet as the TNC delivers it: a text line, or a KISS frame.
    void tncDelivers(const QByteArray& source, const QByteArray& destination, const QByteArray& path,
                     const QByteArray& info)
    {
        if (state.kissSerial) {
            const packet::KissEncodeResult r = packet::Kiss::encode(destination, source, path, info);
            ASSERT_TRUE(r.ok()) << r.message.toStdString();
            ASSERT_TRUE(tnc.write(r.frame));
        } else {
            const QByteArray via = path.isEmpty() ? QByteArray() : "," + path;
            ASSERT_TRUE(tnc.write(source + ">" + destination + via + ":" + info + "\r\n"));
        }
    }

    void connectServer()
    {
        in<QLineEdit>(*main, "aprsIsServerField")->setText(QStringLiteral("127.0.0.1"));
        main->aprsIsClient().setPort(server.port());
        in<QPushButton>(*main, "aprsIsConnectButton")->click();
        ASSERT_TRUE(waitUntil([&] { return server.received().endsWith("\r\n"); }));
        ASSERT_EQ(server.received(),
                  QByteArray("user M0SKY-1 pass -1 vers skylark v3.33 filter g/M0SKY-1/NOCALL\r\n"));
        ASSERT_TRUE(waitUntil([&] { return main->aprsIsClient().isConnected(); }));
        server.clearReceived();
    }

    hf::ScriptedModem& modem() { return *qobject_cast<hf::ScriptedModem*>(main->modem()); }

    /// A frame heard on HF; returns once the receive tick has shown it in "HF traffic".
    void hfHears(const QByteArray& frame, const QByteArray& shownAs, int channel = 8)
    {
        modem().injectText(channel, frame);
        auto* traffic = in<QPlainTextEdit>(*main, "hfTrafficDisplay");
        ASSERT_TRUE(waitUntil([&] { return traffic->toPlainText().contains(QString::fromLatin1(shownAs)); }))
            << shownAs.toStdString();
    }

    /// Everything the server has received, once `last` has arrived.
    QByteArray serverReceivedUpTo(const QByteArray& last)
    {
        EXPECT_TRUE(waitUntil([&] { return server.received().contains(last); })) << last.toStdString();
        return server.received();
    }

    testsupport::PtyPair tnc;
    testsupport::ScriptedTcpServer server;
    std::unique_ptr<TncWire> wire;
};

// ---------------------------------------------------------------------------------------
// VHF: send, retry, acknowledgement, answering

struct VhfBearer {
    const char* name;
    int tncTypeCode;
};
class VhfEndToEndTest : public StationEndToEndTest, public ::testing::WithParamInterface<VhfBearer> {};

const QByteArray FirstMessage = ":G4DST    :hello there{1\r";

TEST_P(VhfEndToEndTest, UnansweredMessageGoesOutThreeTimesOverAboutThirtySeconds)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    typeMessage(QStringLiteral("G4DST"), QStringLiteral("hello~ there|"));
    const qint64 clicked = wire->now();
    in<QPushButton>(*main, "sendButton")->click(); // returns when the schedule has run out
    ASSERT_TRUE(waitUntil([&] { return wire->units.size() >= 3; }));
    spinFor(40);

    if (state.kissSerial) {
        EXPECT_EQ(str(wire->texts()),
                  str(QByteArrayList{"G4ABC>APSK20:" + FirstMessage, "G4ABC>APSK63:" + FirstMessage,
                                     "G4ABC>APSK63:" + FirstMessage}));
        for (const QByteArray& unit : wire->units)
            EXPECT_EQ(unit.at(0), '\0') << "data frame, port 0";
    } else {
        EXPECT_EQ(str(wire->units), str(QByteArrayList{FirstMessage, FirstMessage, FirstMessage}));
    }
    ASSERT_EQ(wire->times.size(), 3);
    // The wire notes each line when socat has passed it on, late on a busy machine: lower
    // bounds are taken from the click, which comes before the first send whatever the load.
    EXPECT_GE(stationSeconds(wire->times[2] - clicked), 25.0);
    EXPECT_LE(stationSeconds(wire->times[2] - wire->times[0]), 120.0);
    EXPECT_GE(stationSeconds(wire->times[1] - clicked), 8.0) << "first resend after 4 + 5 s and 1 s";

    EXPECT_EQ(in<QLineEdit>(*main, "messageInput")->text(), QStringLiteral("hello there"))
        << "cleaned text written back";
    EXPECT_TRUE(in<QLineEdit>(*main, "messageInput")->isEnabled())
        << "fields enabled again after the last resend";
    EXPECT_TRUE(in<QPlainTextEdit>(*main, "messagesDisplay")
                    ->toPlainText()
                    .contains(QStringLiteral(" From: G4ABC  To :G4DST    :hello there{1")));
    const QByteArray log = fileBytes(records::LogFile::transmitLog(dir.path()).path());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\"") + StampPattern +
                                   QStringLiteral("\",\"G4DST\",\"hello there\r\"\r\n$"))
                    .match(QString::fromLatin1(log))
                    .hasMatch())
        << log.toStdString();
}

TEST_P(VhfEndToEndTest, AcknowledgementHeardOnTheTncEndsTheRetries)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    wire->onUnit = [this](const QByteArray&) {
        if (wire->units.size() == 1)
            tncDelivers("G4DST", "APRS", "WIDE2-1", ":G4ABC    :ack1");
    };
    typeMessage(QStringLiteral("G4DST"), QStringLiteral("hello there"));
    in<QPushButton>(*main, "sendButton")->click();
    EXPECT_TRUE(in<QTimer>(*main, "messageFlashTimer")->isActive())
        << "the messages box flashes for the acknowledgement";
    spinFor(60);
    // Answered at once, so no resend; on a busy machine the answer may reach the station
    // after the first resend is due, but never after the last.
    EXPECT_LT(wire->units.size(), 3) << "the acknowledgement ends the retries";
    EXPECT_EQ(state.lastAckNumber, 1);
    EXPECT_TRUE(in<QLineEdit>(*main, "messageInput")->isEnabled());
    EXPECT_EQ(app::backColour(in<QLineEdit>(*main, "messageInput")), app::Yellow);

    const QByteArray log = fileBytes(records::LogFile::receiveLog(dir.path()).path());
    EXPECT_TRUE(log.endsWith("\",\"G4DST\",\"G4DST>APRS,WIDE2-1::G4ABC    :ack1\"\r\n")) << log.toStdString();
}

TEST_P(VhfEndToEndTest, AcknowledgementOfAnotherNumberIsIgnoredAndCancelStops)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    wire->onUnit = [this](const QByteArray&) {
        if (wire->units.size() == 1)
            tncDelivers("G4DST", "APRS", "WIDE2-1", ":G4ABC    :ack2");
        if (wire->units.size() == 2)
            in<QPushButton>(*main, "cancelSendButton")->click(); // "Cancel send"
    };
    typeMessage(QStringLiteral("G4DST"), QStringLiteral("hello there"));
    in<QPushButton>(*main, "sendButton")->click();
    spinFor(60);
    EXPECT_EQ(wire->units.size(), 2) << "resent once despite ack2, then cancelled";
    EXPECT_EQ(state.lastAckNumber, 2);
    EXPECT_TRUE(in<QLineEdit>(*main, "messageInput")->isEnabled());
}

TEST_P(VhfEndToEndTest, NumberedMessageToUsIsAnsweredTwiceAboutFiveSecondsApart)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    testsupport::ScriptedTcpClient records;
    ASSERT_TRUE(records.connectTo(state.tcpPorts.receiveLog));

    const qint64 delivered = wire->now();
    tncDelivers("G4SRC", "APRS", "WIDE2-1", ":G4ABC    :hello{12");
    ASSERT_TRUE(waitUntil([&] { return wire->units.size() >= 2; }));
    spinFor(static_cast<int>(15 * 1000 * kTimeScale)); // a third answer would come by now
    const QByteArray ack = ":G4SRC    :ack12\r";
    if (state.kissSerial)
        EXPECT_EQ(str(wire->texts()), str(QByteArrayList{"G4ABC>APSK63:" + ack, "G4ABC>APSK63:" + ack}));
    else
        EXPECT_EQ(str(wire->units), str(QByteArrayList{ack, ack}));
    ASSERT_EQ(wire->times.size(), 2);
    // The first answer goes at once, the second about 5 s later: measured from the delivery,
    // which comes before either, as socat may pass the first answer on late.
    EXPECT_GE(stationSeconds(wire->times[1] - delivered), 4.5);
    EXPECT_LE(stationSeconds(wire->times[1] - wire->times[0]), 30.0);

    auto* box = in<QPlainTextEdit>(*main, "messagesDisplay");
    EXPECT_TRUE(box->toPlainText().contains(QStringLiteral(" From: G4SRC  To: :G4ABC    :hello{12")));
    auto* heard = in<QListWidget>(*main, "tncHeardList");
    ASSERT_EQ(heard->count(), 1);
    EXPECT_EQ(heard->item(0)->text(), QStringLiteral("G4SRC"));

    const QByteArray packet = "G4SRC>APRS,WIDE2-1::G4ABC    :hello{12";
    const QByteArray log = fileBytes(records::LogFile::receiveLog(dir.path()).path());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\"") + StampPattern + QStringLiteral("\",\"G4SRC\",\"") +
                                   QRegularExpression::escape(QString::fromLatin1(packet)) +
                                   QStringLiteral("\"\r\n$"))
                    .match(QString::fromLatin1(log))
                    .hasMatch())
        << log.toStdString();
    ASSERT_TRUE(waitUntil([&] { return records.received().endsWith(packet); }));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + StampPattern + QStringLiteral(",G4SRC,") +
                                   QRegularExpression::escape(QString::fromLatin1(packet)) +
                                   QStringLiteral("$"))
                    .match(QString::fromLatin1(records.received()))
                    .hasMatch())
        << records.received().toStdString();
}

TEST_P(VhfEndToEndTest, WithoutAcksOneTransmissionAndDigipeatPathOnKiss)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    in<QRadioButton>(*main, "noAcksOption")->click();          // "No ACKs"
    in<QCheckBox>(*main, "digipeatMeCheck")->setChecked(true); // "Digipeat me"
    typeMessage(QStringLiteral("BLNX"), QStringLiteral("no number"));
    in<QPushButton>(*main, "sendButton")->click();
    ASSERT_TRUE(waitUntil([&] { return !wire->units.isEmpty(); }));
    spinFor(static_cast<int>(12 * 1000 * kTimeScale)); // a resend would come by now
    const QByteArray payload = ":BLNX     :no number\r";
    if (state.kissSerial)
        EXPECT_EQ(str(wire->texts()), str("G4ABC>APSK20,WIDE2-1:" + payload));
    else
        EXPECT_EQ(str(wire->units), str(payload)) << "the path is for KISS frames only";
}

TEST_P(VhfEndToEndTest, OnlyNumberedMessagesToThisVeryCallsignAreAnswered)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    tncDelivers("G4SRC", "APRS", "", ":G4ABC    :no number");
    tncDelivers("G4SRC", "APRS", "", ":G4ABCD   :for another station{3");
    tncDelivers("G4SRC", "APRS", "", ":G4ABC-7  :for another ssid{4");
    tncDelivers("G4SRC", "APRS", "", ":G4ABC    :leading zero{07");
    tncDelivers("G4END", "APRS", "", ":G4ABC    :last{99");
    ASSERT_TRUE(waitUntil([&] { return wire->units.size() >= 4; }));
    spinFor(static_cast<int>(8 * 1000 * kTimeScale));
    QByteArrayList texts = wire->texts();
    std::sort(texts.begin(), texts.end());
    const QByteArray head = state.kissSerial ? "G4ABC>APSK63:" : "";
    EXPECT_EQ(str(texts), str(QByteArrayList{head + ":G4END    :ack99\r", head + ":G4END    :ack99\r",
                                             head + ":G4SRC    :ack7\r", head + ":G4SRC    :ack7\r"}));
}

TEST_P(VhfEndToEndTest, HostilePacketsForgeNothingCommandNothingAndRaiseNoDialog)
{
    openStation(GetParam().tncTypeCode);
    chooseVhfMessaging();
    connectServer();
    in<QCheckBox>(*main, "hfDigipeatCheck")->setChecked(true); // "HF digipeat"

    // A message number that would carry Ctrl-C and a command into our ack.
    tncDelivers("G4XYZ", "APRS", "WIDE1-1", ":G4ABC    :hi{\x03G4ABC EVIL");
    tncDelivers("G4XYZ", "APRS", "WIDE1-1,NOGATE", ">not for the internet");
    tncDelivers("G4XYZ", "APRS", "RFONLY", ">nor for the internet");
    tncDelivers("G4XYZ", "APRS", "WIDE1-1", "}G4IN>APRS,TCPIP,G4XYZ*:>third party");
    QByteArray expectedTnc;
    QByteArray expectedServer = "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-1::G4ABC    :hi{\x03G4ABC EVIL\r\n";
    if (state.kissSerial) {
        // An information field holding a second line with a forged source.
        tncDelivers("G4XYZ", "APRS", "WIDE1-1", ">hi\rEVIL-1>APRS,qAR,G4XYZ:>forged");
        // Every bit of the source SSID byte set, our call as the next hop.
        QByteArray allBits = packet::Kiss::encode("APRS", "N0CALL", "G4ABC,WIDE2-1", ">ssid bits").frame;
        allBits[2 + 13] = '\x7F';
        ASSERT_TRUE(tnc.write(allBits));
        expectedTnc = "N0CALL-15>APRS,G4ABC*,WIDE2-1:>ssid bits";
        expectedServer += "N0CALL-15>APRS,G4ABC*,WIDE2-1,qAR,M0SKY-1:>ssid bits\r\n";
    }
    tncDelivers("G4XYZ", "APRS", "WIDE1-1", ">the last packet");
    expectedServer += "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-1:>the last packet\r\n";

    EXPECT_EQ(str(serverReceivedUpTo("the last packet\r\n")), str(expectedServer));
    spinFor(static_cast<int>(12 * 1000 * kTimeScale)); // an ack would have gone out by now
    EXPECT_EQ(str(server.received()), str(expectedServer));
    EXPECT_EQ(str(wire->texts().join()), str(expectedTnc)) << "no ack to the forged number, no control byte";
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_TRUE(in<QPlainTextEdit>(*main, "messagesDisplay")
                    ->toPlainText()
                    .contains(QStringLiteral("hi{\x03G4ABC EVIL")))
        << "the message itself is shown";
    if (state.kissSerial) {
        EXPECT_TRUE(
            in<QPlainTextEdit>(*main, "tncTrafficDisplay")
                ->toPlainText()
                .contains(QStringLiteral("G4XYZ>APRS,WIDE1-1:>hi<0x0D>EVIL-1>APRS,qAR,G4XYZ:>forged")));
    }
}

INSTANTIATE_TEST_SUITE_P(TextAndKiss, VhfEndToEndTest,
                         ::testing::Values(VhfBearer{"TextMode", 2}, VhfBearer{"Kiss", 4}),
                         [](const ::testing::TestParamInfo<VhfBearer>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Igate rules

TEST_F(StationEndToEndTest, MonitoredVhfPacketsAreGatedToAprsIsExactlyByTheRules)
{
    openStation(2);
    connectServer();
    const QByteArray lines[] = {
        "N0CALL>APRS,WIDE1-1:>hello test",          // gated as heard
        "N0CALL>APRS:>abcdefg",                     // 20 characters: too short
        "N0CALL>APRS:>abcdefgh",                    // 21 characters: gated
        "N0CALL>APRS,TCPIP*:>from the internet",    // came from the internet
        "N0CALL>APRS,TCPXX*:>from the internet",    // must not go to the internet
        "N0CALL>APRS,WIDE1-1: <UI>:>marked packet", // monitor marker removed
        "N0CALL>APRS: <<UI>>:>double marked",       // the other marker
        "N0CALL>APRS,WIDE1-1 <UI>:>blank marked",   // as most TNCs print it
        "N0CALL>APRS:>asks :cmd in its text",       // TNC command text
        "no separator in this monitored line",      // not a packet
        "N0CALL>APRS:>" + QByteArray(244, 'x'),     // 257 characters: too long
        "N0CALL>APRS:>" + QByteArray(243, 'y'),     // 256 characters: gated
        "N0CALL>APRS,WIDE1-1:>last one",
    };
    QByteArray burst;
    for (const QByteArray& l : lines)
        burst += l + "\r\n";
    ASSERT_TRUE(tnc.write(burst));
    const QByteArray gated = serverReceivedUpTo("last one\r\n");
    EXPECT_EQ(str(gated), str("N0CALL>APRS,WIDE1-1,qAR,M0SKY-1:>hello test\r\n"
                              "N0CALL>APRS,qAR,M0SKY-1:>abcdefgh\r\n"
                              "N0CALL>APRS,WIDE1-1,qAR,M0SKY-1:>marked packet\r\n"
                              "N0CALL>APRS,qAR,M0SKY-1:>double marked\r\n"
                              "N0CALL>APRS,WIDE1-1,qAR,M0SKY-1:>blank marked\r\n"
                              "N0CALL>APRS,qAR,M0SKY-1:>" +
                              QByteArray(243, 'y') +
                              "\r\n"
                              "N0CALL>APRS,WIDE1-1,qAR,M0SKY-1:>last one\r\n"));
    // What a server checks before it takes a line: a path without blanks before the ":".
    for (const QByteArray& line : gated.split('\n'))
        EXPECT_FALSE(line.left(line.indexOf(':')).contains(' ')) << line.toStdString();
    spinFor(20);
    EXPECT_EQ(str(server.received()), str(gated)) << "nothing gated twice";
}

TEST_F(StationEndToEndTest, RelayedTrafficEntersItsInnerSourceAsHeardInsteadOfTheGate)
{
    openStation(2);
    connectServer();
    ASSERT_TRUE(tnc.write("G4GATE>APRS,WIDE2-1:}G4INNER>APRS,TCPIP,G4GATE*:>relayed text\r\n"
                          "N0CALL>APRS,WIDE1-1:>direct packet\r\n"));
    serverReceivedUpTo("direct packet\r\n");
    EXPECT_EQ(str(server.received()), "N0CALL>APRS,WIDE1-1,qAR,M0SKY-1:>direct packet\r\n")
        << "relayed traffic is not gated back";
    auto* heard = in<QListWidget>(*main, "tncHeardList");
    QStringList entries;
    for (int i = 0; i < heard->count(); ++i)
        entries << heard->item(i)->text();
    EXPECT_EQ(entries, (QStringList{QStringLiteral("G4INNER"), QStringLiteral("N0CALL")}));
}

TEST_F(StationEndToEndTest, HfFramesWithAGoodCheckAreGatedToAprsIs)
{
    openStation(2);
    connectServer();
    testsupport::ScriptedTcpClient program; // the local program on the packet port
    ASSERT_TRUE(program.connectTo(state.tcpPorts.packets));
    ASSERT_TRUE(waitUntil([&] { return in<QLabel>(*main, "localProgramPortLabel")->text() == "Connected"; }));
    hfHears(hf::buildFrame("G4HF>APSK26:>hf station here", hf::FrameSender::Message), "hf station here");
    QByteArray damaged = hf::buildFrame("G4HF>APSK26:>damaged frame", hf::FrameSender::Message);
    damaged[damaged.indexOf("damaged")] = 'D';
    hfHears(damaged, "Damaged frame");
    hfHears(hf::buildFrame("G4HF>APSK26,TCPIP*:>came from the net", hf::FrameSender::Message), "came from");
    hfHears(hf::buildFrame("G4HF>APSK99:>never gated", hf::FrameSender::Message), "never gated");
    hfHears(hf::buildFrame("G4HF>APSK26:>TCPXX stays local", hf::FrameSender::Message), "TCPXX stays");
    hfHears(hf::buildFrame("G4HF>APSK26:?IGATE?", hf::FrameSender::Message), "?IGATE?");
    hfHears(hf::buildFrame("G4HF>APSK26:?APRS?", hf::FrameSender::Message), "?APRS?");
    hfHears(hf::buildFrame("G4HF>APSK26:>sentinel", hf::FrameSender::Message), "sentinel");
    EXPECT_EQ(str(serverReceivedUpTo("sentinel\r\n")),
              str("G4HF>APSK26,qAR,M0SKY-1:>hf station here\r\nG4HF>APSK26,qAR,M0SKY-1:>sentinel\r\n"));
    ASSERT_TRUE(waitUntil([&] { return program.received().endsWith("sentinel\r\n"); }));
    EXPECT_EQ(str(program.received()), str("G4HF>APSK26:>hf station here\r\nG4HF>APSK26:>sentinel\r\n"))
        << "the local program gets the packet as heard";
    auto* heard = in<QListWidget>(*main, "hfHeardList");
    ASSERT_EQ(heard->count(), 1);
    EXPECT_EQ(heard->item(0)->text(), QStringLiteral("G4HF"));
}

// What the server sends is shown as the text it is: markup in it is never rendered (a
// rendered <img> reads a local file, a <table> can be made any size). The server-data label
// shows the read, the status label the log-on answer.
TEST_F(StationEndToEndTest, ServerTextIsShownAsTextNeverAsMarkup)
{
    openStation(2);
    connectServer();
    server.send("# logresp M0SKY-1 unverified, server <b>T2TEST</b>\r\n"
                "G4XYZ>APRS,TCPIP*,qAC,T2TEST:<img src=\"/etc/hostname\"> hello\r\n");
    auto labelsShowing = [&](const char* text) {
        QList<QLabel*> found;
        for (QLabel* label : main->findChildren<QLabel*>()) {
            if (label->text().contains(QLatin1String(text)))
                found.append(label);
        }
        return found;
    };
    ASSERT_TRUE(waitUntil([&] {
        return !labelsShowing("<img src=\"/etc/hostname\"> hello").isEmpty() &&
               !labelsShowing("server <b>T2TEST</b>").isEmpty();
    }));
    for (const char* text : {"<img src=", "<b>T2TEST</b>"}) {
        for (QLabel* label : labelsShowing(text))
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    }
}

TEST_F(StationEndToEndTest, HfPacketNamingThisStationIsGatedAboutSixSecondsLater)
{
    openStation(2);
    connectServer();
    QElapsedTimer clock;
    clock.start();
    hfHears(hf::buildFrame("G4HF>APSK26:>M0HF de G4HF", hf::FrameSender::Message), "M0HF de G4HF");
    serverReceivedUpTo("M0HF de G4HF\r\n");
    EXPECT_GE(stationSeconds(clock.elapsed()), 6.0);
    EXPECT_EQ(str(server.received()), "G4HF>APSK26,qAR,M0SKY-1:>M0HF de G4HF\r\n");
}

class IgateEndToEndTest : public StationEndToEndTest {
protected:
    /// The station with G4HF heard on HF, the server connected, "Internet to HF" ticked,
    /// "GMSK-250" selected and a local program on the PTT notice port.
    void openIgate()
    {
        openStation(2);
        connectServer();
        hfHears(hf::buildFrame("G4HF>APSK26:>on the air", hf::FrameSender::Message), "on the air");
        ASSERT_TRUE(waitUntil([&] { return server.received().contains("on the air"); }));
        server.clearReceived();
        in<QCheckBox>(*main, "internetToHfCheck")->setChecked(true);
        ASSERT_TRUE(in<QRadioButton>(*main, "gmsk250Option")->isChecked());
        ASSERT_TRUE(ptt.connectTo(state.tcpPorts.ptt));
        ASSERT_TRUE(waitUntil([&] {
            return in<QLabel>(*main, "pttPortLabel")->text() ==
                   QString("%1 connected").arg(state.tcpPorts.ptt);
        }));
        modem().clearWrites();
    }
    /// A server line, once the window has read it.
    void serverSends(const QByteArray& line)
    {
        server.send(line + "\r\n");
        ASSERT_TRUE(waitUntil([&] {
            return in<QLabel>(*main, "serverDataLabel")->text().contains(QString::fromLatin1(line));
        }));
    }
    static QByteArray gatedFrame(const QByteArray& source, const QByteArray& info)
    {
        return hf::buildFrame(source + ">APSK20,M0HF*:" + info, hf::FrameSender::AprsIsGate);
    }

    testsupport::ScriptedTcpClient ptt;
};

TEST_F(IgateEndToEndTest, AprsIsMessageForAStationHeardOnHfGoesOutOnHf)
{
    openIgate();
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4OTHER  :not heard on hf{6");
    serverSends("M0HF>APRS,TCPIP*,qAC,T2TEST::G4HF     :our own packet{6");
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :" +
                QByteArray(216, 'z')); // 256 characters: too long
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :hello hf{5");
    ASSERT_TRUE(waitUntil([&] { return !modem().queued().isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return ptt.received() == "PTT True\rPTT False\r"; }));
    EXPECT_EQ(str(modem().queued()), str(gatedFrame("G4NET", ":G4HF     :hello hf{5")));
    EXPECT_EQ(modem().channelMode(0), "GMSK");
    EXPECT_EQ(modem().channelRate(0), 250.0);

    // Unticked, nothing crosses; ticked again, the next line does.
    in<QCheckBox>(*main, "internetToHfCheck")->setChecked(false);
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :while unticked{7");
    in<QCheckBox>(*main, "internetToHfCheck")->setChecked(true);
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :ticked again{8");
    ASSERT_TRUE(waitUntil([&] { return modem().queued().size() >= 2; }));
    ASSERT_TRUE(waitUntil([&] { return ptt.received() == "PTT True\rPTT False\rPTT True\rPTT False\r"; }));

    // Gated packets go out in GMSK 250 only: with another mode selected nothing crosses.
    in<QRadioButton>(*main, "psk250Option")->click(); // "PSK-250"
    ptt.clearReceived();
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :not in psk{9");
    spinFor(40);
    EXPECT_TRUE(ptt.received().isEmpty());
    EXPECT_EQ(str(modem().queued()), str(QByteArrayList{gatedFrame("G4NET", ":G4HF     :hello hf{5"),
                                                        gatedFrame("G4NET", ":G4HF     :ticked again{8")}));
}

TEST_F(IgateEndToEndTest, EveryLineOfOneServerReadForHfGoesOutInTurn)
{
    openIgate();
    server.send("# aprsc 2.1 keepalive\r\n"
                "G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :first{1\r\n"
                "G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :second{2\r\n"
                "G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :thi");
    spinFor(10);
    server.send("rd{3\r\n");
    ASSERT_TRUE(waitUntil([&] { return modem().queued().size() >= 3; }));
    EXPECT_EQ(str(modem().queued()), str(QByteArrayList{gatedFrame("G4NET", ":G4HF     :first{1"),
                                                        gatedFrame("G4NET", ":G4HF     :second{2"),
                                                        gatedFrame("G4NET", ":G4HF     :third{3")}));
    ASSERT_TRUE(waitUntil([&] { return ptt.received().count("PTT False\r") == 3; }));
    EXPECT_EQ(ptt.received(), "PTT True\rPTT False\rPTT True\rPTT False\rPTT True\rPTT False\r");
}

TEST_F(IgateEndToEndTest, RemoteControlSwitchesHfTransmissionOffAndOnAndConfirms)
{
    openIgate();
    const int before = state.messageNumber;
    const QByteArray n1 = QByteArray::number(before + 1);

    serverSends("G0REM>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :Relay keying close{3");
    const QByteArray confirmOff = "M0SKY-1>APSK63::G0REM    :Confirm Relay keying close{" + n1 + "\r\n";
    const QByteArray ackOff = "M0SKY-1>APSK63::G0REM    :ack3\r\n";
    ASSERT_TRUE(waitUntil([&] { return server.received().contains(ackOff); }));
    EXPECT_EQ(str(server.received()), str(confirmOff + ackOff));
    EXPECT_FALSE(state.igateTransmitEnabled);
    EXPECT_EQ(in<QLabel>(*main, "titleLabel")->text(), QStringLiteral("     IGATE REMOTE TX OFF"));
    EXPECT_TRUE(in<QPlainTextEdit>(*main, "messagesDisplay")
                    ->toPlainText()
                    .contains(QStringLiteral("  From: M0SKY-1  To :G0REM  Confirm Relay keying close{") +
                              QString::fromLatin1(n1)));

    // Gating still runs its transmit sequence, PTT notices and all, but nothing is queued.
    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :held back{5");
    ASSERT_TRUE(waitUntil([&] { return ptt.received() == "PTT True\rPTT False\r"; }));
    spinFor(20);
    EXPECT_TRUE(modem().queued().isEmpty());
    EXPECT_FALSE(modem().writes().contains("transmitter=1"));
    ptt.clearReceived();
    in<QRadioButton>(*main, "noAcksOption")->click(); // "No ACKs": one transmission
    typeMessage(QStringLiteral("G4HF"), QStringLiteral("typed while off"));
    in<QPushButton>(*main, "sendButton")->click();
    ASSERT_TRUE(waitUntil([&] { return ptt.received() == "PTT True\rPTT False\r"; }));
    EXPECT_TRUE(modem().queued().isEmpty());
    in<QRadioButton>(*main, "normalAcksOption")->click();
    ptt.clearReceived();
    auto* tune = in<QPushButton>(*main, "tuneButton");
    tune->setEnabled(true);
    tune->click(); // "HF TUNE (5 sec)": no carrier either
    ASSERT_TRUE(waitUntil([&] { return ptt.received() == "PTT True\rPTT False\r"; }));
    EXPECT_TRUE(modem().writesStartingWith("tune").isEmpty());

    server.clearReceived();
    ptt.clearReceived();
    const QByteArray n2 = QByteArray::number(state.messageNumber + 1); // the HF send took one
    serverSends("G0REM>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :Relay keying open{4");
    const QByteArray confirmOn = "M0SKY-1>APSK63::G0REM    :Confirm Relay keying open{" + n2 + "\r\n";
    ASSERT_TRUE(waitUntil([&] { return server.received().contains("ack4\r\n"); }));
    EXPECT_EQ(str(server.received()), str(confirmOn + "M0SKY-1>APSK63::G0REM    :ack4\r\n"));
    EXPECT_TRUE(state.igateTransmitEnabled);
    EXPECT_NE(in<QLabel>(*main, "titleLabel")->text(), QStringLiteral("     IGATE REMOTE TX OFF"));

    serverSends("G4NET>APRS,TCPIP*,qAC,T2TEST::G4HF     :on air again{6");
    ASSERT_TRUE(waitUntil([&] { return !modem().queued().isEmpty(); }));
    EXPECT_EQ(str(modem().queued()), str(gatedFrame("G4NET", ":G4HF     :on air again{6")));
    ASSERT_TRUE(waitUntil([&] { return ptt.received() == "PTT True\rPTT False\r"; }));
}

TEST_F(IgateEndToEndTest, RemoteControlHeardOnVhfIsConfirmedOverAprsIs)
{
    openIgate();
    const QByteArray n1 = QByteArray::number(state.messageNumber + 1);
    wire->clear();
    tncDelivers("G0REM", "APRS", "WIDE2-1", ":G4ABC    :Relay keying close{7");
    const QByteArray confirm = "M0SKY-1>APSK63::G0REM    :Confirm Relay keying close{" + n1 + "\r\n";
    ASSERT_TRUE(waitUntil([&] { return server.received().contains(confirm); }));
    EXPECT_FALSE(state.igateTransmitEnabled);
    EXPECT_EQ(in<QLabel>(*main, "titleLabel")->text(), QStringLiteral("     IGATE REMOTE TX OFF"));
    ASSERT_TRUE(waitUntil([&] { return wire->units.size() >= 2; }));
    EXPECT_EQ(str(wire->units), str(QByteArrayList{":G0REM    :ack7\r", ":G0REM    :ack7\r"}))
        << "the TNC still answers: remote control holds HF only";
}

TEST_F(IgateEndToEndTest, RemoteCodeFromAnotherStationChangesNothing)
{
    openIgate();
    serverSends("G4ANY>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :Relay keying close{3");
    ASSERT_TRUE(waitUntil([&] { return server.received().contains("ack3\r\n"); }));
    EXPECT_EQ(str(server.received()), "M0SKY-1>APSK63::G4ANY    :ack3\r\n");
    EXPECT_TRUE(state.igateTransmitEnabled);
}

} // namespace
