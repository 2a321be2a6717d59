// Two complete stations in one process, their sound-card modems joined by an in-memory audio
// path with noise added (A's transmitter into B's receiver and back): a message typed at A goes
// out on HF (Latin-1 letters included), B shows it and acknowledges it on HF, and A's retries
// stop at the acknowledgement.
// Everything runs through the real windows, with station time and audio ten times faster.
#include "app/main_window.h"

#include "hf/hf_link.h"
#include "hf/radio/memory_audio.h"
#include "hf/radio/sound_card_modem.h"
#include "platform/clock.h"
#include "platform/comm_port_map.h"
#include "platform/dialog_service.h"
#include "platform/url_opener.h"
#include "position/beacon_station.h"
#include "station/station_state.h"
#include "station/waits.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

// Station time and audio run five times faster: the two modems keep up with that on a busy machine,
// so the acknowledgement is heard within the retry schedule as it would be on the air.
constexpr double kTimeScale = 0.2;
constexpr int kSampleRate = 11025;
constexpr double kNoiseRms = 0.05; // white noise at each receiving end, full scale 1

/// One station: its own folder, state, waits and window, on the sound-card modem whose audio
/// goes into `out` and comes from `in`.
struct Station {
    Station(const QByteArray& call, std::shared_ptr<hf::radio::AudioPipe> in,
            std::shared_ptr<hf::radio::AudioPipe> out)
    {
        state.stationDir = dir.path();
        state.sampleSpeedCode = 1; // 11025 Hz
        state.tcpPorts = {0,
                          0,
                          0,
                          testsupport::unusedTcpPort(),
                          testsupport::unusedTcpPort(),
                          testsupport::unusedTcpPort()};
        main = std::make_unique<app::MainWindow>(state, waits, ports, nullptr);
        main->setSpaceWeatherUrl(QUrl(QStringLiteral("http://127.0.0.1:9/text/wwv.txt")));
        main->setModemFactory([this, in, out]() -> std::unique_ptr<hf::Modem> {
            hf::radio::SoundCardModem::Config config;
            config.input = [in] { return std::make_unique<hf::radio::MemoryInput>(in); };
            config.output = [out] { return std::make_unique<hf::radio::MemoryOutput>(out); };
            config.speed = 1.0 / platform::Clock::timeScale();
            config.trace = [this](const char* what) {
                if (std::string_view(what) == "ptt on")
                    ++transmissions;
            };
            return std::make_unique<hf::radio::SoundCardModem>(std::move(config));
        });
        main->load();
        main->beacons().startupBeaconTimer().stop(); // no start-up beacon across the exchange
        state.hfCall = call;
    }
    ~Station()
    {
        main->close();
        main.reset();
    }
    template <typename T> T* in(const char* name) { return main->findChild<T*>(QLatin1String(name)); }
    QString messages() { return in<QPlainTextEdit>("messagesDisplay")->toPlainText(); }
    QString traffic() { return in<QPlainTextEdit>("hfTrafficDisplay")->toPlainText(); }

    testsupport::TempStationDir dir;
    station::StationState state;
    station::Waits waits{state};
    platform::CommPortMap ports;
    std::unique_ptr<app::MainWindow> main;
    std::atomic<int> transmissions{0}; ///< times the modem keyed its transmitter
};

class TwoStationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(kTimeScale);
        platform::DialogService::install(&dialogs);
        platform::UrlOpener::install(&opener);
    }
    void TearDown() override
    {
        b.reset();
        a.reset();
        platform::DialogService::install(nullptr);
        platform::UrlOpener::install(nullptr);
    }
    void open()
    {
        auto aToB = std::make_shared<hf::radio::AudioPipe>(kSampleRate, kNoiseRms, 1);
        auto bToA = std::make_shared<hf::radio::AudioPipe>(kSampleRate, kNoiseRms, 2);
        a = std::make_unique<Station>("M0AAA", bToA, aToB);
        b = std::make_unique<Station>("M0BBB", aToB, bToA);
    }

    platform::RecordingDialogService dialogs;
    platform::RecordingUrlOpener opener;
    std::unique_ptr<Station> a;
    std::unique_ptr<Station> b;
};

