#include "settings/device_settings.h"
#include "settings/file_names.h"
#include "settings/main_records.h"
#include "settings/psk_frequency.h"
#include "settings/record_file.h"
#include "settings/startup_records.h"
#include "settings/station_files.h"
#include "settings/value_file.h"

#include "tests/support/temp_station_dir.h"

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
        {"\">Net tonight \"21:00\" on 145.500\"\r\n", ">Net tonight \"21:00\" on 145.500"},
        {"\"say \"hi\"\"\r\n\"next line\"\r\n", "say \"hi\""},
        {"\"a\" trailing\r\n", "a"},
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

TEST(ValueFile, QuotedTextRoundTripsThroughItsFile)
{
    testsupport::TempStationDir dir;
    for (const QByteArray& text : {QByteArray(">Net tonight \"21:00\" on 145.500"), QByteArray("\"quoted\""),
                                   QByteArray("a \"b, c\" d"), QByteArray("\"")}) {
        ASSERT_TRUE(writeText(dir.file("t.txt"), text));
        EXPECT_EQ(readValue(dir.file("t.txt")), text) << text.toStdString();
    }
}

TEST(CustomPskFrequency, OnlyANumberOfHertzInRangeIsAccepted)
{
    const std::pair<QString, std::optional<double>> cases[] = {
        {"1750", 1750.0},        {" 2100 ", 2100.0},        {"1800.5", 1800.5},      {"500", 500.0},
        {"2500", 2500.0},        {"1750 Hz", std::nullopt}, {"", std::nullopt},      {"99999", std::nullopt},
        {"499.9", std::nullopt}, {"-1000", std::nullopt},   {"1e3", std::nullopt},   {"1.2.3", std::nullopt},
        {"0x700", std::nullopt}, {"2500.1", std::nullopt},  {"17 50", std::nullopt}, {".", std::nullopt}};
    for (const auto& [text, hz] : cases)
        EXPECT_EQ(parseCustomPskFrequency(text), hz) << text.toStdString();
}

namespace {
/// A record file with only the given records set.
RecordFile recordsOf(std::initializer_list<std::pair<int, QByteArray>> records)
{
    RecordFile f;
    for (const auto& [n, text] : records)
        f.setRecord(n, text);
    return f;
}
} // namespace

