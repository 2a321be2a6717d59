#include "platform/comm_port_map.h"

#include "tests/support/temp_station_dir.h"

#include <gtest/gtest.h>

using platform::CommPortMap;

TEST(CommPortMap, AdaptersGetTheLowestNumbersAndNumbersStayAcrossRestarts)
{
    testsupport::TempStationDir dir;
    CommPortMap map = CommPortMap::load(dir.path());
    EXPECT_TRUE(map.assign({"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyACM0"}));
    EXPECT_EQ(map.device(1), "/dev/ttyACM0");
    EXPECT_EQ(map.device(2), "/dev/ttyUSB0");
    EXPECT_EQ(map.device(3), "/dev/ttyS0");
    EXPECT_EQ(map.device(4), "/dev/ttyS1");
    ASSERT_TRUE(map.save(dir.path()));
    EXPECT_EQ(dir.read("skylark_comm_ports.txt"),
              "1,/dev/ttyACM0\n2,/dev/ttyUSB0\n3,/dev/ttyS0\n4,/dev/ttyS1\n");

    // Next start: the ACM adapter is unplugged, a new USB adapter appears.
    CommPortMap again = CommPortMap::load(dir.path());
    EXPECT_TRUE(again.assign({"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(again.number("/dev/ttyUSB0"), 2);
    EXPECT_EQ(again.number("/dev/ttyS0"), 3);
    EXPECT_EQ(again.number("/dev/ttyUSB1"), 5) << "the lowest free number";
    EXPECT_EQ(again.device(1), "/dev/ttyACM0") << "an absent device keeps its number";
    EXPECT_FALSE(again.assign({"/dev/ttyS0"}));
}

TEST(CommPortMap, EditedLinesPointNumbersAtAnyPathAndDamagedLinesAreSkipped)
{
    const CommPortMap map = CommPortMap::parse("3,/tmp/pty-a\n\ngarbage\n0,/dev/x\n256,/dev/y\n"
                                               " 7 , /dev/ttyS9 \n9,\n#5,/dev/z\n");
    EXPECT_EQ(map.entries().size(), 2);
    EXPECT_EQ(map.device(3), "/tmp/pty-a");
    EXPECT_EQ(map.device(7), "/dev/ttyS9");
    EXPECT_TRUE(map.presentDevice(3).isEmpty()) << "a path that does not exist is not present";
}
