#include "app/station_app.h"

#include "app/main_window.h"
#include "app/startup_page.h"

#include "hf/radio/audio_devices.h"
#include "platform/clock.h"
#include "hf/radio/audio_end_choice.h"
#include "hf/radio/cm108_ptt.h"
#include "hf/radio/sound_card_modem.h"
#include "station/waits.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace app {

QString resolveStationDir(const QString& requested, const QString& executableDir)
{
    if (!requested.isEmpty()) {
        QDir().mkpath(requested);
        return QFileInfo(requested).absoluteFilePath();
    }
    if (QFileInfo(executableDir).isWritable())
        return executableDir;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString dir = base + QStringLiteral("/skylark");
    QDir().mkpath(dir);
    return dir;
}

StationApp::StationApp(StationOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options))
{
    m_state.stationDir = m_options.stationDir;
    m_state.tcpPorts = m_options.tcpPorts;
    m_state.startLinks = m_options.startLinks;
    m_waits = std::make_unique<station::Waits>(m_state);
    m_ports = platform::CommPortMap::load(m_state.stationDir);
    if (m_ports.assign(platform::CommPortMap::systemDevices()))
        m_ports.save(m_state.stationDir);
}

StationApp::~StationApp() = default;

void StationApp::start()
{
    m_startup = std::make_unique<StartupPage>(m_state, m_ports, hf::radio::listAudioDevices());
    connect(m_startup.get(), &StartupPage::startRequested, this, &StationApp::openMainWindow);
    connect(m_startup.get(), &StartupPage::closedBeforeStart, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    m_startup->show();
    m_startup->load();
}

void StationApp::openMainWindow()
{
    if (m_main)
        return;
    m_main = std::make_unique<MainWindow>(m_state, *m_waits, m_ports, m_startup.get());
    m_main->setModemFactory(soundCardModemFactory(m_options, m_state, m_ports));
    if (!m_options.spaceWeatherUrl.isEmpty())
        m_main->setSpaceWeatherUrl(QUrl(m_options.spaceWeatherUrl));
    m_main->show();
    m_main->load();
    emit mainWindowLoaded();
}

// --- Sound-card modem ---------------------------------------------------------------------------
hf::radio::PttChoice pttChoiceOf(const station::StationState& state)
{
    const settings::DeviceSettings& d = state.devices;
    hf::radio::PttChoice ptt;
    ptt.rts = state.rtsFlag;
    ptt.dtr = state.dtrFlag;
    switch (d.ptt) {
    case settings::PttKind::SerialLines:
        break;
    case settings::PttKind::Hamlib:
        ptt.kind = hf::radio::PttChoice::Kind::Hamlib;
        ptt.hamlibModel = d.hamlibModel;
        ptt.hamlibDevice = QString::fromLatin1(d.hamlibDevice);
        ptt.hamlibSpeed = d.hamlibSpeed;
        break;
    case settings::PttKind::Cm108:
        ptt.kind = hf::radio::PttChoice::Kind::Cm108;
        ptt.cm108Gpio = d.cm108Gpio;
        ptt.cm108Device = QString::fromLatin1(d.cm108Device);
        if (ptt.cm108Device.isEmpty() && state.txSoundCard > 0) {
            // The hidraw device of the transmit sound card, where the system says which it is.
            const QStringList outputs = hf::radio::listAudioDevices().outputs;
            if (state.txSoundCard <= outputs.size())
                if (const auto card = hf::radio::alsaCardOf(outputs[state.txSoundCard - 1]))
                    ptt.cm108Device = hf::radio::hidrawForSoundCard(*card);
        }
        break;
    }
    return ptt;
}

MainWindow::ModemFactory soundCardModemFactory(const StationOptions& options,
                                               const station::StationState& state,
                                               const platform::CommPortMap& ports)
{
    // The station always runs the real modem, so the window shows what it does: on the sound
    // devices by default, on the ends given on the command line otherwise (null ends included,
    // which keep the receiver running on silence).
    return [options, &state, &ports]() -> std::unique_ptr<hf::Modem> {
        hf::radio::SoundCardModem::Config config;
        if (const auto in = hf::radio::parseAudioEnd(options.audioIn, true))
            config.input = hf::radio::makeInputFactory(*in);
        if (const auto out = hf::radio::parseAudioEnd(options.audioOut, false))
            config.output = hf::radio::makeOutputFactory(*out);
        config.pttDevice = [&ports](int n) { return ports.device(n); };
        config.ptt = pttChoiceOf(state);
        // Files and null ends keep station time, which tests may run faster.
        config.speed = 1.0 / platform::Clock::timeScale();
        return std::make_unique<hf::radio::SoundCardModem>(std::move(config));
    };
}
// --- end sound-card modem -------------------------------------------------------------------------

void StationApp::requestClose()
{
    if (m_main)
        m_main->close();
    else if (m_startup)
        m_startup->close();
    else
        QCoreApplication::quit();
}

} // namespace app
