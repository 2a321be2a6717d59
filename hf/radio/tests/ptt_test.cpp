// PTT through hamlib against hamlib's own dummy rig served by rigctld on a free loopback port
// (keying read back with rigctl), and through a CM108 GPIO into a stand-in device file.
#include "hf/radio/cm108_ptt.h"
#include "hf/radio/hamlib_ptt.h"
#include "hf/radio/paced_ends.h"
#include "hf/radio/sound_card_modem.h"

#include "hf/hf_frame.h"

#include "hf/radio/tests/radio_test_util.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace hf::radio;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

/// hamlib's dummy rig behind rigctld on 127.0.0.1:port, keyed through its CAT commands.
class DummyRig {
public:
    explicit DummyRig(quint16 port) : m_port(port) { start(); }
    ~DummyRig() { stop(); }

    void start()
    {
        m_process.start(QStringLiteral("rigctld"),
                        {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-P"),
                         QStringLiteral("RIG"), QStringLiteral("-T"), QStringLiteral("127.0.0.1"),
                         QStringLiteral("-t"), QString::number(m_port)});
        m_process.waitForStarted();
        testsupport::waitUntil([this] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            return probe.waitForConnected(200);
        });
    }
    void stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
    /// The rig's PTT as rigctl reads it: "1" keyed, "0" released.
    QByteArray ptt() const
    {
        QProcess rigctl;
        rigctl.start(QStringLiteral("rigctl"),
                     {QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                      QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("t")});
        rigctl.waitForFinished(5000);
        return rigctl.readAllStandardOutput().trimmed();
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    quint16 m_port;
    QProcess m_process;
};

} // namespace

TEST(HamlibPtt, KeysTheRigAndFollowsARigServerThatStopsAndReturns)
{
    DummyRig rig(freePort());
    ASSERT_EQ(rig.ptt(), "0");
    HamlibPtt ptt(2, rig.address(), 0); // "NET rigctl"
    EXPECT_TRUE(ptt.set(true));
    EXPECT_EQ(rig.ptt(), "1");
    EXPECT_TRUE(ptt.set(false));
    EXPECT_EQ(rig.ptt(), "0");
    EXPECT_FALSE(ptt.takeFirstFailure());

    rig.stop();
    EXPECT_FALSE(ptt.set(true));
    EXPECT_TRUE(ptt.takeFirstFailure());
    EXPECT_TRUE(ptt.lastError().contains(rig.address())) << ptt.lastError().toStdString();
    EXPECT_FALSE(ptt.set(false));
    EXPECT_FALSE(ptt.set(true));
    EXPECT_FALSE(ptt.takeFirstFailure()) << "reported once";

    rig.start(); // retried at every key-down; a rig server just started may need a moment
    EXPECT_TRUE(testsupport::waitUntil([&] { return ptt.set(true); }));
    EXPECT_EQ(rig.ptt(), "1");
    EXPECT_TRUE(ptt.set(false));
    EXPECT_EQ(rig.ptt(), "0");
}

TEST(HamlibPtt, AnUnknownModelOrMissingDeviceIsReportedNotFatal)
{
    HamlibPtt unknown(987654, QString(), 0);
    EXPECT_FALSE(unknown.set(true));
    EXPECT_TRUE(unknown.takeFirstFailure());
    HamlibPtt serial(2, QStringLiteral("127.0.0.1:%1").arg(freePort()), 0);
    EXPECT_FALSE(serial.set(true));
    EXPECT_TRUE(serial.takeFirstFailure());
}

// Keyed before the first sample and released after the last: the rig reads keyed while the
// audio plays, released before and after; a rig server that is stopped is reported once and
// the transmissions go on.
TEST(HamlibPtt, FramesEachTransmissionOfTheModem)
{
    DummyRig rig(freePort());
    auto log = std::make_shared<radiotest::EventLog>();
    SoundCardModem::Config config;
    config.input = [] { return std::make_unique<NullInput>(); };
    config.output = [log] { return std::make_unique<radiotest::RecordingOutput>(log); };
    config.trace = [log](const char* e) { log->add(e); };
    config.speed = 5; // long enough to read the rig while the audio plays
    config.ptt.kind = PttChoice::Kind::Hamlib;
    config.ptt.hamlibModel = 2;
    config.ptt.hamlibDevice = rig.address();
    SoundCardModem modem(std::move(config));
    modem.setSampleRate(11025);
    modem.setPttPort("NONE");
    modem.setRunning(true);
    QSignalSpy tx(&modem, &hf::Modem::transmitStateChanged);
    QSignalSpy failed(&modem, &SoundCardModem::pttFailed);
    EXPECT_EQ(rig.ptt(), "0");
    const QByteArray frame =
        hf::buildFrame("G4ABC>APSK63:>beacon text for the rig", hf::FrameSender::Message);
    modem.setTransmitter(true);
    modem.queueText(frame);
    modem.setEndAfterQueue(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return log->snapshot().contains("audio"); }));
    EXPECT_EQ(rig.ptt(), "1") << "keyed while the audio plays";
    ASSERT_TRUE(testsupport::waitUntil([&] { return tx.count() == 2; }, 30000));
    EXPECT_EQ(log->snapshot(), (QByteArrayList{"ptt on", "audio", "played", "ptt off"}));
    EXPECT_EQ(rig.ptt(), "0");
    EXPECT_EQ(failed.count(), 0);

    rig.stop();
    for (int i = 0; i < 2; ++i) {
        modem.setTransmitter(true);
        modem.queueText(hf::buildFrame("G4ABC>APSK63:>x", hf::FrameSender::Message));
        modem.setEndAfterQueue(true);
        ASSERT_TRUE(testsupport::waitUntil([&] { return tx.count() == 4 + 2 * i; }, 30000)) << "carries on";
    }
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.first().first().toString().contains(QStringLiteral("hamlib")));
}

