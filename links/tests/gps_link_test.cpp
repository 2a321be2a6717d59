// The GPS source with real peers: Debian's gpsd fed by gpsfake with recorded NMEA logs on a free
// loopback port, and a serial receiver on a pseudo-terminal that is unplugged and plugged back.
#include "links/gps_link.h"

#include "platform/clock.h"
#include "position/gps_input.h"
#include "position/gps_position.h"

#include "tests/support/nmea_sentence.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using testsupport::waitUntil;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString gpsLog(const char* name)
{
    return testsupport::testDataPath(QStringLiteral("gps/") + QLatin1String(name));
}

bool accepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    return probe.waitForConnected(200);
}

/// gpsd on 127.0.0.1:port, fed a log over and over by gpsfake; stopped (with its gpsd) when
/// destroyed.
class FakeGpsd {
public:
    FakeGpsd(quint16 port, const char* log) : m_port(port)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A gpsd stopped a moment ago may still hold the port, and the new one gives up when it
        // cannot have it: start again until one listens.
        for (int attempt = 0; attempt < 10; ++attempt) {
            m_process.start(QStringLiteral("gpsfake"),
                            {QStringLiteral("-q"), QStringLiteral("-c"), QStringLiteral("0.05"),
                             QStringLiteral("-P"), QString::number(port), gpsLog(log)});
            m_process.waitForStarted();
            if (waitUntil([&] { return m_process.state() != QProcess::Running || accepts(port); }, 10000) &&
                m_process.state() == QProcess::Running)
                return;
            m_process.waitForFinished(2000);
            testsupport::spinFor(300);
        }
    }
    ~FakeGpsd()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
        waitUntil([&] { return !accepts(m_port); }); // its gpsd gone too
    }

private:
    quint16 m_port;
    QProcess m_process;
};

class GpsLinkTest : public ::testing::Test {
protected:
    GpsLinkTest()
    {
        QObject::connect(&link, &links::GpsLink::dataReceived,
                         [this](const QByteArray& bytes) { gps.feed(bytes); });
    }
    ~GpsLinkTest() override { platform::Clock::setTimeScale(1.0); }

    /// The position beacon's information field from the latest sentence received.
    QByteArray beacon() const
    {
        if (!gps.latest())
            return {};
        return position::gpsPositionInfo(*gps.latest(), {}, " test").value_or(QByteArray());
    }

    /// The watch timer looks every half second (set before the link takes its interval).
    bool scaled = (platform::Clock::setTimeScale(0.1), true);
    QString device;
    links::GpsLink link{[this](int n) { return n == 3 ? device : QString(); }};
    position::GpsInput gps;
};

} // namespace

TEST_F(GpsLinkTest, GpsdSentencesMakeTheExactBeaconAndARestartedGpsdIsFollowed)
{
    const quint16 port = freePort();
    {
        FakeGpsd gpsd(port, "home.nmea");
        link.openGpsd(QStringLiteral("127.0.0.1"), port);
        EXPECT_EQ(link.description(), QStringLiteral("gpsd 127.0.0.1:%1").arg(port));
        ASSERT_TRUE(waitUntil([&] { return !beacon().isEmpty(); }, 20000)) << "sentences through gpsd";
        EXPECT_EQ(beacon(), "=5130.12N/00007.56W> test");
        EXPECT_TRUE(link.isOpen());
    }
    // gpsd stops: the link notices, then connects again once gpsd is back, with a new position.
    ASSERT_TRUE(waitUntil([&] { return !link.isOpen(); }, 10000));
    FakeGpsd again(port, "away.nmea");
    ASSERT_TRUE(waitUntil([&] { return beacon() == "=4807.03N/01131.00E> test"; }, 30000))
        << beacon().constData();
    link.close();
    EXPECT_FALSE(link.isOpen());
}

TEST_F(GpsLinkTest, NoGpsdIsNotAnErrorAndNothingArrives)
{
    link.openGpsd(QStringLiteral("127.0.0.1"), freePort());
    QTest::qWait(1500); // several watch periods of refused connections
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(gps.latest());
}

TEST_F(GpsLinkTest, AnUnpluggedSerialReceiverIsOpenedAgainWhenItReturns)
{
    testsupport::PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    device = pty.programEnd();
    link.openSerial(3);
    EXPECT_EQ(link.description(), QStringLiteral("GPS Com port 3"));
    ASSERT_TRUE(link.isOpen());
    EXPECT_EQ(link.serialPort().settings(), QStringLiteral("4800,N,8,1"));
    ASSERT_TRUE(pty.write(
        testsupport::nmeaSentence("GPRMC,093500.00,A,5130.1234,N,00007.5678,W,000.5,054.7,071226,,,A")));
    ASSERT_TRUE(waitUntil([&] { return beacon() == "=5130.12N/00007.56W> test"; }));

    pty.kill(); // unplugged
    ASSERT_TRUE(waitUntil([&] { return !link.isOpen(); }));
    ASSERT_TRUE(pty.restart()); // plugged back
    ASSERT_TRUE(waitUntil([&] { return link.isOpen(); })) << "the watch timer reopens the port";
    ASSERT_TRUE(pty.write(
        testsupport::nmeaSentence("GPRMC,093502.00,A,4807.0381,N,01131.0004,E,000.5,054.7,071226,,,A")));
    EXPECT_TRUE(waitUntil([&] { return beacon() == "=4807.03N/01131.00E> test"; })) << beacon().constData();
}
