// The audio ends on their own: sample coding, command-line parsing, the WAV recorder, UDP
// input, the notch, the PTT line on a pseudo-terminal and the watch on a sound device.
#include "hf/radio/audio_end_choice.h"
#include "hf/radio/notch_filter.h"
#include "hf/radio/pcm16.h"
#include "hf/radio/ptt_line.h"
#include "hf/radio/sound_device_ends.h"
#include "hf/radio/udp_input.h"
#include "hf/radio/wav_ends.h"

#include "hf/modem/wav_file.h"

#include "tests/support/pty_pair.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

using namespace hf::radio;

TEST(CallbackWatch, ADeviceIsGoneOnlyAfterTwoHundredQuietChecksInARow)
{
    CallbackWatch watch;
    for (int round = 0; round < 2; ++round) { // a callback starts the count again
        for (int check = 1; check <= 200; ++check)
            ASSERT_FALSE(watch.gone()) << round << " " << check;
        watch.called();
    }
    EXPECT_FALSE(watch.gone()) << "the callback is seen";
    for (int check = 1; check < 200; ++check)
        watch.gone();
    EXPECT_FALSE(watch.gone());
    EXPECT_TRUE(watch.gone());
    EXPECT_TRUE(watch.gone()) << "and stays gone";
    watch.called();
    EXPECT_FALSE(watch.gone()) << "a device that calls back again is there";
}

TEST(Pcm16, DecodesLittleEndianAndIgnoresAnOddByte)
{
    std::vector<float> out;
    EXPECT_EQ(decodePcm16(QByteArray("\x00\x80\xff\x7f\x01\x00\x05", 7), out, 100), 3u);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 32767.0f / 32768.0f);
    EXPECT_EQ(out[2], 1.0f / 32768.0f);
    out.clear();
    EXPECT_EQ(decodePcm16(QByteArray(10, '\0'), out, 2), 2u); // bounded by max
}

TEST(Pcm16, EncodeClipsAndDropsNonFinite)
{
    const float in[] = {2.0f, -2.0f, NAN, 0.5f};
    const QByteArray b = encodePcm16(in, 4);
    std::vector<float> back;
    decodePcm16(b, back, 10);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_NEAR(back[0], 1.0f, 1e-4);
    EXPECT_NEAR(back[1], -1.0f, 1e-4);
    EXPECT_EQ(back[2], 0.0f);
    EXPECT_NEAR(back[3], 0.5f, 1e-4);
}

TEST(AudioEndChoices, ParsesTheCommandLineForms)
{
    struct Case {
        const char* text;
        bool input;
        bool ok;
        AudioEndChoice::Kind kind;
    };
    const Case cases[] = {
        {"null", true, true, AudioEndChoice::Kind::Null},
        {"null", false, true, AudioEndChoice::Kind::Null},
        {"wav:a.wav", true, true, AudioEndChoice::Kind::Wav},
        {"wav:a.wav", false, true, AudioEndChoice::Kind::Wav},
        {"wav:", true, false, {}},
        {"udp:7355", true, true, AudioEndChoice::Kind::Udp},
        {"udp:7355", false, false, {}},
        {"udp:0", true, false, {}},
        {"udp:65536", true, false, {}},
        {"udp:x", true, false, {}},
        {"pulse", true, false, {}},
    };
    for (const Case& c : cases) {
        const auto choice = parseAudioEnd(QString::fromLatin1(c.text), c.input);
        EXPECT_EQ(choice.has_value(), c.ok) << c.text;
        if (choice && c.ok) {
            EXPECT_EQ(choice->kind, c.kind) << c.text;
        }
    }
    EXPECT_EQ(parseAudioEnd(QStringLiteral("udp:7355"), true)->port, 7355);
    EXPECT_EQ(parseAudioEnd(QStringLiteral("wav:/x/y.wav"), false)->path, QStringLiteral("/x/y.wav"));
}

TEST(WavOutputEnd, RecordsEverythingPlayedAsAValidFile)
{
    testsupport::TempStationDir dir;
    const QString path = dir.path() + QStringLiteral("/out.wav");
    std::vector<float> tone(11025);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / 11025));
    {
        WavOutput out(path);
        QString error;
        ASSERT_TRUE(out.open(AudioRequest{11025, -1, 0, 50.0}, error)) << error.toStdString();
        EXPECT_EQ(out.write(tone.data(), tone.size()), static_cast<std::ptrdiff_t>(tone.size()));
        ASSERT_TRUE(testsupport::waitUntil([&] { return out.pending() == 0; }));
        out.endOfTransmission();
        const auto wav = hf::modem::readWavFile(path.toStdString());
        ASSERT_TRUE(wav);
        EXPECT_EQ(wav->sampleRate, 11025);
        ASSERT_EQ(wav->samples.size(), tone.size());
        for (std::size_t i = 0; i < tone.size(); i += 997)
            EXPECT_NEAR(wav->samples[i], tone[i], 1e-4);
    }
}

