// KISS over TCP and AGWPE against scripted loopback peers: framing across reads, the one
// monitoring request per connection, captions, and connecting again after a drop or error.
#include "links/tests/link_fixture.h"

#include "links/agwpe_link.h"
#include "links/kiss_tcp_link.h"
#include "packet/kiss_codec.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include <QtEndian>

using testsupport::waitUntil;

namespace {

QByteArray frameOf(const char* dest, const char* src, const char* path, const char* info)
{
    return packet::Kiss::encode(dest, src, path, info).frame;
}

/// An AGWPE frame: 36-byte header and data.
QByteArray agwFrame(char kind, const QByteArray& from, const QByteArray& to, const QByteArray& data)
{
    QByteArray h(36, '\0');
    h[4] = kind;
    h.replace(8, from.size(), from);
    h.replace(18, to.size(), to);
    qToLittleEndian<quint32>(static_cast<quint32>(data.size()), h.data() + 28);
    return h + data;
}

QByteArray monitored(const QByteArray& from, const QByteArray& to, const QByteArray& via,
                     const QByteArray& info)
{
    const QByteArray text = " 1:Fm " + from + " To " + to + (via.isEmpty() ? QByteArray() : " Via " + via) +
                            " <UI pid=F0 Len=" + QByteArray::number(info.size()) + " PF=0 >[18:21:46]\r" +
                            info + QByteArray("\r\0", 2);
    return agwFrame('U', from, to, text);
}

class TcpTncTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        makeSerial();
        kiss = std::make_unique<links::KissTcpLink>(
            serial->lineHandler(), [this](const QByteArray& f) { return serial->decodeKissFrame(f); });
        kiss->setPeer("127.0.0.1", peer.port());
        serial->setKissTcp(kiss.get());
        QObject::connect(kiss.get(), &links::KissTcpLink::labelText,
                         [this](const QString& t) { kissTcpStatusLabel = t; });
        QObject::connect(kiss.get(), &links::KissTcpLink::buttonCaption,
                         [this](const QString& c, unsigned colour) {
                             caption = c;
                             this->colour = colour;
                         });
        QObject::connect(kiss.get(), &links::KissTcpLink::buttonEnabled, [this](bool on) { enabled = on; });
    }
    void TearDown() override
    {
        kiss.reset();
        LinkTest::TearDown();
    }

    testsupport::ScriptedTcpServer peer;
    std::unique_ptr<links::KissTcpLink> kiss;
    QString kissTcpStatusLabel;
    QString caption;
    unsigned colour = 0;
    bool enabled = false;
};

TEST_F(TcpTncTest, KissFramesAcrossReadsReachTheLineHandler)
{
    ASSERT_TRUE(peer.isListening());
    kiss->connectClicked();
    EXPECT_TRUE(kiss->isActive());
    EXPECT_TRUE(kissTcpStatusLabel == "6" || kissTcpStatusLabel == "4") << kissTcpStatusLabel.toStdString();
    ASSERT_TRUE(waitUntil([&] { return kiss->isConnected() && peer.hasClient(); }));
    kiss->statusTick();
    EXPECT_EQ(caption, "Connected to Ferrox SoundModem via KISS on port 4000");
    EXPECT_EQ(colour, 0xFF00u);

    const QByteArray a = frameOf("APRS", "NOCALL-1", "WIDE1-1", ">hello test");
    const QByteArray b = frameOf("APSK20", "N0CALL", "", ":N1CALL   :hello{12");
    peer.send(a + b + b.left(5)); // two frames and the start of a third in one read
    testsupport::spinFor(10);
    peer.send(b.mid(5));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 3; }));
    EXPECT_EQ(packets[0], "NOCALL-1>APRS,WIDE1-1:>hello test\r\n");
    EXPECT_EQ(packets[1], "N0CALL>APSK20::N1CALL   :hello{12\r\n");
    EXPECT_EQ(packets[2], packets[1]);
}

TEST_F(TcpTncTest, KissFramesGoToTheSocketOnlyInAnAx25Mode)
{
    kiss->connectClicked();
    ASSERT_TRUE(waitUntil([&] { return kiss->isConnected() && peer.hasClient(); }));
    state.choices.transmitMode = station::TransmitMode::Gmsk250;
    serial->sendKissFrame("APSK63", "N0CALL", "WIDE1-1", ":N1CALL   :test tx{7");
    testsupport::spinFor(20);
    EXPECT_TRUE(peer.received().isEmpty());

    for (auto mode : {station::TransmitMode::Ax25, station::TransmitMode::Ax25Psk63,
                      station::TransmitMode::Ax25Gmsk, station::TransmitMode::Ax25Mfsk}) {
        peer.clearReceived();
        state.choices.transmitMode = mode;
        serial->sendKissFrame("APSK63", "N0CALL", "WIDE1-1", ":N1CALL   :test tx{7");
        ASSERT_TRUE(waitUntil([&] { return !peer.received().isEmpty(); }));
        EXPECT_EQ(peer.received(), frameOf("APSK63", "N0CALL", "WIDE1-1", ":N1CALL   :test tx{7"));
    }
}