TEST(StartupRecords, EveryOptionAloneIsWrittenAndReadBack)
{
    const auto table = startupOptionRecords();
    for (size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(int(table[i - 1].record), int(table[i].record)) << "one record per option, in order";
    for (const StartupOptionRecord& o : table) {
        StartupSelection chosen;
        chosen.group(o.group) = o.value;
        RecordFile f;
        writeStartupOptions(chosen, f);
        EXPECT_EQ(f.record(int(o.record)), "1") << int(o.record);
        const StartupOptions read = readStartupOptions(f);
        for (int g = 0; g < StartupGroupCount; ++g) {
            const StoredChoice expected = g == int(o.group) ? StoredChoice{o.value, false} : StoredChoice{};
            EXPECT_EQ(read.groups[size_t(g)], expected) << "record " << int(o.record) << " group " << g;
        }
    }
}

TEST(StartupRecords, OptionsThatHadNoRecordNowHaveOne)
{
    struct Case {
        StartupGroup group;
        int value;
        int record;
    } cases[] = {{StartupGroup::PttLine, int(PttLine::Rts), 75},
                 {StartupGroup::PttLine, int(PttLine::Dtr), 76},
                 {StartupGroup::PttLine, int(PttLine::Both), 77},
                 {StartupGroup::TncType, 5, 26}};
    for (const Case& c : cases) {
        StartupSelection chosen;
        chosen.group(c.group) = c.value;
        RecordFile f;
        writeStartupOptions(chosen, f);
        EXPECT_EQ(f.record(c.record), "1") << c.record;
        EXPECT_EQ(readStartupOptions(f).group(c.group).value, c.value) << c.record;
    }
}

TEST(StartupRecords, ContainmentAndSpecialRecords)
{
    // "10" chooses, then clears; a "0" for an option not shown changes nothing.
    StartupOptions o = readStartupOptions(recordsOf({{6, "10"}, {7, "0"}, {63, "1"}}));
    EXPECT_EQ(o.group(StartupGroup::PskFrequency), (StoredChoice{700, true}));
    EXPECT_EQ(o.group(StartupGroup::BeaconRate), (StoredChoice{4, false}));
    EXPECT_EQ(readStartupOptions(recordsOf({{71, "1"}})).group(StartupGroup::PskFrequency).value, 2400)
        << "record 71 also chooses 2400 Hz";

    o = readStartupOptions(recordsOf({{51, "0"}, {54, "1"}, {80, "1"}, {82, "7"}, {83, "2"}, {84, "10"}}));
    EXPECT_EQ(o.txSoundCard, 3);
    EXPECT_EQ(o.sampleSpeed, 1);
    EXPECT_EQ(o.rxSoundCard, 7);
    EXPECT_EQ(o.inputChannel, 2);
    EXPECT_EQ(o.sameSoundCard, false) << "set, then cleared";
    o = readStartupOptions(RecordFile{});
    EXPECT_EQ(o.inputChannel, std::nullopt) << "an empty record keeps the design default";
    EXPECT_EQ(o.sampleSpeed, std::nullopt);
    EXPECT_EQ(readStartupOptions(recordsOf({{80, "20"}})).sampleSpeed, 0) << "tested 2, 1, then 0";

    StartupSelection s;
    s.txSoundCard = 11;
    s.rxSoundCard = 5;
    RecordFile f = recordsOf({{82, "4"}, {71, "x"}});
    writeStartupOptions(s, f);
    EXPECT_EQ(f.record(62), "1");
    EXPECT_EQ(f.record(51), "0");
    EXPECT_EQ(f.record(82), "5");
    EXPECT_EQ(f.record(71), "x") << "record 71 is never written";
    for (int reserved : {2, 78, 79})
        EXPECT_EQ(f.record(reserved), "0") << reserved;
    s.rxSoundCard = 9;
    writeStartupOptions(s, f);
    EXPECT_EQ(f.record(82), "5") << "a setting above 8 leaves the record as it was";
}

TEST(MainRecords, EveryTransmitOptionAndCheckBoxAloneIsWrittenAndReadBack)
{
    for (const TransmitRecord& t : transmitRecords()) {
        MainSelection s;
        s.transmitMode = t.mode;
        const RecordFile f = writeMainOptions(s);
        for (const TransmitRecord& other : transmitRecords())
            EXPECT_EQ(f.record(int(other.record)), other.mode == t.mode ? "1" : "0");
        EXPECT_EQ(readMainOptions(f).transmitMode, t.mode) << int(t.record);
    }
    EXPECT_EQ(transmitRecords().size(), 13u) << "every transmit option has a record";
    for (const CheckRecord& c : checkRecords()) {
        MainSelection s;
        s.check(c.check) = true;
        const MainOptions read = readMainOptions(writeMainOptions(s));
        for (const CheckRecord& other : checkRecords())
            EXPECT_EQ(read.check(other.check), other.check == c.check) << int(c.record);
    }
}

TEST(MainRecords, LinksAcksAndTransmitPermission)
{
    MainSelection s;
    s.acksNormal = false;
    s.acksNone = true;
    s.aprsIsConnected = true;
    s.igateTransmit = false;
    s.kissTcpActive = true;
    const RecordFile f = writeMainOptions(s);
    EXPECT_EQ(f.bytes().size(), 2400);
    const MainOptions o = readMainOptions(f);
    EXPECT_EQ(o.acks, (StoredChoice{0, false}));
    EXPECT_TRUE(o.reconnectAprsIs);
    EXPECT_EQ(o.igateTransmit, false);
    EXPECT_TRUE(o.reconnectKissTcp);
    EXPECT_EQ(o.transmitMode, std::nullopt) << "no transmit option shown: all records 0";

    const MainOptions empty = readMainOptions(RecordFile{});
    EXPECT_FALSE(empty.reconnectAprsIs);
    EXPECT_EQ(empty.igateTransmit, std::nullopt) << "an empty record leaves transmission enabled";
    EXPECT_FALSE(empty.reconnectKissTcp);

    // A file of the old layout: QPSK-125 was not stored, so every transmit record is "0";
    // a "10" for the chosen option does not leave the window without one either.
    EXPECT_EQ(readMainOptions(recordsOf({{4, "0"}, {9, "0"}})).transmitMode, std::nullopt);
    EXPECT_EQ(readMainOptions(recordsOf({{4, "10"}})).transmitMode, station::TransmitMode::Psk63);
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
        {"[]:2947", false, "", 0},
        {"[    ]:08", false, "", 0},
        {"[[gps]]:1", false, "", 0},
        {"gps host:1", false, "", 0},
        {"fe80::1%eth0:2947", true, "fe80::1%eth0", 2947},
    };
    for (const Case& c : cases) {
        QByteArray host = "kept";
        quint16 port = 7;
        EXPECT_EQ(splitHostPort(c.text, host, port), c.ok) << c.text.toStdString();
        // A value that does not read leaves the last good one as it was.
        EXPECT_EQ(host, c.ok ? c.host : QByteArray("kept")) << c.text.toStdString();
        EXPECT_EQ(port, c.ok ? c.port : 7) << c.text.toStdString();
    }
    // Found by fuzzing: a bad gpsd line after a good one emptied the host, and the file written
    // from that no longer read back to the same settings.
    const DeviceSettings twice = parseDeviceSettings("gpsd=gps.local:2948\ngpsd=[]:02\n");
    EXPECT_EQ(twice.gpsdHost, "gps.local");
    EXPECT_EQ(twice.gpsdPort, 2948);
    EXPECT_EQ(parseDeviceSettings(formatDeviceSettings(twice)), twice);
    const DeviceSettings blank = parseDeviceSettings("gpsd=[    ]:08\n\xff\ngpsd=[]:g\n]:8");
    EXPECT_EQ(parseDeviceSettings(formatDeviceSettings(blank)), blank);
    // Found by fuzzing: a host with a colon, short enough as read, was written in brackets too
    // long to be read back.
    const QByteArray longHost = "h:" + QByteArray(195, 'b');
    const DeviceSettings bracketed = parseDeviceSettings("gpsd=" + longHost + ":1\n");
    EXPECT_EQ(bracketed.gpsdHost, "127.0.0.1");
    EXPECT_EQ(parseDeviceSettings(formatDeviceSettings(bracketed)), bracketed);
    const DeviceSettings fits = parseDeviceSettings("gpsd=" + longHost.left(192) + ":1\n");
    EXPECT_EQ(fits.gpsdHost, longHost.left(192));
    EXPECT_EQ(parseDeviceSettings(formatDeviceSettings(fits)), fits);
}
