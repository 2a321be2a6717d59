#pragma once
#include "messaging/aprs_is_line_reader.h"
#include "position/gps_display.h"
#include "position/gps_receiver.h"
#include "records/space_weather.h"
#include "settings/main_records.h"
#include "station/heard_list.h"
#include "station/station_links.h"

#include <QMainWindow>
#include <QHash>
#include <QMap>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace records {
class ReceiveLog;
class SpaceWeatherFetcher;
class SpaceWeatherSchedule;
} // namespace records
namespace platform {
class CommPortMap;
} // namespace platform
namespace links {
class GpsLink;
class AgwpeLink;
class KissTcpLink;
class LocalServicePorts;
class SerialTncLink;
} // namespace links
namespace station {
struct StationState;
class Waits;
} // namespace station
namespace aprsis {
class AprsIsClient;
}
namespace messaging {
class MessageReceiver;
class MessageSender;
class OperatingModeSwitch;
struct SendFields;
enum class SendControl;
} // namespace messaging
namespace position {
class BeaconStation;
}
namespace hf {
class Modem;
class ModemControl;
class HfLink;
class Igate;
} // namespace hf

namespace app {

class MessageDisplayWindow;
class StartupPage;

/// The station's operating screen and the owner of every link. It opens when the
/// start-up page's "Start" is pressed, brings the links up in a fixed order, and runs until
/// it is closed, which ends the program.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(station::StationState& state, station::Waits& waits, const platform::CommPortMap& ports,
               StartupPage* startupPage, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The opening steps: settings read, links brought up, the parts' timers started.
    void load();

    /// The title-bar clock (100 ms): the window's own timer; every other timer belongs to the
    /// part whose work it times.
    QTimer& titleClockTimer() { return m_titleClockTimer; }

    /// The title-bar clock.
    void showClock(const QString& zone);

    MessageDisplayWindow* messageDisplay() const { return m_messageDisplay.get(); }
    /// Where the space-weather bulletin is fetched from (default: the public service).
    void setSpaceWeatherUrl(const QUrl& url);
    /// Starts a space-weather fetch without waiting; the button caption follows the answer.
    void fetchSpaceWeather();

    /// The APRS-IS connection; its lineReceived() feeds the receive step and the
    /// APRS-IS-to-HF gateway.
    aprsis::AprsIsClient& aprsIsClient() { return *m_aprsIs; }
    /// The KISS-over-TCP link to the sound-card TNC program.
    links::KissTcpLink& kissTcpLink() { return *m_kissTcp; }
    /// Send, retries and acks; the HF part fills its transmitOnHf hook with setHfSend().
    messaging::MessageSender& messageSender() { return *m_sender; }
    /// The receive steps; remoteIgateOn()/remoteIgateOff() are the igate's remote-control hooks.
    messaging::MessageReceiver& messageReceiver() { return *m_receiver; }
    /// The TNC receive step for one handled TNC line: connect the TNC links' packetLine here.
    void receivePacketLine(const QByteArray& line);
    /// The latest checked position sentence of the GPS receiver.
    const position::GpsInput& gps() const { return m_gpsReceiver->input(); }

    using ModemFactory = std::function<std::unique_ptr<hf::Modem>()>;
    /// The modem the window drives, set before load(); the default is the scripted modem,
    /// idle (no sound-card modem yet).
    void setModemFactory(ModemFactory factory) { m_modemFactory = std::move(factory); }
    hf::Modem* modem() const { return m_modem.get(); }
    hf::ModemControl* modemControl() const { return m_modemControl.get(); }
    hf::HfLink* hfLink() const { return m_hfLink.get(); }
    hf::Igate* igate() const { return m_igate.get(); }
    station::StationLinks& links() { return m_links; }
    /// "Send" with an HF transmit option: the message in "Send message to", the message box
    /// and the Data boxes goes out on HF.
    void transmitOnHf();

    /// The beacon schedule and senders ("Beacon ON"/"Beacon OFF", the start-up beacon).
    position::BeaconStation& beacons() { return *m_beacons; }

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
    /// A control by its object name and type. Found once and then remembered: the window asks
    /// for some of them on every modem event.
    template <typename T> T* control(const char* name) const
    {
        return static_cast<T*>(namedControl(name, T::staticMetaObject));
    }
    QObject* namedControl(const char* name, const QMetaObject& type) const;

    // Behaviour (main_window.cpp)
    /// The operating-mode options and what their switch shows.
    void wireOperatingModes();
    /// Transmit modes, ACK choice, check boxes and call fields copied into the station state.
    void wireChoices();
    /// Heard lists, buttons and menus.
    void wireControls();
    void updateClockAndButtons();
    void selectTransmitMode(QRadioButton* option);
    bool hfTransmitModeSelected() const;
    void stationListClicked(QListWidget* list, QListWidgetItem* item);
    void beaconTypeGps();
    void beaconTypeFixed();
    void showBeaconType();
    void sendBeaconClicked();
    void setBeaconButton(bool on, unsigned colour);
    void readSettings();
    /// Shows and applies what config2 holds, as if the operator had clicked each control.
    void applyStoredOptions(const settings::MainOptions& stored);
    void writeSettings();
    QCheckBox* storedCheck(settings::MainCheck check) const;
    void writeToTnc(const QByteArray& bytes);
    void openUrl(const QUrl& url);
    void openStationFile(const char* name);
    /// The parts' timers that run from the opening, in their order.
    void startTimers();
    /// The opening's colours, cleared boxes, focus and the beacon buttons off.
    void showInitialStates();
    void stopAllTimers();

