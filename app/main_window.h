#pragma once
#include <QMainWindow>
#include <QMap>
#include <QTimer>

#include "station/station_links.h"

#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace platform {
class CommPort;
class CommPortMap;
} // namespace platform
namespace links {
class AgwpeLink;
class KissTcpLink;
class LocalServicePorts;
class SerialTncLink;
} // namespace links
namespace station {
struct StationState;
class Waits;
} // namespace station

namespace app {

class MessageDisplayWindow;
class StartupPage;

/// The station's operating screen and the owner of every link and timer. It opens when the
/// start-up page's "Start" is pressed, brings the links up in a fixed order, and runs until
/// it is closed, which ends the program.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int TimerCount = 30;

    MainWindow(station::StationState& state, station::Waits& waits, const platform::CommPortMap& ports,
               StartupPage* startupPage, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The opening steps: settings read, links brought up, timers started.
    void load();

    /// Timer n (1..30) by its designer name.
    QTimer& timer(int n) { return *m_timers[static_cast<size_t>(n - 1)]; }
    /// The design interval of timer n in ms (0 = no work).
    static int designInterval(int n);

    void TimeDelay(double seconds);
    void DecayTimeDelay(double seconds);
    /// The title-bar clock.
    void DispClock(const QString& zone);

    MessageDisplayWindow* messageDisplay() const { return m_messageDisplay.get(); }
    platform::CommPort& tncPort();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Layout (main_window_layout.cpp)
    void buildLayout();
    void buildMenus();
    QRadioButton* makeOption(const QString& name, const QString& caption);
    QCheckBox* makeCheck(const QString& name, const QString& caption);
    QPushButton* makeButton(const QString& name, const QString& caption);
    QLineEdit* makeField(const QString& name, const QString& text = QString());
    QLabel* makeLabel(const QString& name, const QString& text);
    QPlainTextEdit* makeDisplay(const QString& name);
    template <typename T> T* control(const char* name) const { return findChild<T*>(QLatin1String(name)); }

    // Behaviour (main_window.cpp)
    void wireControls();
    void setUpTimers();
    void onTimer1();
    void selectOperatingMode(int mode);
    void selectTransmitMode(QRadioButton* option);
    bool hfTransmitModeSelected() const;
    void stationListClicked(QListWidget* list, QListWidgetItem* item);
    void beaconTypeGps();
    void beaconTypeFixed();
    void showBeaconType();
    void sendBeaconClicked();
    void setBeaconButton(bool on, unsigned colour);
    void readSettings();
    void writeSettings();
    void writeToTnc(const QByteArray& bytes);
    void openUrl(const QUrl& url);
    void openStationFile(const char* name);
    void stopAllTimers();

    // Places the links of the station plug into; each does nothing until its link exists.
    void connectAprsIsServer();
    void connectKissTcp();
    void fetchSpaceWeather();
    void startLocalServicePorts();
    void setUpModem();
    void stopModemTransmitter();
    void switchModemOff();
    void sendPttOffNotice();
    void closeSockets();
    void openGpsPort();
    void openTncPort();
    void sendFixedBeacon();
    void sendGpsBeacon();

    station::StationState& m_state;
    station::Waits& m_waits;
    const platform::CommPortMap& m_ports;
    StartupPage* m_startupPage;
    std::unique_ptr<MessageDisplayWindow> m_messageDisplay;
    std::array<std::unique_ptr<QTimer>, TimerCount> m_timers;
    QList<QRadioButton*> m_operatingModes;  // Option1..Option4
    QList<QRadioButton*> m_transmitModes;   // the "Transmit" group
    bool m_closing = false;

    // --- VHF links: serial TNC, KISS over TCP, AGWPE, local service ports -------------
    // (wiring in main_window_links.cpp)
    void wireLinks();
    void appendTncTraffic(const QByteArray& text);
    void addHeardTncStation(const QByteArray& call);
    station::StationLinks m_links;
    std::unique_ptr<links::SerialTncLink> m_serialTnc;  // MSComm1, Timer2/18/19/22
    std::unique_ptr<links::KissTcpLink> m_kissTcp;      // Winsock4, Command5, Timer23
    std::unique_ptr<links::AgwpeLink> m_agwpe;          // Winsock6, Command9
    std::unique_ptr<links::LocalServicePorts> m_localPorts; // Winsock1, Winsock3, Winsock5
    QByteArray m_tncTraffic;                             // the "TNC traffic" monitor text
    // --- end of VHF links -------------------------------------------------------------
};

} // namespace app
