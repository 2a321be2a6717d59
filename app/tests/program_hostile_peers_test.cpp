// The started program against hostile peers: a TNC on a pseudo-terminal (text mode and KISS),
// a scripted APRS-IS server and a recording played into the HF receiver feed the running
// station packets made to inject TNC commands, forge APRS-IS lines, raise dialogs or break the
// igate rules. What reaches the TNC, the server, the local ports and the logs is checked byte
// for byte; afterwards the station must still answer on its local ports and acknowledge a
// message on each bearer.
#include "hf/hf_frame.h"
#include "hf/modem/mode.h"
#include "hf/modem/modulator.h"
#include "hf/modem/wav_file.h"
#include "platform/comm_port_map.h"
#include "settings/file_names.h"
#include "settings/main_records.h"
#include "settings/record_file.h"
#include "settings/startup_records.h"
#include "settings/value_file.h"
#include "tests/support/kiss_frames.h"
#include "tests/support/pty_pair.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

using testsupport::waitUntil;

std::string str(const QByteArray& bytes)
{
    return bytes.toStdString();
}
std::string str(QByteArrayList list)
{
    return list.join("|\n").toStdString();
}

using testsupport::kissUiFrame;

/// An unescaped AX.25 UI frame as "SOURCE>DEST,HOP*,...:info"; empty when it is not one.
QByteArray ax25Text(const QByteArray& frame)
{
    QByteArrayList calls;
    qsizetype at = 0;
    bool last = false;
    while (!last && at + 7 <= frame.size()) {
        QByteArray call;
        for (int i = 0; i < 6; ++i)
            call += static_cast<char>(static_cast<unsigned char>(frame[at + i]) >> 1);
        call = call.trimmed();
        const int ssidByte = static_cast<unsigned char>(frame[at + 6]);
        if ((ssidByte >> 1 & 0x0F) != 0)
            call += "-" + QByteArray::number(ssidByte >> 1 & 0x0F);
        if (calls.size() >= 2 && (ssidByte & 0x80))
            call += "*";
        calls.append(call);
        last = ssidByte & 1;
        at += 7;
    }
    if (!last || calls.size() < 2 || frame.mid(at, 2) != "\x03\xF0")
        return {};
    QByteArray text = calls[1] + ">" + calls[0];
    for (qsizetype i = 2; i < calls.size(); ++i)
        text += "," + calls[i];
    return text + ":" + frame.mid(at + 2);
}

/// What the station wrote to a KISS TNC: its frames as packet text, and whatever is not a UI
/// data frame on port 0 (a command to the TNC, bytes outside frames, a cut frame).
struct KissWire {
    QByteArrayList packets;
    QByteArrayList faults;
};
KissWire readKissWire(const QByteArray& bytes)
{
    KissWire wire;
    if (!bytes.isEmpty() && (!bytes.startsWith('\xC0') || !bytes.endsWith('\xC0')))
        wire.faults.append("bytes outside a frame");
    for (QByteArray unit : bytes.split('\xC0')) {
        if (unit.isEmpty())
            continue;
        unit.replace("\xDB\xDC", "\xC0").replace("\xDB\xDD", "\xDB");
        const QByteArray text = unit.startsWith('\0') ? ax25Text(unit.mid(1)) : QByteArray();
        if (text.isEmpty())
            wire.faults.append(unit.toHex(' '));
        else
            wire.packets.append(text);
    }
    return wire;
}

/// A recording of HF frames as the receiver would hear them: GMSK-250 on 2100 Hz at 48000 Hz,
/// `gapSeconds` of silence before each frame and after the last.
bool writeHfRecording(const QString& path, const QByteArrayList& frames, double gapSeconds)
{
    constexpr int rate = 48000;
    hf::modem::Modulator modulator(*hf::modem::modeFromName("gmsk250"), rate, 2100);
    hf::modem::WavAudio audio;
    audio.sampleRate = rate;
    const std::vector<float> silence(static_cast<size_t>(gapSeconds * rate), 0.0F);
    for (const QByteArray& frame : frames) {
        audio.samples.insert(audio.samples.end(), silence.begin(), silence.end());
        const std::vector<float> signal =
            modulator.modulate(std::string_view(frame.constData(), static_cast<size_t>(frame.size())));
        audio.samples.insert(audio.samples.end(), signal.begin(), signal.end());
    }
    audio.samples.insert(audio.samples.end(), silence.begin(), silence.end());
    return hf::modem::writeWavFile(path.toStdString(), audio);
}

