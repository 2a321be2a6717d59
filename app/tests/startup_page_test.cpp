#include "window_fixture.h"

#include "settings/file_names.h"
#include "settings/record_file.h"

#include "wait_until.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QSignalSpy>

using settings::RecordFile;
namespace files = settings::files;

TEST_F(WindowTest, FirstStartShowsDefaultsAndCreatesConfig1Empty)
{
    app::StartupPage& p = makePage();
    EXPECT_TRUE(dir.exists(files::Config1));
    EXPECT_EQ(dir.read(files::Config1), "");
    for (const char* f : {"Text3", "Text10", "Text4", "Text2", "Text7"})
        EXPECT_EQ(p.field(f)->text(), "NOCALL") << f;
    EXPECT_EQ(p.field("Text6")->text(), "2100");
    EXPECT_EQ(p.field("Text8")->text(), "Relay keying open");
    EXPECT_EQ(p.field("Text9")->text(), "Relay keying close");
    EXPECT_EQ(p.field("Text5")->text(), "2");
    for (const char* o : {"Option43", "Option28", "Option60", "Option80", "Option81", "Option72", "Option52"})
        EXPECT_TRUE(p.option(o)->isChecked()) << o;
    EXPECT_EQ(state.tncPort, 0);
    EXPECT_EQ(state.gpsPort, 0);
    EXPECT_DOUBLE_EQ(state.pskAudioFrequency, 2100.0);
    EXPECT_EQ(p.windowTitle(), "Skylark v3.33 - Tamberlane");
}

TEST_F(WindowTest, ClosingWritesEveryFileByteForByte)
{
    app::StartupPage& p = makePage();
    p.field("Text1")->setText("Mobile, near Leeds");
    p.closePage();
    EXPECT_EQ(dir.read(files::MyCall), "\"NOCALL\"\r\n");
    EXPECT_EQ(dir.read(files::GpsBeacon), "\"Mobile, near Leeds\"\r\n");
    EXPECT_EQ(dir.read(files::RemoteTxOn), "\"Relay keying open\"\r\n");
    EXPECT_EQ(dir.read(files::TncPort), "0\r\n");
    EXPECT_EQ(dir.read(files::PskFreq), "\"2100\"\r\n");

    const QByteArray c1 = dir.read(files::Config1);
    ASSERT_EQ(c1.size(), 84 * 100);
    const RecordFile r = RecordFile::fromBytes(c1);
    EXPECT_EQ(c1.mid(11 * 100, 3), QByteArray("\x01\x00"
                                              "1",
                                              3))
        << "record 12: 2100 Hz";
    EXPECT_EQ(r.record(2), "0");
    EXPECT_EQ(r.record(65), "1") << "10 min";
    EXPECT_EQ(r.record(73), "1") << "RAYNET disabled";
    EXPECT_EQ(r.record(51), "1") << "transmit sound card 0";
    EXPECT_EQ(r.record(52), "0");
    EXPECT_EQ(r.record(80), "2");
    EXPECT_EQ(r.record(82), "0");
    EXPECT_EQ(r.record(83), "0");
    EXPECT_EQ(r.record(84), "0");
    EXPECT_EQ(r.record(71), "") << "never written";

    // The next start reads it all back, the comma included.
    page.reset();
    app::StartupPage& again = makePage();
    EXPECT_EQ(again.field("Text1")->text(), "Mobile, near Leeds");
    EXPECT_EQ(state.gpsBeaconText, "Mobile, near Leeds");
}

TEST_F(WindowTest, RecordHoldingTenSelectsThenClears)
{
    RecordFile f;
    f.setRecord(6, "10"); // 700 Hz: selected, then cleared
    f.setRecord(63, "1"); // 2 min
    f.setRecord(83, "1"); // Left
    dir.write(files::Config1, f.bytes());
    app::StartupPage& p = makePage();
    EXPECT_FALSE(p.option("Option39")->isChecked());
    EXPECT_DOUBLE_EQ(state.pskAudioFrequency, 700.0) << "the selection ran its action";
    EXPECT_TRUE(p.option("Option57")->isChecked());
    EXPECT_EQ(state.beaconRateCode, 4);
    EXPECT_EQ(state.inputChannelCode, 1);
}

