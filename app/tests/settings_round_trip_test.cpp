// A station configured through its windows is closed and started again: every stored option
// comes back chosen, with the same working values and window choices.
#include "app/tests/window_fixture.h"

#include "app/widget_helpers.h"

#include "aprsis/aprs_is_client.h"
#include "links/kiss_tcp_link.h"
#include "settings/file_names.h"
#include "settings/record_file.h"
#include "settings/startup_records.h"

#include "tests/support/pty_pair.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/wait_until.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <sstream>

using settings::RecordFile;
namespace files = settings::files;

namespace {

/// The working values the rest of the station reads, as one comparable text.
std::string workingValues(const station::StationState& s)
{
    std::ostringstream o;
    o << "tncType=" << s.tncTypeCode << " noTnc=" << s.noTnc << " gpsOnPort=" << s.gpsOnPort
      << " tncPort=" << s.tncPort << " gpsPort=" << s.gpsPort << " pttPort=" << s.hfPttPort
      << " rts=" << s.rtsFlag << " dtr=" << s.dtrFlag << " psk=" << s.pskAudioFrequency
      << " rate=" << s.beaconRateCode << " icon=" << s.gpsIconTable.toStdString()
      << s.gpsIconSymbol.toStdString() << " tx=" << s.txSoundCard << " rx=" << s.rxSoundCard
      << " speed=" << s.sampleSpeedCode << " channel=" << s.inputChannelCode << " same=" << s.sameSoundCard
      << " raynet=" << s.raynetEnabled << " row=" << s.raynetRow;
    return o.str();
}

class RoundTripTest : public WindowTest {
protected:
    /// Closes the windows as the program's end does: the main window, then the page.
    void closeStation()
    {
        if (main)
            main->close();
        main.reset();
        if (page)
            page->closePage();
        page.reset();
    }
    /// A fresh process on the same station folder.
    void freshState()
    {
        station::TcpPorts tcpPorts = state.tcpPorts;               // the peers' free ports of this test
        tcpPorts.packets = tcpPorts.ptt = tcpPorts.receiveLog = 0; // the system picks again
        state = station::StationState{};
        state.stationDir = dir.path();
        state.tcpPorts = tcpPorts;
    }
    void restart()
    {
        closeStation();
        freshState();
    }
};

} // namespace

TEST_F(RoundTripTest, EveryStartupOptionAloneComesBackAfterARestart)
{
    for (const settings::StartupOptionRecord& r : settings::startupOptionRecords()) {
        const std::string what = "record " + std::to_string(int(r.record));
        makePage();
        QRadioButton* option = page->storedOption(r.group, r.value);
        ASSERT_NE(option, nullptr) << what;
        option->click();
        closeStation();
        const std::string before = workingValues(state);
        EXPECT_EQ(settings::RecordFile::fromBytes(dir.read(files::Config1)).record(int(r.record)), "1")
            << what;

        freshState();
        makePage();
        EXPECT_TRUE(page->storedOption(r.group, r.value)->isChecked()) << what;
        closeStation();
        EXPECT_EQ(workingValues(state), before) << what;
        freshState();
        QFile::remove(dir.file(files::Config1));
    }
}

TEST_F(RoundTripTest, PttLineAnd38kKissTncSurviveARestartAndReachTheStation)
{
    makePage();
    page->option("dtrPttOption")->click();    // HF PTT out "DTR"
    page->option("kiss38400Option")->click(); // "38.4 kb KISS TNC"
    restart();
    makePage();
    EXPECT_TRUE(page->option("dtrPttOption")->isChecked());
    EXPECT_TRUE(page->option("kiss38400Option")->isChecked());
    page->closePage();
    EXPECT_FALSE(state.rtsFlag);
    EXPECT_TRUE(state.dtrFlag) << "a radio keyed by DTR keeps keying";
    EXPECT_EQ(state.tncTypeCode, 5);
    EXPECT_FALSE(state.noTnc) << "not quietly \"No TNC\"";
    makeMain();
    EXPECT_TRUE(state.kissSerial) << "the serial TNC speaks KISS";
}

