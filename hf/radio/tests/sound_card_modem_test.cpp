// The sound-card modem through its Modem interface, with files, in-memory audio and generated
// audio on its ends (no sound device is needed).
// The DSP headers first: they use "emit" as a name, which Qt defines as a keyword.
#include "hf/modem/channel_plan.h"
#include "hf/modem/demodulator.h"
#include "hf/modem/mode.h"

#include "hf/radio/tests/radio_test_util.h"

#include "hf/radio/memory_audio.h"
#include "hf/radio/sound_card_modem.h"
#include "hf/radio/wav_ends.h"

#include "hf/frame_assembler.h"
#include "hf/hf_frame.h"
#include "tests/support/wait_until.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <random>

using namespace hf::radio;

namespace {

/// The station's receive plan around `f`, channel 0 in `mode`.
void applyPlan(hf::Modem& modem, int f, const QByteArray& mode0, double rate0, int squelch0)
{
    for (int ch = 0; ch < hf::Modem::kChannelCount; ++ch) {
        const auto& e = hf::modem::kChannelPlan[static_cast<std::size_t>(ch)];
        modem.setChannelMode(ch, QByteArray(e.mode.data(), static_cast<qsizetype>(e.mode.size())));
        modem.setChannelRate(ch, e.rate);
        modem.setChannelSquelch(ch, e.squelch);
        modem.setChannelCarrier(ch, f + static_cast<int>(e.offset));
    }
    modem.setChannelMode(0, mode0);
    modem.setChannelRate(0, rate0);
    modem.setChannelSquelch(0, squelch0);
    modem.setCarrierFrequency(f);
}

/// Frames assembled from everything a modem decodes.
struct FrameCollector {
    explicit FrameCollector(hf::Modem& modem)
    {
        QObject::connect(&modem, &hf::Modem::textReceived, &context, [this](int ch, const QByteArray& text) {
            assembler.append(ch, text);
            for (const auto& f : assembler.tick(clock.elapsed() + 10000))
                frames.append(f);
        });
        clock.start();
    }
    bool hasGood(const QByteArray& body) const
    {
        for (const auto& f : frames)
            if (f.good && f.text.contains(body))
                return true;
        return false;
    }
    int goodCount() const
    {
        int n = 0;
        for (const auto& f : frames)
            n += f.good ? 1 : 0;
        return n;
    }
    QObject context;
    hf::FrameAssembler assembler;
    QList<hf::AssembledFrame> frames;
    QElapsedTimer clock;
};

struct Recording {
    const char* file;
    int carrier;
    const char* mode;
    double rate;
    int squelch;
    const char* body;
};

} // namespace

TEST(SoundCardModem, EveryReferenceRecordingDecodesToItsFrame)
{
    const Recording recordings[] = {
        {"psk63-48k-1500.wav", 1500, "BPSK", 62.5, 500, "N0CALL>APSK63:=4807.03N/01131.00E>PSK63 reference"},
        {"psk63-11k-2100-noisy.wav", 2100, "BPSK", 62.5, 500,
         "N0CALL>APSK63::N1CALL   :noisy PSK63 at -6 dB{12"},
        {"psk250-11k-2100.wav", 2100, "BPSK", 250, 1500, "N0CALL-7>APSK25,WIDE2-1:>PSK250 reference status"},
        {"qpsk125-11k-2100.wav", 2100, "qpsk-U", 125, 1000, "N0CALL>APSK14::N1CALL-2 :QPSK125 reference{3"},
        {"qpsk250-48k-1500.wav", 1500, "qpsk-U", 250, 600, "N0CALL>APSK27:>QPSK250 reference"},
        {"mfsk16-11k-2100.wav", 2100, "mfsk-U", 15.625, 500, "N0CALL>APSK16::N1CALL   :ack12"},
        {"mfsk16-11k-1500-noisy.wav", 1500, "mfsk-U", 15.625, 500, "N0CALL>APSK16:>MFSK16 at -10 dB"},
    };
    for (const Recording& r : recordings) {
        SCOPED_TRACE(r.file);
        const QString path =
            qEnvironmentVariable("SKYLARK_TEST_DATA") + QStringLiteral("/hf/") + QString::fromLatin1(r.file);
        SoundCardModem::Config config;
        config.input = [path] { return std::make_unique<WavInput>(path); };
        config.output = [] { return std::make_unique<NullOutput>(); };
        config.speed = 12;
        SoundCardModem modem(std::move(config));
        FrameCollector frames(modem);
        QSignalSpy periodic(&modem, &hf::Modem::periodic);
        applyPlan(modem, r.carrier, r.mode, r.rate, r.squelch);
        modem.setRunning(true);
        EXPECT_TRUE(testsupport::waitUntil([&] { return frames.hasGood(r.body); }, 20000));
        EXPECT_GT(periodic.count(), 0);
        EXPECT_TRUE(modem.status().startsWith(QStringLiteral("HF modem running")))
            << modem.status().toStdString();
    }
}