QByteArrayList sortedLines(const QByteArray& bytes)
{
    QByteArrayList lines = bytes.split('\n');
    lines.removeAll(QByteArray());
    std::sort(lines.begin(), lines.end());
    return lines;
}

/// The program started with a station folder written here: callsigns M0SKY (TNC), M0SKY-1
/// (APRS-IS), M0HF (HF), a scripted APRS-IS server, free local ports, time 50 times faster.
class RunningStation : public ::testing::Test {
protected:
    /// The settings files: the TNC type (or none) on comm port 2 at `tncDevice`, 2100 Hz at
    /// 48000 Hz, hourly beacons, and the main window's records listed in `on` set ("1").
    void writeStation(settings::StartupRecord tncType, const QString& tncDevice,
                      std::initializer_list<settings::MainRecord> on)
    {
        using settings::writeText;
        namespace files = settings::files;
        ASSERT_TRUE(writeText(dir.file(files::MyCall), "M0SKY"));
        ASSERT_TRUE(writeText(dir.file(files::MyCallAprsIs), "M0SKY-1"));
        ASSERT_TRUE(writeText(dir.file(files::MyCallHf), "M0HF"));
        ASSERT_TRUE(writeText(dir.file(files::GroupCall), "NOCALL"));
        ASSERT_TRUE(writeText(dir.file(files::AprsServer), "127.0.0.1"));
        ASSERT_TRUE(writeText(dir.file(files::Passcode), "-1"));
        if (!tncDevice.isEmpty()) {
            ASSERT_TRUE(settings::writeNumber(dir.file(files::TncPort), 2));
            platform::CommPortMap ports;
            ports.set(2, tncDevice);
            ASSERT_TRUE(ports.save(dir.path()));
        }

        using settings::StartupRecord;
        settings::RecordFile config1;
        const std::pair<StartupRecord, const char*> startup[] = {
            {StartupRecord::NoTnc, tncType == StartupRecord::NoTnc ? "1" : "0"},
            {tncType, "1"},
            {StartupRecord::Psk2100, "1"},
            {StartupRecord::PttPortNone, "1"},
            {StartupRecord::Beacon60Min, "1"},
            {StartupRecord::RaynetDisabled, "1"},
            {StartupRecord::SampleSpeed, "2"},
        };
        for (const auto& [record, value] : startup)
            config1.setRecord(static_cast<int>(record), value);
        ASSERT_TRUE(config1.save(dir.file(files::Config1)));

        settings::RecordFile config2;
        for (int r = 1; r <= settings::MainRecordCount; ++r)
            config2.setRecord(r, "0");
        for (settings::MainRecord r : on)
            config2.setRecord(static_cast<int>(r), "1");
        ASSERT_TRUE(config2.save(dir.file(files::Config2)));
    }

