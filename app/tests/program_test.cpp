#include "tests/support/temp_station_dir.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

namespace {
QProcessEnvironment stationEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SKYLARK_TIME_SCALE", "0.01");
    env.insert("SKYLARK_PORTS", testsupport::unusedPortList());
    return env;
}
} // namespace

TEST(Program, VersionAndHelp)
{
    QProcess p;
    p.start(SKYLARK_BINARY, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.readAllStandardOutput(), "Skylark v3.33\n");
    p.start(SKYLARK_BINARY, {"--help"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_TRUE(p.readAllStandardOutput().contains("--station-dir DIR"));
    p.start(SKYLARK_BINARY, {"--bogus"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
}

TEST(Program, PortListsThatAreNotUnderstoodStopTheStart)
{
    for (const char* list : {"packets", "packets=70000", "kiss=0", "telnet=23", "ptt=12x", ""}) {
        QProcess p;
        p.start(SKYLARK_BINARY, {"--ports", list});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2) << list;
        EXPECT_TRUE(p.readAllStandardError().contains("--ports")) << list;
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SKYLARK_PORTS", "aprs-is=");
    p.setProcessEnvironment(env);
    p.start(SKYLARK_BINARY, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("SKYLARK_PORTS"));
}

// Two stations on one machine: the second takes its ports from the option (over the
// environment's) and a local program reaches it there.
TEST(Program, ServicePortsFromTheCommandLineOverTheEnvironment)
{
    testsupport::TempStationDir dir;
    const quint16 packets = testsupport::unusedTcpPort();
    QProcess p;
    p.setProcessEnvironment(stationEnvironment());
    p.start(SKYLARK_BINARY, {"--station-dir", dir.path(), "--ports", QString("packets=%1").arg(packets)});
    ASSERT_TRUE(p.waitForStarted(10000));
    testsupport::ScriptedTcpClient program;
    ASSERT_TRUE(testsupport::waitUntil([&] { return program.connectTo(packets, 200); }, 20000));
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
}

// An unattended station: the AGWPE link, which no setting connects, connects from the
// command line once the start-up page has counted down.
TEST(Program, LinksNamedOnTheCommandLineConnectAtStart)
{
    for (const char* list : {"", "agwpe,telnet", "kiss=1"}) {
        QProcess p;
        p.start(SKYLARK_BINARY, {"--connect", list});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2) << list;
        EXPECT_TRUE(p.readAllStandardError().contains("--connect")) << list;
    }
    testsupport::TempStationDir dir;
    testsupport::ScriptedTcpServer agwpe;
    QProcess p;
    p.setProcessEnvironment(stationEnvironment());
    p.start(SKYLARK_BINARY, {"--station-dir", dir.path(), "--audio-in", "null", "--audio-out", "null",
                             "--ports", QString("agwpe=%1").arg(agwpe.port()), "--connect", "agwpe"});
    ASSERT_TRUE(p.waitForStarted(10000));
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return agwpe.received().size() == 36 && agwpe.received()[4] == 'm'; }, 30000));
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(Program, StartsByItselfAndSavesEverythingOnSigterm)
{
    testsupport::TempStationDir dir;
    const QString station = dir.file("station"); // created by the program
    QProcess p;
    p.setProcessEnvironment(stationEnvironment());
    p.start(SKYLARK_BINARY, {"--station-dir", station});
    ASSERT_TRUE(p.waitForStarted(10000));
    // The automatic start (60 s scaled to 0.6 s) closes the start-up page, which writes its files.
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return QFile::exists(station + "/skylark_mycall.txt"); }, 20000));
    EXPECT_FALSE(QFile::exists(station + "/skylark_config2.txt"));
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    for (const char* f :
         {"skylark_config2.txt", "skylark_passcode.txt", "skylark_config1.txt", "skylark_btext.txt"})
        EXPECT_TRUE(QFile::exists(station + "/" + f)) << f;
    QFile c2(station + "/skylark_config2.txt");
    ASSERT_TRUE(c2.open(QIODevice::ReadOnly));
    EXPECT_EQ(c2.size(), 2400);
}

TEST(Program, WithoutADisplayItSaysSoAndRunsOffscreen)
{
    testsupport::TempStationDir dir;
    QProcessEnvironment env = stationEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(SKYLARK_BINARY, {"--station-dir", dir.path()});
    ASSERT_TRUE(p.waitForStarted(10000));
    QByteArray err;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            err += p.readAllStandardError();
            return err.contains("no display found");
        },
        10000));
    // The start-up page has loaded (and the signal handlers are in place) once config1 exists.
    ASSERT_TRUE(testsupport::waitUntil([&] { return dir.exists("skylark_config1.txt"); }, 10000));
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
}