TEST_F(WindowTest, ReceiveSoundCardAboveEightLeavesRecord82AsItWas)
{
    RecordFile f;
    f.setRecord(82, "7");
    dir.write(files::Config1, f.bytes());
    app::StartupPage& p = makePage({{"out A", "out B"}, {"in A", "in B"}});
    EXPECT_EQ(state.rxSoundCard, 7);
    EXPECT_EQ(in<QComboBox>(p, "Combo1")->count(), 2);
    state.rxSoundCard = 9;
    p.closePage();
    EXPECT_EQ(RecordFile::fromBytes(dir.read(files::Config1)).record(82), "7");
    state.rxSoundCard = 3;
    p.closePage();
    EXPECT_EQ(RecordFile::fromBytes(dir.read(files::Config1)).record(82), "3");
}

TEST_F(WindowTest, OptionsSetWorkingValuesAndTheCustomFrequencyIsValidated)
{
    app::StartupPage& p = makePage();
    p.field("Text3")->setText("g4abc-9");
    EXPECT_EQ(p.field("Text3")->text(), "G4ABC-9");
    EXPECT_EQ(p.field("Text3")->cursorPosition(), 7);

    p.option("Option86")->click();
    EXPECT_EQ(state.tncTypeCode, 4);
    EXPECT_FALSE(state.noTnc);
    EXPECT_FALSE(p.field("Text1")->isEnabled()) << "a TNC type disables the GPS beacon text";
    EXPECT_FALSE(p.option("Option57")->isEnabled());

    p.option("Option54")->click();
    EXPECT_EQ(state.gpsIconTable, "\\");
    EXPECT_EQ(state.gpsIconSymbol, "-");
    p.option("Option76")->click();
    EXPECT_TRUE(state.rtsFlag && state.dtrFlag);

    QRadioButton* custom = p.option("Option73");
    p.field("Text6")->setText("400");
    EXPECT_FALSE(custom->isEnabled());
    p.field("Text6")->setText("500");
    EXPECT_FALSE(custom->isEnabled()) << "exactly 500 leaves the state as it was";
    p.field("Text6")->setText("1750");
    EXPECT_TRUE(custom->isEnabled());
    custom->click();
    EXPECT_DOUBLE_EQ(state.pskAudioFrequency, 1750.0);
    p.field("Text6")->setText("1800.5");
    EXPECT_DOUBLE_EQ(state.pskAudioFrequency, 1800.5);

    p.option("Option46")->click(); // HF PTT port 3
    EXPECT_EQ(state.hfPttPort, 3);
    EXPECT_FALSE(p.option("Option91")->isEnabled()) << "hidden TNC port 3 is taken";
    EXPECT_TRUE(p.option("Option90")->isEnabled());
}

TEST_F(WindowTest, RaynetWarningAndStartRowAtClose)
{
    app::StartupPage& p = makePage();
    p.option("Option71")->click();
    p.field("Text5")->setText("5");
    p.closePage();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(
        dialogs.messages()[0].text,
        "Only use the Raynet.xls spreadsheet when using Skylark. Other spreadsheets may be overwritten!");
    EXPECT_EQ(dialogs.messages()[0].icon, platform::DialogService::Icon::Exclamation);
    EXPECT_EQ(state.raynetRow, 4);
    EXPECT_TRUE(state.raynetEnabled);
}

TEST_F(WindowTest, CountdownLabelEverySecondThenAutomaticStart)
{
    app::StartupPage& p = makePage();
    auto* label = in<QLabel>(p, "Label11");
    QSignalSpy started(&p, &app::StartupPage::startRequested);
    QStringList seen;
    QObject::connect(in<QTimer>(p, "Timer2"), &QTimer::timeout, [&] { seen << label->text(); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return started.count() == 1; }, 60000));
    // One second less on every tick seen (a busy machine may have run the first ticks before
    // the test looked).
    ASSERT_GE(seen.size(), 2);
    const QRegularExpression shown(QStringLiteral("^Time to automatic start: (\\d+) sec$"));
    int previous = 60;
    for (const QString& text : seen) {
        const QRegularExpressionMatch m = shown.match(text);
        ASSERT_TRUE(m.hasMatch()) << text.toStdString();
        if (previous < 60) {
            EXPECT_EQ(m.captured(1).toInt(), previous - 1) << text.toStdString();
        }
        previous = m.captured(1).toInt();
    }
    EXPECT_EQ(in<QPushButton>(p, "Command1")->text(), "Loading...");
    testsupport::spinFor(50);
    EXPECT_EQ(started.count(), 1) << "started once";
}