TEST(Cm108Ptt, ReportBytesForEachGpioAndState)
{
    for (int gpio = 1; gpio <= 8; ++gpio) {
        const char bit = static_cast<char>(1 << (gpio - 1));
        // Report number, GPIO write mode, data, direction (output), last byte.
        EXPECT_EQ(cm108Report(gpio, true), QByteArray("\0\0", 2) + bit + bit + '\0') << gpio;
        EXPECT_EQ(cm108Report(gpio, false), QByteArray("\0\0\0", 3) + bit + '\0') << gpio;
    }
}

TEST(Cm108Ptt, WritesTheReportsToTheDeviceAndReportsAMissingOne)
{
    testsupport::TempStationDir dir;
    const QString standIn = dir.path() + QStringLiteral("/hidraw-stand-in");
    QFile(standIn).open(QIODevice::WriteOnly);
    {
        Cm108Ptt ptt(standIn, 3);
        EXPECT_TRUE(ptt.set(false)); // nothing keyed: nothing written
        EXPECT_TRUE(ptt.set(true));
        EXPECT_TRUE(ptt.set(false));
        EXPECT_TRUE(ptt.set(true)); // released by the destructor
    }
    QFile f(standIn);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toHex(' '),
              QByteArray("00 00 04 04 00 00 00 00 04 00 00 00 04 04 00 00 00 00 04 00"));

    for (const QString& device : {dir.path() + QStringLiteral("/no-such-hidraw"), QString()}) {
        Cm108Ptt missing(device, 3);
        EXPECT_FALSE(missing.set(true));
        EXPECT_TRUE(missing.takeFirstFailure());
        EXPECT_TRUE(missing.lastError().contains(QStringLiteral("CM108 GPIO 3")));
        EXPECT_FALSE(missing.set(false));
        EXPECT_FALSE(missing.takeFirstFailure());
    }
}

// The hidraw node is found on the same USB device as the sound card, as sysfs lays it out.
TEST(Cm108Ptt, FindsTheHidrawDeviceOfTheSoundCard)
{
    testsupport::TempStationDir dir;
    const QString sys = dir.path();
    QDir root(sys);
    const QString usb = QStringLiteral("devices/pci0000:00/usb1/1-1");
    const QString otherUsb = QStringLiteral("devices/pci0000:00/usb1/1-2");
    for (const QString& path : {usb + QStringLiteral("/1-1:1.0/sound/card1"),
                                usb + QStringLiteral("/1-1:1.3/0003:0D8C:013C.0004/hidraw/hidraw2"),
                                otherUsb + QStringLiteral("/1-2:1.0/0003:046D:C52B.0001/hidraw/hidraw0"),
                                QStringLiteral("class/sound/card1"), QStringLiteral("class/hidraw/hidraw0"),
                                QStringLiteral("class/hidraw/hidraw2")})
        ASSERT_TRUE(root.mkpath(path));
    auto link = [&](const QString& from, const QString& to) {
        ASSERT_TRUE(QFile::link(sys + QLatin1Char('/') + to, sys + QLatin1Char('/') + from));
    };
    link(QStringLiteral("class/sound/card1/device"), usb + QStringLiteral("/1-1:1.0"));
    link(QStringLiteral("class/hidraw/hidraw0/device"),
         otherUsb + QStringLiteral("/1-2:1.0/0003:046D:C52B.0001"));
    link(QStringLiteral("class/hidraw/hidraw2/device"), usb + QStringLiteral("/1-1:1.3/0003:0D8C:013C.0004"));
    EXPECT_EQ(hidrawForSoundCard(1, sys), QStringLiteral("/dev/hidraw2"));
    EXPECT_EQ(hidrawForSoundCard(0, sys), QString());

    EXPECT_EQ(alsaCardOf(QStringLiteral("USB Audio Device: - (hw:1,0)")), 1);
    EXPECT_EQ(alsaCardOf(QStringLiteral("C-Media USB Headphone Set: Audio (hw:12,0)")), 12);
    EXPECT_EQ(alsaCardOf(QStringLiteral("pulse")), std::nullopt);
}