    /// Starts the program with `audioIn` as its receiver's input; returns once it has logged on
    /// to the server.
    void startStation(const QString& audioIn)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SKYLARK_TIME_SCALE", "0.02");
        program.setProcessEnvironment(env);
        const QString ports = QStringLiteral("packets=%1,ptt=0,receive-log=%2,kiss=%3,agwpe=%4,aprs-is=%5")
                                  .arg(packetsPort)
                                  .arg(receiveLogPort)
                                  .arg(testsupport::unusedTcpPort())
                                  .arg(testsupport::unusedTcpPort())
                                  .arg(server.port());
        ASSERT_TRUE(server.isListening());
        program.start(SKYLARK_BINARY, {"--station-dir", dir.path(), "--audio-in", audioIn, "--audio-out",
                                       "null", "--ports", ports});
        ASSERT_TRUE(program.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return server.received().endsWith("\r\n"); }, 60000));
        ASSERT_EQ(str(server.received()),
                  "user M0SKY-1 pass -1 vers skylark v3.33 filter g/M0SKY-1/NOCALL\r\n");
        server.clearReceived();
        // A comment line every 20 s (station time), as servers send: a link that brings
        // nothing for two minutes is left and made again.
        QObject::connect(&serverComments, &QTimer::timeout, [this] { server.send("# keepalive\r\n"); });
        serverComments.start(400);
    }

    void TearDown() override
    {
        if (program.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        EXPECT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitCode(), 0);
    }

    /// Connects to a local port once the station has let its previous client go (it turns a
    /// second client away while it still has one).
    static bool connectAsTheClient(testsupport::ScriptedTcpClient& client, quint16 port)
    {
        return waitUntil(
            [&] {
                if (!client.connectTo(port, 500))
                    return false;
                testsupport::spinFor(200);
                return client.isConnected();
            },
            20000);
    }

    /// The receive log, once every record in it has been checked to be whole.
    QByteArray wholeRecordsOf(const char* logName)
    {
        const QByteArray log = dir.read(QLatin1String(logName));
        for (const QByteArray& record : log.split('\n')) {
            if (!record.isEmpty()) {
                EXPECT_TRUE(record.startsWith('"') && record.endsWith("\"\r"))
                    << record.toHex(' ').toStdString();
            }
        }
        return log;
    }

    testsupport::TempStationDir dir;
    testsupport::ScriptedTcpServer server;
    const quint16 packetsPort = testsupport::unusedTcpPort();
    const quint16 receiveLogPort = testsupport::unusedTcpPort();
    QProcess program;
    QTimer serverComments;
};

struct Bearer {
    const char* name;
    bool kiss;
};

class ProgramHostilePeers : public RunningStation, public ::testing::WithParamInterface<Bearer> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tnc.isReady());
        // Acks "Normal", the server connected at start, "TNC" transmit, "HF digipeat" on.
        using settings::MainRecord;
        ASSERT_NO_FATAL_FAILURE(writeStation(
            GetParam().kiss ? settings::StartupRecord::KissTnc9600 : settings::StartupRecord::TextTnc9600,
            tnc.programEnd(),
            {MainRecord::AckNormal, MainRecord::AprsIsConnected, MainRecord::TxTnc, MainRecord::HfDigipeat}));
        ASSERT_NO_FATAL_FAILURE(startStation(QStringLiteral("null")));
        // The main window has opened the TNC port: its load writes Ctrl-C CR, the one
        // deliberate control byte.
        ASSERT_TRUE(tncReceives([](const QByteArray& w) { return w.contains("\x03\r"); }))
            << wire.toHex(' ').toStdString();
        wire.remove(0, wire.indexOf("\x03\r") + 2);
    }

    /// A packet heard by the TNC: a monitor line in text mode, a KISS frame in KISS mode.
    /// Returns the packet as text.
    QByteArray tncHears(const QByteArray& source, const QByteArray& path, const QByteArray& info)
    {
        const QByteArray text = source + ">APRS" + (path.isEmpty() ? "" : "," + path) + ":" + info;
        EXPECT_TRUE(tnc.write(GetParam().kiss ? kissUiFrame(source, "APRS", path, info) : text + "\r\n"));
        return text;
    }

    /// Reads what the TNC is sent until `done` holds for all of it.
    bool tncReceives(const std::function<bool(const QByteArray&)>& done)
    {
        return waitUntil(
            [&] {
                wire += tnc.readAvailable();
                return done(wire);
            },
            60000);
    }

    testsupport::PtyPair tnc;
    QByteArray wire; ///< what the TNC has received since the window's load
};

