#pragma once
#include <QMainWindow>
#include <QMap>
#include <QTimer>

#include "hf/radio/audio_devices.h"
#include "settings/startup_records.h"

#include <utility>

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
    /// The option that stands for `value` in a group stored in config1.
    QRadioButton* storedOption(settings::StartupGroup group, int value) const
    {
        return m_stored.value({group, value});
    }

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
    /// Shows and applies what config1 holds, as if the operator had clicked each option.
    void applyStoredOptions(const settings::StartupOptions& stored);
    void writeSettings();
    void showStoredSoundCards();
    /// Registers an option that has a record in config1.
    QRadioButton* storeAs(settings::StartupGroup group, int value, QRadioButton* option);
    /// A bad value is refused with a message and the field shows its last good value again.
    bool refuseBadField(QLineEdit* field, const QString& goodText, bool good, const QString& message);
    void checkCustomFrequency();
    void useCustomFrequency();
    void checkStartRow();
    void pressStart();
    void countdownTick();
    void selectTncType(int code);
    void selectHfPttPort(int n);
    void selectHiddenTncPort(int n);
    void customFrequencyEdited(const QString& text);
    void setGpsControlsEnabled(bool enabled);

    station::StationState& m_state;
    const platform::CommPortMap& m_ports;
    hf::radio::AudioDeviceLists m_audio;

    QMap<QString, QRadioButton*> m_options;
    QMap<QString, QLineEdit*> m_fields;
    /// The options that have a record, by group and value.
    QMap<std::pair<settings::StartupGroup, int>, QRadioButton*> m_stored;
    QString m_goodCustomFrequency = QStringLiteral("2100"); ///< last accepted custom PSK frequency
    QString m_goodStartRow = QStringLiteral("2");           ///< last accepted "Start on row:"
    QListWidget* m_tncList = nullptr;                       // tncPortList
    QListWidget* m_gpsList = nullptr;                       // gpsPortList
    QComboBox* m_txCombo = nullptr;                         // outputDeviceCombo
    QComboBox* m_rxCombo = nullptr;                         // inputDeviceCombo
    QLabel* m_countdownLabel = nullptr;                     // countdownLabel
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