TEST_F(TcpTncTest, DroppedLinkListensThenConnectsAgainByItself)
{
    kiss->connectClicked();
    ASSERT_TRUE(waitUntil([&] { return peer.hasClient(); }));
    // The caption while listening, taken at once (the next attempt follows soon at this scale).
    QString listeningCaption;
    QObject::connect(kiss.get(), &links::KissTcpLink::labelText, [&](const QString& t) {
        if (t.endsWith("listening")) {
            kiss->statusTick();
            listeningCaption = caption;
        }
    });
    for (int drop = 1; drop <= 3; ++drop) {
        listeningCaption.clear();
        peer.dropClient();
        ASSERT_TRUE(waitUntil([&] { return !listeningCaption.isEmpty(); }));
        EXPECT_EQ(listeningCaption, "Listening for Ferrox SoundModem");
        EXPECT_EQ(colour, 0xFFFFu);
        EXPECT_TRUE(kiss->isActive()) << "a drop does not clear the stored flag";
        ASSERT_TRUE(waitUntil([&] { return kiss->isConnected() && peer.connectionCount() == drop + 1; }))
            << "drop " << drop;
    }

    kiss->connectClicked(); // connected: the click closes and clears the flag
    EXPECT_FALSE(kiss->isActive());
    EXPECT_EQ(kiss->state(), 0);
    kiss->statusTick();
    EXPECT_EQ(caption, "Connect to Ferrox SoundModem by KISS over port 4000 for AX.25");
    EXPECT_TRUE(enabled);
    // Closed by the operator: no attempt after several reconnect times.
    testsupport::spinFor(platform::Clock::scaled(3 * links::KissTcpLink::kReconnectMs));
    EXPECT_EQ(peer.connectionCount(), 4);
}

TEST_F(TcpTncTest, RefusedConnectionIsTriedAgainUntilThePeerIsBack)
{
    const quint16 port = peer.port();
    peer.stopListening();
    kiss->connectClicked();
    ASSERT_TRUE(waitUntil([&] { return kissTcpStatusLabel == QString("%1 listening").arg(port); }));
    EXPECT_FALSE(kiss->isConnected());
    // Refused at least twice more by the time the peer comes back.
    testsupport::spinFor(platform::Clock::scaled(2.5 * links::KissTcpLink::kReconnectMs));
    EXPECT_FALSE(kiss->isConnected());
    testsupport::ScriptedTcpServer again(port);
    ASSERT_TRUE(again.isListening());
    ASSERT_TRUE(waitUntil([&] { return kiss->isConnected() && again.hasClient(); }));
}

TEST_F(TcpTncTest, AgwpeButtonAtRestOffersTheConnection)
{
    links::AgwpeLink agw(serial->lineHandler());
    QString agwCaption;
    unsigned agwColour = 0;
    bool agwEnabled = true;
    QObject::connect(&agw, &links::AgwpeLink::buttonCaption, [&](const QString& c, unsigned col) {
        agwCaption = c;
        agwColour = col;
    });
    QObject::connect(&agw, &links::AgwpeLink::buttonEnabled, [&](bool on) { agwEnabled = on; });
    agw.statusTick();
    EXPECT_EQ(agwCaption, "Connect to Ferrox/AGWPE TNC");
    EXPECT_EQ(agwColour, 0xEFEFEFu);
    EXPECT_TRUE(agwEnabled);
}

TEST_F(TcpTncTest, AgwpeSendsOneMonitorRequestAndCutsFramesByLength)
{
    links::AgwpeLink agw(serial->lineHandler());
    agw.setPeer("127.0.0.1", peer.port());
    agw.connectClicked();
    ASSERT_TRUE(waitUntil([&] { return peer.received().size() >= 36; }));
    testsupport::spinFor(20);
    QByteArray request(36, '\0');
    request[4] = 'm';
    EXPECT_EQ(peer.received(), request) << "exactly one 'm' header: a second would switch monitoring off";

    const QByteArray u1 = monitored("NOCALL-1", "APRS", "WIDE1-1", ">hello test");
    const QByteArray u2 = monitored("N0CALL", "APSK20", "", ":N1CALL   :hello{12");
    const QByteArray own =
        agwFrame('T', "N0CALL", "APSK63", " 1:Fm N0CALL To APSK63 <UI pid=F0 Len=4 P=0 >[18:22:40]\rtest\r");
    peer.send(u1 + own + u2.left(40));
    testsupport::spinFor(10);
    peer.send(u2.mid(40));
    ASSERT_TRUE(waitUntil([&] { return packets.size() == 2; }));
    EXPECT_EQ(packets[0], "NOCALL-1>APRS,WIDE1-1:>hello test\r\n");
    EXPECT_EQ(packets[1], "N0CALL>APSK20::N1CALL   :hello{12\r\n");
    EXPECT_EQ(agw.framesReceived(), 3);

    agw.connectClicked(); // connected: closes
    EXPECT_EQ(agw.state(), 0);
    peer.clearReceived();
    agw.connectClicked();
    ASSERT_TRUE(waitUntil([&] { return peer.received().size() >= 36 && peer.connectionCount() == 2; }));
    EXPECT_EQ(peer.received(), request) << "one request on the new connection too";

    peer.clearReceived();
    peer.dropClient(); // back by itself, with its one request
    ASSERT_TRUE(waitUntil([&] { return peer.received().size() >= 36 && peer.connectionCount() == 3; }));
    EXPECT_EQ(peer.received(), request);

    agw.connectClicked(); // closed by the operator: not tried again
    testsupport::spinFor(platform::Clock::scaled(3 * links::AgwpeLink::kReconnectMs));
    EXPECT_EQ(peer.connectionCount(), 3);
    EXPECT_EQ(agw.state(), 0);
}

} // namespace
