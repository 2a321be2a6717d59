#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "platform/comm_port_map.h"
#include "hf/radio/ptt_switch.h"
#include "station/station_state.h"

namespace station {
class Waits;
}
namespace hf {
class Modem;
}

namespace app {

class MainWindow;
class StartupPage;

/// Command-line choices of the station program.
struct StationOptions {
    QString stationDir;             ///< where settings, logs and sheets live
    QString spaceWeatherUrl;        ///< bulletin address; empty = the public service
    station::TcpPorts tcpPorts;     ///< SKYLARK_PORTS, then --ports
    station::StartLinks startLinks; ///< --connect
    // --- Sound-card modem audio ends ---
    /// --audio-in / --audio-out: "null", "wav:FILE", "udp:PORT" (input only); empty = the sound
    /// devices chosen on the start-up page.
    QString audioIn;
    QString audioOut;
    // --- end sound-card modem ---
};

/// The station program: the start-up page first, then the main window, which owns the
/// links until it closes and the program ends.
class StationApp : public QObject {
    Q_OBJECT
public:
    explicit StationApp(StationOptions options, QObject* parent = nullptr);
    ~StationApp() override;

    /// Shows the start-up page and starts its countdown.
    void start();
    /// Closes whichever window is open through its normal closing order (SIGTERM, SIGINT).
    void requestClose();

    station::StationState& state() { return m_state; }
    StartupPage* startupPage() const { return m_startup.get(); }
    MainWindow* mainWindow() const { return m_main.get(); }

signals:
    void mainWindowLoaded();

private:
    void openMainWindow();

    StationOptions m_options;
    station::StationState m_state;
    platform::CommPortMap m_ports;
    std::unique_ptr<station::Waits> m_waits;
    std::unique_ptr<StartupPage> m_startup;
    std::unique_ptr<MainWindow> m_main;
};

/// The PTT setting of the station for the modem.
hf::radio::PttChoice pttChoiceOf(const station::StationState& state);

/// The modem the main window runs: the sound-card modem on the options' audio ends (sound
/// devices when none is given), PTT on the station's port map with the state's lines.
std::function<std::unique_ptr<hf::Modem>()> soundCardModemFactory(const StationOptions& options,
                                                                  const station::StationState& state,
                                                                  const platform::CommPortMap& ports);

/// The station folder: `requested` when given (created if missing); otherwise the
/// executable's folder when writable, else $XDG_DATA_HOME/skylark (~/.local/share/skylark).
QString resolveStationDir(const QString& requested, const QString& executableDir);

} // namespace app