TEST(SoundCardModem, TwoModemsTalkOverANoisyPathAndPttFramesTheAudio)
{
#ifdef SKYLARK_SANITIZED
    GTEST_SKIP() << "audio paced in real time: the instrumented build would measure its own speed";
#endif
    auto aToB = std::make_shared<AudioPipe>(11025, 0.05, 1);
    auto bToA = std::make_shared<AudioPipe>(11025, 0.05, 2);
    auto log = std::make_shared<radiotest::EventLog>();
    SoundCardModem::Config ca;
    ca.input = [bToA] { return std::make_unique<MemoryInput>(bToA); };
    ca.output = [aToB] { return std::make_unique<MemoryOutput>(aToB); };
    ca.speed = 8;
    ca.trace = [log](const char* e) { log->add(e); };
    SoundCardModem::Config cb;
    cb.input = [aToB] { return std::make_unique<MemoryInput>(aToB); };
    cb.output = [bToA] { return std::make_unique<MemoryOutput>(bToA); };
    cb.speed = 8;
    SoundCardModem a(std::move(ca));
    SoundCardModem b(std::move(cb));
    for (SoundCardModem* m : {&a, &b}) {
        m->setSampleRate(11025);
        applyPlan(*m, 1500, "BPSK", 62.5, 500);
        m->setRunning(true);
    }
    FrameCollector atB(b);
    FrameCollector atA(a);
    QSignalSpy txA(&a, &hf::Modem::transmitStateChanged);

    const QByteArray body = "G4ABC>APSK63::N1CALL   :hello over the air{7";
    a.setTransmitter(true);
    EXPECT_EQ(a.state(), hf::Modem::kStateTransmitting);
    a.queueText(hf::buildFrame(body, hf::FrameSender::Message));
    a.setEndAfterQueue(true);
    const bool ended = testsupport::waitUntil([&] { return txA.count() == 2; }, 20000);
    if (!ended)
        std::printf("A: %s state %d tx %d events %s\n", qPrintable(a.status()), a.state(), int(txA.count()),
                    log->snapshot().join(',').constData());
    ASSERT_TRUE(ended);
    EXPECT_EQ(txA.at(0).at(0).toBool(), true);
    EXPECT_EQ(txA.at(1).at(0).toBool(), false);
    EXPECT_EQ(a.state(), hf::Modem::kStateIdle);
    const bool heard = testsupport::waitUntil([&] { return atB.hasGood(body); }, 10000);
    if (!heard)
        std::printf("B: %s level %d A: %s\n", qPrintable(b.status()), b.signalLevel(),
                    qPrintable(a.status()));
    ASSERT_TRUE(heard);

    // PTT keyed before the first sample, released only after the last one was played.
    const QByteArrayList events = log->snapshot();
    EXPECT_EQ(events.first(), "ptt on");
    EXPECT_EQ(events.last(), "ptt off");

    const QByteArray reply = "N1CALL>APSK63::G4ABC    :ack7";
    b.queueText(hf::buildFrame(reply, hf::FrameSender::Ack));
    b.setEndAfterQueue(true);
    EXPECT_TRUE(testsupport::waitUntil([&] { return atA.hasGood(reply); }, 20000));
}

TEST(SoundCardModem, PttAndAudioEventsComeInOrderAndTheAudioDecodesExactly)
{
    auto log = std::make_shared<radiotest::EventLog>();
    SoundCardModem::Config config;
    config.input = [] { return std::make_unique<NullInput>(); };
    config.output = [log] { return std::make_unique<radiotest::RecordingOutput>(log); };
    config.speed = 10;
    config.trace = [log](const char* e) { log->add(e); };
    SoundCardModem modem(std::move(config));
    modem.setSampleRate(11025);
    applyPlan(modem, 1000, "GMSK", 250, 1500);
    modem.setRunning(true);
    QSignalSpy tx(&modem, &hf::Modem::transmitStateChanged);
    const QByteArray frame = hf::buildFrame("G4ABC>APSK26:>beacon text", hf::FrameSender::Message);
    modem.setTransmitter(true);
    modem.queueText(frame);
    modem.setEndAfterQueue(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return tx.count() == 2; }, 20000));
    EXPECT_EQ(log->snapshot(), (QByteArrayList{"ptt on", "audio", "played", "ptt off"}));

    const std::vector<float> audio = log->recorded();
    hf::modem::Demodulator demod(11025, *hf::modem::modeFromChannel("GMSK", 250), 1000, 0);
    std::string text;
    demod.process(audio.data(), audio.size(), text);
    EXPECT_NE(text.find(frame.toStdString()), std::string::npos) << text;
}