TEST_P(ProgramHostilePeers, HostilePacketsForgeNothingInjectNothingAndTheStationStillAnswers)
{
    const bool kiss = GetParam().kiss;
    testsupport::ScriptedTcpClient packets; // a local program on each port during the burst
    testsupport::ScriptedTcpClient records;
    ASSERT_TRUE(connectAsTheClient(packets, packetsPort));
    ASSERT_TRUE(connectAsTheClient(records, receiveLogPort));

    // Heard on the air: a message number carrying Ctrl-C and a command into our ack, one
    // carrying an escape sequence, paths and a third-party packet the igate must keep off the
    // internet.
    QByteArrayList expectedLocal{tncHears("G4XYZ", "WIDE1-1", ":M0SKY    :hi{\x03M0SKY EVIL"),
                                 tncHears("G4XYZ", "WIDE1-1", ":M0SKY    :esc{1\x1B[2J"),
                                 tncHears("G4XYZ", "WIDE1-1,NOGATE", ">not for the internet"),
                                 tncHears("G4XYZ", "RFONLY", ">nor for the internet"),
                                 tncHears("G4XYZ", "WIDE1-1", "}G4IN>APRS,TCPIP,G4XYZ*:>third party")};
    QByteArrayList expectedTnc;
    QByteArray expectedServer = "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-1::M0SKY    :hi{\x03M0SKY EVIL\r\n"
                                "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-1::M0SKY    :esc{1\x1B[2J\r\n";
    if (kiss) {
        // Information fields holding a second line with a forged source (CR, LF) or a NUL.
        tncHears("G4XYZ", "WIDE1-1", ">hi\rEVIL-1>APRS,qAR,G4XYZ:>forged");
        tncHears("G4XYZ", "WIDE1-1", ">hi\nEVIL-2>APRS,qAR,G4XYZ:>forged");
        tncHears("G4XYZ", "WIDE1-1", ">hi" + QByteArray(1, '\0') + "EVIL-3");
        // Every bit of the source SSID byte set, our call as the next hop, "HF digipeat" on.
        QByteArray allBits = kissUiFrame("N0CALL", "APRS", "M0SKY,WIDE2-1", ">ssid bits");
        allBits[2 + 13] = '\x7F';
        ASSERT_TRUE(tnc.write(allBits));
        expectedTnc.append("N0CALL-15>APRS,M0SKY*,WIDE2-1:>ssid bits");
        expectedLocal.append("N0CALL-15>APRS,M0SKY*,WIDE2-1:>ssid bits");
        expectedServer += "N0CALL-15>APRS,M0SKY*,WIDE2-1,qAR,M0SKY-1:>ssid bits\r\n";
    }
    // From the server: message numbers carrying control bytes, and a line holding a NUL.
    server.send("G4IS>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :hi{\x03M0SKY EVIL\r\n"
                "G4IS>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :esc{2\x1B[2J\r\n"
                "G4IS>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :nul{3" +
                QByteArray(1, '\0') + "EVIL\r\n");
    expectedLocal.append(tncHears("G4XYZ", "WIDE1-1", ">the last packet"));
    expectedServer += "G4XYZ>APRS,WIDE1-1,qAR,M0SKY-1:>the last packet\r\n";

    ASSERT_TRUE(waitUntil([&] { return server.received().contains("the last packet\r\n"); }, 30000))
        << str(server.received());
    ASSERT_TRUE(waitUntil([&] { return packets.received().contains("the last packet\r\n"); }, 30000))
        << str(packets.received());

    // Afterwards: new local programs on both ports, and a message for the station on each
    // bearer is still acknowledged.
    packets.close();
    records.close();
    testsupport::ScriptedTcpClient packetsAfter;
    testsupport::ScriptedTcpClient recordsAfter;
    ASSERT_TRUE(connectAsTheClient(packetsAfter, packetsPort));
    ASSERT_TRUE(connectAsTheClient(recordsAfter, receiveLogPort));
    tncHears("G4SRC", "WIDE1-1", ":M0SKY    :still there{12");
    server.send("G4IS>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :still there{4\r\n");
    expectedServer += "G4SRC>APRS,WIDE1-1,qAR,M0SKY-1::M0SKY    :still there{12\r\n"
                      "M0SKY-1>APSK63::G4IS     :ack4\r\n";
    const QByteArray ack = kiss ? "M0SKY>APSK63::G4SRC    :ack12\r" : ":G4SRC    :ack12\r";
    expectedTnc << ack << ack;

    ASSERT_TRUE(tncReceives([&](const QByteArray& w) { return w.count(":ack12\r") >= 2; }))
        << wire.toHex(' ').toStdString();
    ASSERT_TRUE(waitUntil([&] { return server.received().contains(":ack4\r\n"); }, 30000))
        << str(server.received());
    ASSERT_TRUE(waitUntil(
        [&] {
            return recordsAfter.received().contains("G4IS>APRS,TCPIP*,qAC,T2TEST::M0SKY-1  :still there{4");
        },
        30000))
        << str(recordsAfter.received());
    ASSERT_TRUE(waitUntil([&] { return packetsAfter.received().contains(":still there{12\r\n"); }, 30000))
        << str(packetsAfter.received());
    // Anything more (an ack to a forged number, a second copy) would have come by now.
    testsupport::spinFor(1000);
    wire += tnc.readAvailable();

    // The TNC: nothing but the digipeat and our two acks; no control byte but the line end.
    // The start-up beacon, empty here, goes out whenever the station's start lets it: an
    // empty line in text mode, a frame with no information in KISS mode.
    if (kiss) {
        KissWire sent = readKissWire(wire);
        sent.packets.removeAll("M0SKY>APSK20:");
        EXPECT_EQ(str(sent.faults), "");
        EXPECT_EQ(str(sent.packets), str(expectedTnc));
    } else {
        QByteArray lines = wire;
        while (lines.startsWith('\r'))
            lines.remove(0, 1);
        while (lines.contains("\r\r"))
            lines.replace("\r\r", "\r");
        EXPECT_EQ(str(lines), str(expectedTnc.join()));
    }
    // The server: exactly one well-formed qAR line per gated packet, our ack, nothing else.
    EXPECT_EQ(str(sortedLines(server.received())), str(sortedLines(expectedServer)));
    // The local program got each packet heard as one line as it was heard, and no forged one.
    EXPECT_EQ(str(packets.received()), str(expectedLocal.join("\r\n") + "\r\n"));
    // The receive log holds whole records only.
    const QByteArray log = wholeRecordsOf("skylark_receive.log");
    EXPECT_TRUE(log.contains("still there{12"));
    EXPECT_FALSE(log.contains("EVIL-1") || log.contains("EVIL-2") || log.contains("nul{3"));
}

