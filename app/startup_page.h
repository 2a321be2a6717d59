#pragma once
#include <QMainWindow>
#include <QMap>
#include <QTimer>

#include "hf/radio/audio_devices.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QGroupBox;

namespace platform {
class CommPortMap;
}
namespace station {
struct StationState;
}

namespace app {

class StartupDevices;

/// The station set-up form shown at start: callsigns, ports, TNC type, sound cards, PSK audio
/// frequency, PTT line, beacon rate, GPS icon, remote-control codes and the RAYNET switch.
/// Every option sets a working value of the station; the page reads its settings files when
/// it loads and writes them each time it closes.
class StartupPage : public QMainWindow {
    Q_OBJECT
public:
    StartupPage(station::StationState& state, const platform::CommPortMap& ports,
                hf::radio::AudioDeviceLists audio, QWidget* parent = nullptr);

    /// The loading steps: device lists, countdown, port lists, settings files.
    void load();
    /// The closing steps (RAYNET warning, remote codes, timers stopped, start row, settings
    /// written). Runs when the main window loads and again at program exit.
    void closePage();

    QRadioButton* option(const QString& name) const;
    QLineEdit* field(const QString& name) const;

signals:
    /// "Start" was pressed or the automatic start came; the application opens the main window.
    void startRequested();
    /// The operator closed the page before starting the station.
    void closedBeforeStart();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    QWidget* buildCallsigns();
    QWidget* buildPorts();
    QWidget* buildSound();
    QWidget* buildHf();
    QWidget* buildBeacon();
    QWidget* buildRemoteAndRaynet();
    QRadioButton* addOption(QGroupBox* box, const QString& name, const QString& caption,
                            std::function<void()> action);
    QLineEdit* addField(const QString& name, const QString& text, int maxLength = 0);
    void buildMenus();

    void readSettings();
    void writeSettings();
    void pressStart();
    void countdownTick();
    void selectTncType(int code, bool noTnc, bool kiss);
    void selectHfPttPort(int n);
    void selectHiddenTncPort(int n);
    void customFrequencyEdited(const QString& text);
    void setGpsControlsEnabled(bool enabled);

    station::StationState& m_state;
    const platform::CommPortMap& m_ports;
    hf::radio::AudioDeviceLists m_audio;

    QMap<QString, QRadioButton*> m_options;
    QMap<QString, QLineEdit*> m_fields;
    QListWidget* m_tncList = nullptr;   // List1
    QListWidget* m_gpsList = nullptr;   // List2
    QComboBox* m_txCombo = nullptr;     // Combo1
    QComboBox* m_rxCombo = nullptr;     // Combo2
    QLabel* m_countdownLabel = nullptr; // Label11
    QLabel* m_gpsTextLabel = nullptr;
    QPushButton* m_start = nullptr;
    QGroupBox* m_hiddenPortFrame = nullptr;
    StartupDevices* m_devices = nullptr; // PTT method and gpsd
    QTimer m_autoStart;                  // one-shot, 60 s
    QTimer m_countdown;                  // 1 s
    int m_secondsLeft = 60;
    bool m_started = false;
};

} // namespace app
