#include "platform/comm_port.h"

#include "tests/support/pty_pair.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

using platform::CommPort;
using testsupport::waitUntil;

TEST(CommPort, SettingsTextIsValidated)
{
    CommPort port([](int) { return QString(); });
    EXPECT_TRUE(port.setSettings("4800,N,8,1"));
    EXPECT_FALSE(port.setSettings("fast"));
    EXPECT_FALSE(port.setSettings("9600,Q,8,1"));
    EXPECT_EQ(port.settings(), "4800,N,8,1");
    port.setPortNumber(3);
    EXPECT_FALSE(port.open()) << "no device behind the number";
    EXPECT_TRUE(port.takeError());
    EXPECT_FALSE(port.takeError());
}

TEST(CommPort, TalksToAPseudoTerminalAndClosesWhenTheDeviceVanishes)
{
    testsupport::PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    CommPort port([&](int n) { return n == 5 ? pty.programEnd() : QString(); });
    port.setPortNumber(5);
    ASSERT_TRUE(port.setSettings("9600,N,8,1"));
    ASSERT_TRUE(port.open()) << "a pty refuses DTR/RTS, which must be harmless";

    int events = 0;
    QObject::connect(&port, &CommPort::dataReceived, [&] { ++events; });
    ASSERT_TRUE(pty.write("N0CALL>APRS:>hi\r\n"));
    QByteArray got;
    ASSERT_TRUE(waitUntil([&] {
        got += port.readAll();
        return got.endsWith("\r\n");
    }));
    EXPECT_EQ(got, "N0CALL>APRS:>hi\r\n");
    EXPECT_GE(events, 1);

    ASSERT_TRUE(port.write(QByteArray("\x03\r", 2)));
    QByteArray echoed;
    ASSERT_TRUE(waitUntil([&] {
        echoed += pty.readAvailable();
        return echoed.size() >= 2;
    }));
    EXPECT_EQ(echoed, QByteArray("\x03\r", 2));

    int errors = 0;
    QObject::connect(&port, &CommPort::errorRaised, [&] { ++errors; });
    pty.kill();
    EXPECT_TRUE(waitUntil([&] { return !port.isOpen(); }));
    testsupport::spinFor(100);
    EXPECT_LT(errors, 10) << "a vanished device must not report errors in a loop";
    EXPECT_TRUE(port.takeError());

    ASSERT_TRUE(pty.restart());
    EXPECT_TRUE(port.open()) << "the device came back";
}
