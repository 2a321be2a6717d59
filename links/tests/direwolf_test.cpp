// KISS over TCP and AGWPE (on free ports) against Debian's direwolf as the sound-card TNC,
// fed with audio made by its gen_packets tool through a FIFO (no sound card needed).
#include "links/tests/link_fixture.h"

#include "links/agwpe_link.h"
#include "links/kiss_tcp_link.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::waitUntil;

namespace {

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class DirewolfTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        for (const char* tool : {"direwolf", "gen_packets", "sox"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
        kissPort = testsupport::unusedTcpPort();
        agwPort = testsupport::unusedTcpPort();
        while (agwPort == kissPort)
            agwPort = testsupport::unusedTcpPort();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(makeAudio());
        ASSERT_TRUE(startDirewolf());
    }
    void TearDown() override
    {
        kiss.reset();
        agw.reset();
        if (fifoFd >= 0)
            ::close(fifoFd);
        if (direwolf.state() != QProcess::NotRunning) {
            direwolf.terminate();
            if (!direwolf.waitForFinished(3000))
                direwolf.kill();
            direwolf.waitForFinished(3000);
        }
        LinkTest::TearDown();
    }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    /// One packet per file (gen_packets would keep a line end in the information), joined
    /// into one headerless burst.
    bool makeAudio()
    {
        const char* packets[] = {"NOCALL-1>APRS,WIDE1-1:>hello test", "N0CALL>APSK20::N1CALL   :hello{12"};
        QStringList wavs;
        for (int i = 0; i < 2; ++i) {
            const QString txt = path("p%1.txt").arg(i);
            QFile f(txt);
            if (!f.open(QIODevice::WriteOnly) || f.write(packets[i]) < 0)
                return false;
            f.close();
            const QString wav = path("p%1.wav").arg(i);
            if (!run("gen_packets", {"-r", "44100", "-o", wav, txt}))
                return false;
            wavs << wav;
        }
        return run("sox", wavs + QStringList{"-t", "raw", path("burst.raw")});
    }

    bool startDirewolf()
    {
        QFile conf(path("dw.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("ADEVICE stdin file:" + path("tx.raw").toLocal8Bit() +
                   ",raw\nARATE 44100\nACHANNELS 1\nCHANNEL 0\nMYCALL N0CALL\nMODEM 1200\nKISSPORT " +
                   QByteArray::number(kissPort) + "\nAGWPORT " + QByteArray::number(agwPort) + "\n");
        conf.close();
        const QByteArray fifo = path("rx.fifo").toLocal8Bit();
        if (::mkfifo(fifo.constData(), 0600) != 0)
            return false;
        // Opened read-write first, so that neither this open nor the one QProcess makes for
        // direwolf's input waits for the other end; held open, direwolf never sees the end.
        fifoFd = ::open(fifo.constData(), O_RDWR);
        if (fifoFd < 0)
            return false;
        direwolf.setStandardInputFile(path("rx.fifo"));
        direwolf.setStandardOutputFile(path("dw.log"));
        direwolf.setProcessChannelMode(QProcess::MergedChannels);
        direwolf.start("direwolf", {"-c", path("dw.conf"), "-t", "0", "-"});
        if (!direwolf.waitForStarted(5000))
            return false;
        return waitUntil(
            [&] { return log().contains("Ready to accept AGW") && log().contains("Ready to accept KISS"); },
            10000);
    }

    QByteArray log() const
    {
        QFile f(path("dw.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    /// Writes audio into direwolf's input, always ending with a second of silence (direwolf
    /// holds its transmitter while the channel seems busy).
    void feed(const QByteArray& audio)
    {
        const QByteArray all = audio + QByteArray(2 * 44100, '\0');
        qsizetype done = 0;
        while (done < all.size()) {
            const ssize_t n = ::write(fifoFd, all.constData() + done, static_cast<size_t>(all.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
    }

    QTemporaryDir dir;
    QProcess direwolf;
    int fifoFd = -1;
    quint16 kissPort = 0;
    quint16 agwPort = 0;
    std::unique_ptr<links::KissTcpLink> kiss;
    std::unique_ptr<links::AgwpeLink> agw;
};

TEST_F(DirewolfTest, DecodedPacketsReachTheLineHandlerThroughBothLinksAndASentKissFrameIsTransmitted)
{
    makeSerial();
    // One handler per link, so each link's lines are seen on their own.
    links::TncLineHandler kissLines(state, links), agwLines(state, links);
    QList<QByteArray> viaKiss, viaAgw;
    QObject::connect(&kissLines, &links::TncLineHandler::packetLine,
                     [&](const QByteArray& l) { viaKiss << l; });
    QObject::connect(&agwLines, &links::TncLineHandler::packetLine,
                     [&](const QByteArray& l) { viaAgw << l; });

    kiss = std::make_unique<links::KissTcpLink>(
        kissLines, [this](const QByteArray& f) { return serial->decodeKissFrame(f); });
    kiss->setPeer(QStringLiteral("127.0.0.1"), kissPort);
    serial->setKissTcp(kiss.get());
    agw = std::make_unique<links::AgwpeLink>(agwLines);
    agw->setPeer(QStringLiteral("127.0.0.1"), agwPort);

    kiss->connectClicked();
    agw->connectClicked();
    ASSERT_TRUE(waitUntil([&] { return kiss->isConnected() && agw->isConnected(); }));
    // direwolf reads a new AGW client's requests only now and then: once it answers a
    // version request sent after the 'm', monitoring is on.
    QByteArray version(36, '\0');
    version[4] = 'R';
    agw->socket().send(version);
    ASSERT_TRUE(waitUntil([&] { return agw->framesReceived() >= 1; }, 5000));

    QFile burst(path("burst.raw"));
    ASSERT_TRUE(burst.open(QIODevice::ReadOnly));
    feed(burst.readAll());
    const QList<QByteArray> expected{"NOCALL-1>APRS,WIDE1-1:>hello test\r\n",
                                     "N0CALL>APSK20::N1CALL   :hello{12\r\n"};
    ASSERT_TRUE(waitUntil([&] { return viaKiss.size() >= 2 && viaAgw.size() >= 2; }, 10000))
        << log().constData();
    EXPECT_EQ(viaKiss, expected);
    EXPECT_EQ(viaAgw, expected);

    state.choices.transmitMode = station::TransmitMode::Ax25;
    serial->sendKissFrame("APSK63", "N0CALL", "WIDE1-1", ":N1CALL   :test tx{7");
    ASSERT_TRUE(
        waitUntil([&] { return log().contains("N0CALL>APSK63,WIDE1-1::N1CALL   :test tx{7"); }, 10000))
        << log().constData();
    EXPECT_TRUE(dialogs.messages().isEmpty());
    testsupport::spinFor(100);
    EXPECT_EQ(viaAgw.size(), 2) << "our own transmission is not taken for a received packet";
}

} // namespace