TEST_F(RoundTripTest, EveryMainWindowOptionAloneComesBackAfterARestart)
{
    std::vector<std::pair<std::string, QString>> controls;
    for (const char* name :
         {"psk63Option",     "tncOption",       "aprsIsOption",    "mfsk16Option",      "qpsk125Option",
          "psk250Option",    "qpsk250Option",   "gmsk63Option",    "ax25MfskOption",    "gmsk250Option",
          "ax25Option",      "ax25Psk63Option", "ax25GmskOption",  "noAcksOption",      "normalAcksOption",
          "hfDigipeatCheck", "digipeatMeCheck", "priorityTxCheck", "internetToHfCheck", "lsbTxModeCheck",
          "displayCrcCheck"})
        controls.emplace_back(name, QString::fromLatin1(name));
    RecordFile serialTnc; // a station with a (KISS) TNC, so that "TNC" can be chosen
    serialTnc.setRecord(25, "1");
    for (const auto& [what, name] : controls) {
        dir.write(files::Config1, serialTnc.bytes());
        makePage();
        makeMain();
        auto* control = main->findChild<QAbstractButton*>(name);
        ASSERT_NE(control, nullptr) << what;
        if (control->isChecked() && name == QLatin1String("gmsk250Option"))
            in<QRadioButton>(*main, "psk63Option")->click(); // the design default: choose it afresh
        control->click();
        testsupport::spinFor(5);
        const station::WindowChoices before = state.choices;
        const QString myCall = in<QLineEdit>(*main, "myCallField")->text();
        // A click on a transmit option starts the beacons, as restoring it does.
        const bool transmitOption = name.endsWith(QLatin1String("Option")) &&
                                    name != QLatin1String("noAcksOption") &&
                                    name != QLatin1String("normalAcksOption");
        const bool beaconsOn = main->beacons().scheduleTimer().isActive();

        restart();
        makePage();
        makeMain();
        EXPECT_TRUE(main->findChild<QAbstractButton*>(name)->isChecked()) << what;
        int transmitShown = 0;
        for (const char* t : {"psk63Option", "tncOption", "aprsIsOption", "mfsk16Option", "qpsk125Option",
                              "psk250Option", "qpsk250Option", "gmsk63Option", "ax25MfskOption",
                              "gmsk250Option", "ax25Option", "ax25Psk63Option", "ax25GmskOption"})
            transmitShown += in<QRadioButton>(*main, t)->isChecked() ? 1 : 0;
        EXPECT_EQ(transmitShown, 1) << what;
        EXPECT_TRUE(state.choices == before) << what;
        EXPECT_EQ(in<QLineEdit>(*main, "myCallField")->text(), myCall) << what;
        if (transmitOption) {
            EXPECT_EQ(main->beacons().scheduleTimer().isActive(), beaconsOn) << what;
        }
        restart();
        QFile::remove(dir.file(files::Config2));
    }
}

TEST_F(RoundTripTest, AnOldFileWithoutTheChosenTransmitOptionStillShowsTheOneInForce)
{
    RecordFile f; // written before QPSK-125 had a record: every transmit record "0"
    for (int n : {4, 5, 6, 7, 8, 9, 11, 12, 19, 20})
        f.setRecord(n, "0");
    dir.write(files::Config2, f.bytes());
    makePage();
    app::MainWindow& w = makeMain();
    EXPECT_TRUE(in<QRadioButton>(w, "gmsk250Option")->isChecked());
    EXPECT_EQ(state.choices.transmitMode, station::TransmitMode::Gmsk250);
}

TEST_F(RoundTripTest, StoredLinksReconnectAndTransmitOffIsKept)
{
    testsupport::ScriptedTcpServer aprsIs;
    testsupport::ScriptedTcpServer kissProgram;
    dir.write(files::MyCallAprsIs, "\"M0SKY-10\"\r\n");
    dir.write(files::AprsServer, "\"127.0.0.1\"\r\n");
    RecordFile f;
    f.setRecord(3, "1");  // APRS-IS connected at close
    f.setRecord(10, "0"); // HF transmission switched off by remote control
    f.setRecord(21, "1"); // KISS over TCP active at close
    dir.write(files::Config2, f.bytes());
    beforeLoad = [&](app::MainWindow& w) {
        w.aprsIsClient().setPort(aprsIs.port());
        w.kissTcpLink().setPeer(QStringLiteral("127.0.0.1"), kissProgram.port());
    };
    makePage();
    makeMain();
    EXPECT_FALSE(state.igateTransmitEnabled);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return aprsIs.received().startsWith("user M0SKY-10 pass -1"); }));
    ASSERT_TRUE(testsupport::waitUntil([&] { return kissProgram.connectionCount() == 1; }));
    ASSERT_TRUE(testsupport::waitUntil([&] { return main->aprsIsClient().isConnected(); }));

    // Closed while both links are up: the same records are written again.
    restart();
    RecordFile again = RecordFile::fromBytes(dir.read(files::Config2));
    EXPECT_EQ(again.record(3), "1") << "from the link's state";
    EXPECT_EQ(again.record(10), "0");
    EXPECT_EQ(again.record(21), "1");

    // Closed with the APRS-IS link down: record 3 says so whatever the button shows.
    aprsIs.stopListening();
    f.setRecord(3, "0");
    dir.write(files::Config2, f.bytes());
    makePage();
    makeMain();
    app::setBackColour(in<QPushButton>(*main, "aprsIsConnectButton"), app::Green);
    restart();
    EXPECT_EQ(RecordFile::fromBytes(dir.read(files::Config2)).record(3), "0");
}