// A stereo float recording, as SDR programs write them, plays its chosen channel, read as it
// plays: at its own rate when the receiver takes it, converted to the modem's otherwise.
TEST(WavInputEnd, PlaysTheChosenChannelAtARateTheReceiverTakes)
{
    testsupport::TempStationDir dir;
    const QString mono = dir.path() + QStringLiteral("/mono.wav");
    const QString stereo = dir.path() + QStringLiteral("/stereo.wav");
    hf::modem::WavAudio tone{22050, std::vector<float>(22050)};
    for (std::size_t i = 0; i < tone.samples.size(); ++i)
        tone.samples[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / 22050));
    ASSERT_TRUE(hf::modem::writeWavFile(mono.toStdString(), tone));
    struct Case {
        int fileRate;
        int inputChannel;
        int playedRate;
    };
    for (const Case c : {Case{22050, 1, 22050}, Case{22050, 2, 22050}, Case{256000, 2, 11025}}) {
        SCOPED_TRACE(c.fileRate + c.inputChannel);
        // Left silent, the tone on the right, 32-bit float.
        const QString sox = QStringLiteral("sox '%1' -e floating-point -b 32 -c 2 -r %3 '%2' remix 0 1")
                                .arg(mono, stereo)
                                .arg(c.fileRate);
        ASSERT_EQ(std::system(sox.toLocal8Bit().constData()), 0);
        WavInput in(stereo);
        QString error;
        ASSERT_TRUE(in.open(AudioRequest{11025, -1, c.inputChannel, 1000.0}, error)) << error.toStdString();
        EXPECT_EQ(in.sampleRate(), c.playedRate);
        std::vector<float> got;
        std::vector<float> block(2048);
        ASSERT_TRUE(testsupport::waitUntil([&] {
            const auto n = in.read(block.data(), block.size());
            got.insert(got.end(), block.begin(), block.begin() + std::max<std::ptrdiff_t>(n, 0));
            return in.finished();
        }));
        EXPECT_NEAR(static_cast<double>(got.size()), c.playedRate, 2048.0);
        double power = 0.0;
        for (std::size_t i = got.size() / 4; i < got.size() * 3 / 4; ++i)
            power += static_cast<double>(got[i]) * got[i];
        power /= static_cast<double>(got.size() / 2);
        EXPECT_NEAR(power, c.inputChannel == 2 ? 0.125 : 0.0, 0.01);
    }
}

TEST(WavInputEnd, AMissingOrForeignFileIsAnErrorNotACrash)
{
    testsupport::TempStationDir dir;
    QFile f(dir.path() + QStringLiteral("/junk.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF\xff\xff\xff\xffWAVEjunk");
    f.close();
    for (const QString& path : {f.fileName(), dir.path() + QStringLiteral("/none.wav")}) {
        WavInput in(path);
        QString error;
        EXPECT_FALSE(in.open(AudioRequest{}, error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(UdpInputEnd, TakesDatagramsOfSamplesOnLoopback)
{
    QUdpSocket probe; // a free port
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    probe.close();
    UdpInput in(port);
    QString error;
    ASSERT_TRUE(in.open(AudioRequest{11025, -1, 0, 1.0}, error)) << error.toStdString();
    QUdpSocket sender;
    const float sent[] = {0.25f, -0.5f, 0.75f};
    sender.writeDatagram(encodePcm16(sent, 3) + QByteArray(1, 'x'), QHostAddress::LocalHost, port);
    std::vector<float> got(16);
    std::ptrdiff_t n = 0;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        n = in.read(got.data(), got.size());
        return n > 0;
    }));
    ASSERT_EQ(n, 3);
    EXPECT_NEAR(got[0], 0.25f, 1e-4);
    EXPECT_NEAR(got[1], -0.5f, 1e-4);
    EXPECT_NEAR(got[2], 0.75f, 1e-4);
}

TEST(Notch, TakesOutItsFrequencyAndPassesOthers)
{
    auto rmsAfter = [](double notchHz, double toneHz) {
        NotchFilter f;
        f.set(notchHz, 11025);
        std::vector<float> x(11025);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] =
                static_cast<float>(std::sin(2 * std::numbers::pi * toneHz * static_cast<double>(i) / 11025));
        f.process(x.data(), x.size());
        double sum = 0;
        for (std::size_t i = x.size() / 2; i < x.size(); ++i)
            sum += x[i] * x[i];
        return std::sqrt(sum / static_cast<double>(x.size() / 2));
    };
    EXPECT_LT(rmsAfter(1000, 1000), 0.01);
    EXPECT_NEAR(rmsAfter(1000, 1500), std::sqrt(0.5), 0.05);
    EXPECT_NEAR(rmsAfter(0, 1000), std::sqrt(0.5), 1e-3);   // off
    EXPECT_NEAR(rmsAfter(1e9, 1000), std::sqrt(0.5), 1e-3); // nonsense frequency: off
}

TEST(PttLineOnAPseudoTerminal, KeysOrReportsTheLineOnce)
{
    testsupport::PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    PttLine ptt;
    ptt.configure(pty.programEnd(), true, true);
    const bool keyed = ptt.set(true);
    ptt.set(false);
    ptt.set(true);
    ptt.set(false);
    // A pseudo-terminal has no modem-control lines on Linux: the failure is there to report,
    // exactly once. On a platform where it works there is nothing to report.
    EXPECT_EQ(ptt.takeFirstFailure(), !keyed);
    EXPECT_FALSE(ptt.takeFirstFailure());
    if (!keyed) {
        EXPECT_TRUE(ptt.lastError().contains(QStringLiteral("RTS+DTR")));
    }
}

TEST(PttLine, NoDeviceKeysNothingAndNeverFails)
{
    PttLine ptt;
    EXPECT_TRUE(ptt.set(true));
    EXPECT_TRUE(ptt.keyed());
    EXPECT_TRUE(ptt.set(false));
    EXPECT_FALSE(ptt.takeFirstFailure());
}

TEST(PttLine, AMissingPortIsReportedOnce)
{
    PttLine ptt;
    ptt.configure(QStringLiteral("/dev/does-not-exist-ptt"), true, false);
    EXPECT_FALSE(ptt.set(true));
    EXPECT_TRUE(ptt.takeFirstFailure());
    EXPECT_FALSE(ptt.set(true));
    EXPECT_FALSE(ptt.takeFirstFailure());
}