TEST_F(WindowTest, SerialPortsAreListedWithTheirNumbers)
{
    testsupport::TempStationDir other;
    other.write("dev", "");
    ports.set(4, other.file("dev"));
    ports.set(6, "/no/such/device");
    app::StartupPage& p = makePage();
    auto* list = in<QListWidget>(p, "List1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), other.file("dev"));
    emit list->itemClicked(list->item(0));
    EXPECT_EQ(state.tncPort, 4);
    auto* gps = in<QListWidget>(p, "List2");
    emit gps->itemClicked(gps->item(0));
    EXPECT_EQ(state.gpsPort, 4);
    EXPECT_TRUE(state.gpsOnPort);
    p.option("Option1")->click();
    EXPECT_FALSE(state.gpsOnPort);
    EXPECT_EQ(state.gpsPort, 4) << "the port number stays";
}

// The PTT method and gpsd live in their own file: the record files keep every byte, and the
// choices come back at the next start.
TEST_F(WindowTest, PttAndGpsdChoicesKeepTheirOwnFile)
{
    app::StartupPage& first = makePage();
    EXPECT_TRUE(in<QRadioButton>(first, "PttSerial")->isChecked()) << "serial lines stay the default";
    first.closePage();
    const QByteArray config1 = dir.read(files::Config1);
    EXPECT_EQ(dir.read(files::Devices), "ptt=serial\r\nhamlib_model=2\r\nhamlib_device=127.0.0.1:4532\r\n"
                                        "hamlib_speed=0\r\ncm108_device=\r\ncm108_gpio=3\r\ngps=serial\r\n"
                                        "gpsd=127.0.0.1:2947\r\n");

    in<QRadioButton>(first, "PttHamlib")->click();
    in<QSpinBox>(first, "HamlibModel")->setValue(1);
    in<QLineEdit>(first, "HamlibDevice")->setText("/dev/ttyUSB1");
    in<QComboBox>(first, "HamlibSpeed")->setCurrentText("19200");
    in<QSpinBox>(first, "Cm108Gpio")->setValue(5);
    auto* gps = in<QListWidget>(first, "List2");
    ASSERT_GE(gps->count(), 1);
    QListWidgetItem* gpsd = gps->item(gps->count() - 1);
    EXPECT_EQ(gpsd->text(), "gpsd");
    emit gps->itemClicked(gpsd);
    EXPECT_TRUE(state.devices.gpsFromGpsd);
    EXPECT_TRUE(state.gpsOnPort);
    EXPECT_EQ(state.gpsPort, 0) << "no serial GPS port";
    in<QLineEdit>(first, "GpsdServer")->setText("gps.local:2948");
    in<QPushButton>(first, "Command1")->click(); // Start: the main window works on these
    EXPECT_EQ(state.devices.ptt, settings::PttKind::Hamlib);
    EXPECT_EQ(state.devices.hamlibSpeed, 19200);
    EXPECT_EQ(state.devices.gpsdHost, "gps.local");
    first.closePage();
    EXPECT_EQ(dir.read(files::Config1), config1) << "the record file is untouched";

    state.devices = {};
    app::StartupPage& second = makePage();
    EXPECT_TRUE(in<QRadioButton>(second, "PttHamlib")->isChecked());
    EXPECT_EQ(in<QLineEdit>(second, "HamlibDevice")->text(), "/dev/ttyUSB1");
    EXPECT_EQ(in<QSpinBox>(second, "Cm108Gpio")->value(), 5);
    EXPECT_EQ(in<QLineEdit>(second, "GpsdServer")->text(), "gps.local:2948");
    EXPECT_EQ(in<QListWidget>(second, "List2")->currentItem()->text(), "gpsd");
    EXPECT_TRUE(state.devices.gpsFromGpsd);
    EXPECT_EQ(state.devices.hamlibModel, 1);
}