TEST_F(RoundTripTest, SoundCardListsShowTheStoredEntries)
{
    RecordFile f;
    f.setRecord(53, "1"); // transmit setting 2: output entry 1
    f.setRecord(82, "2"); // receive entry 2
    dir.write(files::Config1, f.bytes());
    makePage({{"default", "Speaker", "Headset"}, {"default", "Mic", "Line in"}});
    EXPECT_EQ(in<QComboBox>(*page, "outputDeviceCombo")->currentText(), "Speaker");
    EXPECT_EQ(in<QComboBox>(*page, "inputDeviceCombo")->currentText(), "Line in");
    restart();

    f.setRecord(53, "0");
    f.setRecord(62, "1"); // transmit setting 11: the device is gone
    f.setRecord(82, "8");
    dir.write(files::Config1, f.bytes());
    makePage({{"Speaker", "default"}, {"Mic", "default"}});
    EXPECT_EQ(in<QComboBox>(*page, "outputDeviceCombo")->currentText(), "default");
    EXPECT_EQ(in<QComboBox>(*page, "inputDeviceCombo")->currentText(), "default");
    EXPECT_EQ(state.txSoundCard, 11) << "the stored setting itself is kept";
}

TEST_F(RoundTripTest, BadFieldValuesAreRefusedWithAMessageAndThePreviousValueKept)
{
    // A stored custom frequency out of range is not used on any path.
    dir.write(files::PskFreq, "\"99999\"\r\n");
    RecordFile f;
    f.setRecord(12, "0");
    f.setRecord(74, "1"); // the custom frequency
    dir.write(files::Config1, f.bytes());
    makePage();
    EXPECT_DOUBLE_EQ(state.pskAudioFrequency, 2100.0);
    EXPECT_EQ(page->field("customFrequencyField")->text(), "2100");
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].text.contains("99999"));

    // Typed values: refused when the field is left, the last good one comes back.
    QLineEdit* frequency = page->field("customFrequencyField");
    frequency->setText("1750");
    emit frequency->editingFinished();
    frequency->setText("1750 Hz");
    emit frequency->editingFinished();
    EXPECT_EQ(frequency->text(), "1750");
    EXPECT_DOUBLE_EQ(state.pskAudioFrequency, 1750.0);
    EXPECT_EQ(dialogs.messages().size(), 2);

    QLineEdit* row = page->field("raynetRowField");
    row->setText("5a");
    emit row->editingFinished();
    EXPECT_EQ(row->text(), "2");
    EXPECT_EQ(dialogs.messages().size(), 3);
    row->setText("7");
    emit row->editingFinished();
    row->setText("0"); // never left: refused at close
    page->closePage();
    EXPECT_EQ(state.raynetRow, 6) << "the first entry goes to row 7";
    EXPECT_EQ(dialogs.messages().size(), 4);
    EXPECT_EQ(dir.read(files::PskFreq), "\"1750\"\r\n");
}

TEST_F(RoundTripTest, QuotedBeaconTextComesBackWhole)
{
    makePage();
    makeMain();
    in<QLineEdit>(*main, "beaconTextField")->setText(QStringLiteral(">Net tonight \"21:00\" on 145.500"));
    page->field("gpsBeaconTextField")->setText(QStringLiteral("Car \"blue\""));
    restart();
    makePage();
    makeMain();
    EXPECT_EQ(in<QLineEdit>(*main, "beaconTextField")->text(),
              QStringLiteral(">Net tonight \"21:00\" on 145.500"));
    EXPECT_EQ(page->field("gpsBeaconTextField")->text(), QStringLiteral("Car \"blue\""));
}
