#include "settings/device_settings.h"
#include "settings/file_names.h"
#include "settings/record_file.h"
#include "settings/station_files.h"
#include "settings/value_file.h"

#include "temp_station_dir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace settings;

TEST(ValueFile, FirstFieldRules)
{
    struct Case {
        QByteArray content;
        QByteArray field;
    } cases[] = {
        {"\"NOCALL\"\r\n", "NOCALL"},
        {"\"\"\r\n", ""},
        {"\"beacon, with comma\"\r\n", "beacon, with comma"},
        {"  42 , 7\r\n", "42"},
        {"5\r\n", "5"},
        {"\"unterminated\r\nsecond", "unterminated"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstField(c.content), c.field) << c.content.toStdString();
}

TEST(ValueFile, WritesQuotedTextsAndBareNumbersByteForByte)
{
    testsupport::TempStationDir dir;
    ASSERT_TRUE(writeText(dir.file("a.txt"), "NOCALL"));
    EXPECT_EQ(dir.read("a.txt"), "\"NOCALL\"\r\n");
    ASSERT_TRUE(writeText(dir.file("b.txt"), ""));
    EXPECT_EQ(dir.read("b.txt"), "\"\"\r\n");
    ASSERT_TRUE(writeNumber(dir.file("c.txt"), 0));
    EXPECT_EQ(dir.read("c.txt"), "0\r\n");
    ASSERT_TRUE(writeText(dir.file("d.txt"), "=4807.03N/01131.00E>Car, mobile \xb0"));
    EXPECT_EQ(readValue(dir.file("d.txt")), "=4807.03N/01131.00E>Car, mobile \xb0")
        << "a comma and an 8-bit byte survive";
    EXPECT_EQ(readNumber(dir.file("missing.txt"), 0), 0);
    EXPECT_FALSE(writeText(dir.file("no/such/folder/x.txt"), "x"));
}

TEST(RecordFile, RecordsAtFixedOffsetsWithLittleEndianLength)
{
    RecordFile f;
    f.setRecord(3, "1");
    ASSERT_EQ(f.bytes().size(), 300);
    EXPECT_EQ(f.bytes().mid(200, 3), QByteArray("\x01\x00"
                                                "1",
                                                3));
    EXPECT_EQ(f.record(3), "1");
    EXPECT_EQ(f.record(1), "") << "zero-filled record reads as empty";
    EXPECT_EQ(f.record(50), "") << "beyond the end";
    f.setRecord(1, QByteArray(300, 'x'));
    EXPECT_EQ(f.record(1).size(), RecordFile::MaxText) << "cut to fit the record";
    EXPECT_EQ(f.record(3), "1") << "neighbour untouched";

    // A damaged length never reads past the record.
    QByteArray raw(100, '\0');
    raw[0] = '\xff';
    raw[1] = '\xff';
    EXPECT_EQ(RecordFile::fromBytes(raw).record(1).size(), RecordFile::MaxText);
}

TEST(RecordFile, ContainmentTestTreatsTenAsBoth)
{
    EXPECT_TRUE(RecordFile::holdsOne("10"));
    EXPECT_TRUE(RecordFile::holdsZero("10"));
    EXPECT_FALSE(RecordFile::holdsOne("0"));
    EXPECT_FALSE(RecordFile::holdsZero(""));
}

TEST(StationFiles, DefaultsOfAnEmptyFolderAndAWholeFileRoundTrip)
{
    testsupport::TempStationDir dir;
    const StartupTexts s = readStartupTexts(dir.path());
    EXPECT_EQ(s.tncCall, "NOCALL");
    EXPECT_EQ(s.aprsIsCall, "NOCALL");
    EXPECT_EQ(s.hfCall, "NOCALL");
    EXPECT_EQ(s.groupCall, "NOCALL");
    EXPECT_EQ(s.remoteCall, "NOCALL");
    EXPECT_EQ(s.remoteTxOn, "Relay keying open");
    EXPECT_EQ(s.remoteTxOff, "Relay keying close");
    EXPECT_EQ(s.tncPort, 0);
    EXPECT_EQ(s.gpsPort, 0);
    EXPECT_TRUE(s.pskFrequency.isEmpty());
    const MainTexts m = readMainTexts(dir.path());
    EXPECT_EQ(m.passcode, "-1");
    EXPECT_EQ(m.aprsServer, "rotate.aprs2.net");

    StartupTexts w = s;
    w.tncCall = "G4ABC-9";
    w.tncPort = 3;
    w.pskFrequency = "1750";
    RecordFile c1;
    c1.setRecord(1, "1");
    writeStartupFiles(dir.path(), w, c1);
    EXPECT_EQ(dir.read(files::MyCall), "\"G4ABC-9\"\r\n");
    EXPECT_EQ(dir.read(files::TncPort), "3\r\n");
    EXPECT_EQ(dir.read(files::PskFreq), "\"1750\"\r\n");
    EXPECT_EQ(dir.read(files::Config1), c1.bytes());
    const StartupTexts r = readStartupTexts(dir.path());
    EXPECT_EQ(r.tncCall, "G4ABC-9");
    EXPECT_EQ(r.tncPort, 3);
}

TEST(StationFiles, ControlTablesAreInRecordOrder)
{
    for (auto table : {config1Controls(), config2Controls()})
        for (size_t i = 1; i < table.size(); ++i)
            EXPECT_LT(table[i - 1].record, table[i].record);
    EXPECT_EQ(config1Controls().size(), 44u);
    EXPECT_EQ(config2Controls().front().record, 1);
}

TEST(DeviceSettings, DefaultsRoundTripAndDamagedLines)
{
    testsupport::TempStationDir dir;
    const DeviceSettings defaults;
    EXPECT_EQ(readDeviceSettings(dir.path()), defaults); // no file yet
    EXPECT_EQ(defaults.ptt, PttKind::SerialLines);
    EXPECT_FALSE(defaults.gpsFromGpsd);

    DeviceSettings s;
    s.ptt = PttKind::Hamlib;
    s.hamlibModel = 1;
    s.hamlibDevice = "/dev/ttyUSB1";
    s.hamlibSpeed = 19200;
    s.cm108Device = "/dev/hidraw2";
    s.cm108Gpio = 4;
    s.gpsFromGpsd = true;
    s.gpsdHost = "::1";
    s.gpsdPort = 2948;
    ASSERT_TRUE(writeDeviceSettings(dir.path(), s));
    EXPECT_EQ(readDeviceSettings(dir.path()), s);
    QFile f(dir.path() + QStringLiteral("/skylark_devices.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("gpsd=[::1]:2948\r\n"));

    // Out of range, unknown or garbled values keep the default; the rest is read.
    const DeviceSettings damaged = parseDeviceSettings("ptt=telepathy\ncm108_gpio=9\nhamlib_model=x\n"
                                                       "gpsd=host-without-port\nnonsense\n=1\n"
                                                       "hamlib_device=/dev/tty\x01S0\ngps=gpsd\n"
                                                       "cm108_device=/dev/hidraw0\r\n");
    DeviceSettings expected;
    expected.gpsFromGpsd = true;
    expected.cm108Device = "/dev/hidraw0";
    EXPECT_EQ(damaged, expected);
}

TEST(DeviceSettings, HostAndPort)
{
    struct Case {
        QByteArray text;
        bool ok;
        QByteArray host;
        quint16 port;
    } cases[] = {
        {"127.0.0.1:2947", true, "127.0.0.1", 2947},
        {"gps.local:1", true, "gps.local", 1},
        {"[::1]:2947", true, "::1", 2947},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {":2947", false, "", 0},
        {"host", false, "", 0},
    };
    for (const Case& c : cases) {
        QByteArray host;
        quint16 port = 0;
        EXPECT_EQ(splitHostPort(c.text, host, port), c.ok) << c.text.toStdString();
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}