    // Space weather and the RAYNET sheet (main_window_records.cpp)
    void wireRecords();
    /// Connects the parts' signals to each other (once all exist).
    void connectParts();
    void spaceWeatherClicked();
    void showSpaceWeather(const QByteArray& body, bool ok);
    void openRaynetSheet();

    // The GPS receiver (main_window_gps.cpp)
    void wireGps();
    void showGpsState(position::GpsState state);

    // Places the links of the station plug into; each does nothing until its link exists.
    void connectAprsIsServer();
    void connectKissTcp();
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

    // Messaging and APRS-IS (main_window_messaging.cpp)
    void wireMessaging();
    void wireAprsIsClient();
    void wireMessageReceiver();
    void wireMessageSender();
    void showMessagesBox();               // the messages box from the state's text, scrolled to the end
    void colourMessagesBox(unsigned bgr); // white, or yellow for news
    /// The window's controls the sender enables and colours.
    QList<QWidget*> sendControls(messaging::SendControl c) const;
    messaging::SendFields sendFields() const;
    void connectAprsIsServerClicked();
    void closeAprsIsSocket();

    // The HF link and igate (main_window_hf.cpp)
    void wireHf();
    void connectHfViews();
    /// The modem control's option colours, beacon and tune buttons, MFSK caption.
    void connectModemControlViews();
    void wireModemStatus(); // sound-card modem status caption
    /// Adds a station to a heard list and its list box (`hfHeardList`, `tncHeardList`) together.
    void addStationHeard(station::HeardList& heard, const char* listName, const QByteArray& source);
    void showMessagesText();
    void enableMessageInput();

    // The VHF links: serial TNC, KISS over TCP, AGWPE, local service ports (main_window_links.cpp)
    void wireLinks();
    void appendTncTraffic(const QByteArray& text);

    // Beacons (main_window_beacons.cpp)
    void wireBeacons();
    /// The HF step of a beacon in the selected mode.
    void sendHfBeacon(const QByteArray& info);

    station::StationState& m_state;
    mutable QHash<QByteArray, QPointer<QObject>> m_controls; // see control()
    station::Waits& m_waits;
    const platform::CommPortMap& m_ports;
    StartupPage* m_startupPage;
    std::unique_ptr<MessageDisplayWindow> m_messageDisplay;
    std::unique_ptr<links::GpsLink> m_gpsLink; // gpsPort, or gpsd
    std::unique_ptr<position::GpsReceiver> m_gpsReceiver;
    QTimer m_titleClockTimer;
    QList<QRadioButton*> m_operatingModes; // tncCommandOption..raynetMessagingOption
    QList<QRadioButton*> m_transmitModes;  // the "Transmit" group
    std::unique_ptr<records::SpaceWeatherFetcher> m_spaceWeatherFetcher;
    std::unique_ptr<records::SpaceWeatherSchedule> m_spaceWeatherSchedule;
    records::SpaceWeatherReport m_spaceWeather;
    bool m_showBulletinWhenFetched = false;          // a click asked for the bulletin
    messaging::AprsIsLineReader m_localProgramLines; // port 8063 stream cut into lines
    bool m_closing = false;

    station::StationLinks m_links;
    station::HeardList m_tncHeard; // "TNC stations heard" (tncHeardList): the VHF TNC and TCP TNC programs
    station::HeardList m_hfHeard;  // "HF stations heard" (hfHeardList)
    std::unique_ptr<aprsis::AprsIsClient> m_aprsIs;
    std::unique_ptr<records::ReceiveLog> m_receiveLog;
    std::unique_ptr<messaging::MessageSender> m_sender;
    std::unique_ptr<messaging::MessageReceiver> m_receiver;
    std::unique_ptr<messaging::OperatingModeSwitch> m_modeSwitch;

    ModemFactory m_modemFactory;
    std::unique_ptr<hf::Modem> m_modem;
    std::unique_ptr<hf::ModemControl> m_modemControl;
    std::unique_ptr<hf::HfLink> m_hfLink;
    std::unique_ptr<hf::Igate> m_igate;

    std::unique_ptr<links::SerialTncLink> m_serialTnc;      // tncPort
    std::unique_ptr<links::KissTcpLink> m_kissTcp;          // kissTcpSocket, kissTcpButton
    std::unique_ptr<links::AgwpeLink> m_agwpe;              // agwpeSocket, agwpeButton
    std::unique_ptr<links::LocalServicePorts> m_localPorts; // localProgramSocket, pttSocket, receiveLogSocket
    QByteArray m_tncTraffic;                                // the "TNC traffic" monitor text

    std::unique_ptr<position::BeaconStation> m_beacons;
};

} // namespace app