TEST(SoundCardModem, ReleasingTheTransmitterDropsTheRestAtOnce)
{
    auto log = std::make_shared<radiotest::EventLog>();
    SoundCardModem::Config config;
    config.input = [] { return std::make_unique<NullInput>(); };
    config.output = [log] { return std::make_unique<radiotest::RecordingOutput>(log); };
    config.trace = [log](const char* e) { log->add(e); };
    SoundCardModem modem(std::move(config)); // real time: the text would take minutes
    applyPlan(modem, 1500, "mfsk-U", 15.625, 500);
    modem.setRunning(true);
    QSignalSpy tx(&modem, &hf::Modem::transmitStateChanged);
    modem.setTransmitter(true);
    modem.queueText(QByteArray(400, 'x'));
    modem.setEndAfterQueue(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return log->snapshot().contains("audio"); }));
    modem.setTransmitter(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return tx.count() == 2; }));
    EXPECT_EQ(modem.state(), hf::Modem::kStateIdle);
    EXPECT_EQ(log->snapshot().last(), "ptt off");
}

TEST(SoundCardModem, TuneCarrierRunsUntilReleased)
{
    auto log = std::make_shared<radiotest::EventLog>();
    SoundCardModem::Config config;
    config.input = [] { return std::make_unique<NullInput>(); };
    config.output = [log] { return std::make_unique<radiotest::RecordingOutput>(log); };
    SoundCardModem modem(std::move(config));
    modem.setCarrierFrequency(1800);
    modem.setRunning(true);
    QSignalSpy tx(&modem, &hf::Modem::transmitStateChanged);
    modem.sendTune(4);
    EXPECT_EQ(modem.state(), hf::Modem::kStateTransmitting);
    ASSERT_TRUE(testsupport::waitUntil([&] { return log->recorded().size() > 2000; }));
    modem.setTransmitter(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return tx.count() == 2; }));
    const auto audio = log->recorded();
    // A steady carrier: the peak stays at the tune amplitude after the soft start.
    float peak = 0;
    for (std::size_t i = 1000; i < audio.size(); ++i)
        peak = std::max(peak, std::abs(audio[i]));
    EXPECT_NEAR(peak, 0.8f, 0.01f);
}

TEST(SoundCardModem, WithoutASoundDeviceItStaysIdleAndSaysSo)
{
    SoundCardModem modem(SoundCardModem::Config{}); // the sound devices of the machine
    QSignalSpy status(&modem, &SoundCardModem::statusChanged);
    modem.setSoundDevices("7,7"); // no machine here has eight sound devices
    modem.setSampleRate(11025);
    modem.setRunning(true);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return modem.status().startsWith(QStringLiteral("HF modem idle")); }));
    EXPECT_TRUE(modem.status().contains(QStringLiteral("not found"))) << modem.status().toStdString();
    modem.setTransmitter(true);
    modem.queueText("nothing to send it with");
    testsupport::spinFor(100);
    EXPECT_EQ(modem.state(), hf::Modem::kStateIdle);
    modem.setRunning(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return modem.status() == QStringLiteral("HF modem off"); }));
}

TEST(SoundCardModem, RandomAudioForMinutesDecodesNoGoodFrame)
{
    static constexpr int rate = 11025;
    static constexpr std::size_t total = static_cast<std::size_t>(rate) * 60 * 5; // five minutes
    auto consumed = std::make_shared<std::atomic<std::size_t>>(0);
    SoundCardModem::Config config;
    config.input = [consumed] {
        auto random = std::make_shared<std::mt19937>(12345);
        auto pos = std::make_shared<std::size_t>(0);
        return std::unique_ptr<hf::radio::AudioInput>(
            new radiotest::GeneratedInput(rate, total, [random, pos, consumed](float* out, std::size_t n) {
                std::uniform_real_distribution<float> u(-1.0f, 1.0f);
                for (std::size_t i = 0; i < n; ++i, ++*pos) {
                    const std::size_t segment = (*pos / (rate * 3)) % 5; // 3 s of each kind
                    const double t = static_cast<double>(*pos) / rate;
                    switch (segment) {
                    case 0:
                        out[i] = 0.0f;
                        break; // silence
                    case 1:
                        out[i] = u(*random);
                        break; // full-scale noise
                    case 2:
                        out[i] = std::sin(6283.0 * t * 1.5) > 0 ? 1.0f : -1.0f;
                        break; // clipped tone
                    case 3:
                        out[i] = (*pos & 1) ? 1.0f : -1.0f;
                        break; // extremes
                    default:
                        out[i] = std::clamp(4.0f * static_cast<float>(std::sin(6283.0 * t * 2.1)) +
                                                0.3f * u(*random),
                                            -1.0f, 1.0f);
                    }
                }
                consumed->fetch_add(n);
            }));
    };
    config.output = [] { return std::make_unique<NullOutput>(); };
    config.speed = 200;
    SoundCardModem modem(std::move(config));
    FrameCollector frames(modem);
    applyPlan(modem, 1500, "GMSK", 250, 1500);
    modem.setChannelSquelch(0, 0); // channel 0 wide open: everything it "decodes" is delivered
    modem.setRunning(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return consumed->load() >= total; }, 600000));
    testsupport::spinFor(100);
    EXPECT_EQ(frames.goodCount(), 0);
    EXPECT_GE(modem.signalLevel(), 0);
    EXPECT_LE(modem.signalLevel(), 4000);
}