struct Mode {
    const char* option; ///< the transmit option on both stations
    const char* caption;
    const char* tocall;
    const char* skip = nullptr; ///< why the mode cannot make the exchange yet
};

class TwoStationModeTest : public TwoStationTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(TwoStationModeTest, MessageIsShownAcknowledgedOnHfAndRetriesStopAtTheAck)
{
#ifdef SKYLARK_SANITIZED
    GTEST_SKIP() << "audio paced in real time: the instrumented build would measure its own speed";
#endif
    const Mode& mode = GetParam();
    if (mode.skip)
        GTEST_SKIP() << mode.skip;
    open();
    for (Station* s : {a.get(), b.get()}) {
        auto* option = s->in<QRadioButton>(mode.option);
        ASSERT_EQ(option->text(), QLatin1String(mode.caption));
        option->click();
        s->in<QRadioButton>("aprsMessagingOption")->click(); // "APRS Messaging"
        s->in<QRadioButton>("normalAcksOption")->click();    // ACK "Normal"
    }
    bool retriesEnded = false;
    bool acknowledged = false;
    QObject::connect(a->main->hfLink(), &hf::HfLink::retryFinished, [&](bool ack) {
        retriesEnded = true;
        acknowledged = ack;
    });

    // Let both receivers settle on their carriers before the first transmission.
    testsupport::spinFor(300);
    a->in<QLineEdit>("sendToField")->setText(QStringLiteral("M0BBB"));
    // Latin-1 text ("é", "£") crosses the air and checks good at the far end.
    a->in<QLineEdit>("messageInput")->setText(QString::fromLatin1("h\xE9llo over the air \xA3"));
    // The send runs its retries in waits of its own: click from the event loop, not from here.
    QTimer::singleShot(0, a->in<QPushButton>("sendButton"), &QPushButton::click);

    const QString body = QString::fromLatin1("M0AAA>%1::M0BBB    :h\xE9llo over the air \xA3{")
                             .arg(QLatin1String(mode.tocall));
    EXPECT_TRUE(testsupport::waitUntil([&] { return b->traffic().contains(body); }, 20000))
        << "B's HF traffic: " << b->traffic().toStdString();
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return b->messages().contains(QStringLiteral("From: M0AAA To: :M0BBB")); }, 5000))
        << "B's messages: " << b->messages().toStdString();

    const QString ack = QStringLiteral("M0BBB>%1::M0AAA    :ack").arg(QLatin1String(mode.tocall));
    EXPECT_TRUE(testsupport::waitUntil([&] { return a->traffic().contains(ack); }, 20000))
        << "A's HF traffic: " << a->traffic().toStdString();
    ASSERT_TRUE(testsupport::waitUntil([&] { return retriesEnded; }, 20000));
    EXPECT_TRUE(acknowledged);
    EXPECT_TRUE(a->in<QPushButton>("sendButton")->isEnabled());
    EXPECT_GE(b->transmissions.load(), 1);

    // No further transmission from A after the acknowledgement: wait past the first retry.
    const int sent = a->transmissions.load();
    EXPECT_GE(sent, 1);
    testsupport::spinFor(static_cast<int>(16000 * kTimeScale));
    EXPECT_EQ(a->transmissions.load(), sent);
}

INSTANTIATE_TEST_SUITE_P(HfModes, TwoStationModeTest,
                         ::testing::Values(Mode{"psk63Option", "PSK-63", "APSK63"},
                                           Mode{"gmsk250Option", "GMSK-250", "APSK26"}),
                         [](const auto& info) {
                             return std::string(info.param.option) == "psk63Option" ? "Psk63" : "Gmsk250";
                         });

} // namespace