// HF: a frame with a good check whose body holds a CR and a forged second line, then a plain
// one, played into the receiver from a recording.
class ProgramHostileHf : public RunningStation {};

TEST_F(ProgramHostileHf, FrameHoldingALineBreakIsNeitherGatedNorRelayed)
{
#ifdef SKYLARK_SANITIZED
    GTEST_SKIP() << "audio paced in real time: the instrumented build would measure its own speed";
#endif
    const QByteArray forged = "G4XYZ>APSK26:>hi\rEVIL-1>APRS,qAR,G4XYZ:>forged";
    const QByteArray plain = "G4XYZ>APSK26:>the last hf packet";
    const QString recording = dir.file(QStringLiteral("hf.wav"));
    ASSERT_TRUE(writeHfRecording(
        recording,
        {hf::buildFrame(forged, hf::FrameSender::Message), hf::buildFrame(plain, hf::FrameSender::Message)},
        3.0));
    using settings::MainRecord;
    ASSERT_NO_FATAL_FAILURE(
        writeStation(settings::StartupRecord::NoTnc, QString(),
                     {MainRecord::AckNormal, MainRecord::AprsIsConnected, MainRecord::TxGmsk250}));
    ASSERT_NO_FATAL_FAILURE(startStation("wav:" + recording));
    testsupport::ScriptedTcpClient packets;
    ASSERT_TRUE(connectAsTheClient(packets, packetsPort));

    ASSERT_TRUE(waitUntil([&] { return server.received().contains("the last hf packet\r\n"); }, 60000))
        << str(server.received());
    ASSERT_TRUE(waitUntil([&] { return packets.received().contains("the last hf packet\r\n"); }, 30000))
        << str(packets.received());
    testsupport::spinFor(500);
    EXPECT_EQ(str(server.received()), "G4XYZ>APSK26,qAR,M0SKY-1:>the last hf packet\r\n");
    EXPECT_EQ(str(packets.received()), str(plain + "\r\n"));
    // Heard, and logged as one record with the line break shown.
    const QByteArray heard = wholeRecordsOf("skylark_mheard.log");
    EXPECT_TRUE(heard.contains("hi<0x0D>EVIL-1")) << str(heard);
    EXPECT_FALSE(wholeRecordsOf("skylark_receive.log").contains("EVIL"));
}

INSTANTIATE_TEST_SUITE_P(TextAndKiss, ProgramHostilePeers,
                         ::testing::Values(Bearer{"TextMode", false}, Bearer{"Kiss", true}),
                         [](const ::testing::TestParamInfo<Bearer>& info) { return info.param.name; });

} // namespace
