#include "app/main_window.h"

#include "app/help_files.h"
#include "hf/hf_link.h"
#include "hf/igate.h"
#include "hf/modem_control.h"
#include "app/message_display_window.h"
#include "app/startup_page.h"
#include "app/title_clock.h"
#include "app/widget_helpers.h"

#include "hf/modem.h"
#include "links/gps_link.h"
#include "links/agwpe_link.h"
#include "links/kiss_tcp_link.h"
#include "links/local_service_ports.h"
#include "links/serial_tnc_link.h"
#include "links/tnc_line_handler.h"
#include "platform/clock.h"
#include "platform/comm_port_map.h"
#include "platform/dialog_service.h"
#include "platform/url_opener.h"
#include "records/space_weather_fetcher.h"
#include "records/space_weather_schedule.h"
#include "settings/file_names.h"
#include "settings/main_records.h"
#include "settings/record_file.h"
#include "settings/station_files.h"
#include "station/station_state.h"
#include "station/waits.h"
// --- Messaging and APRS-IS ---
#include "aprsis/aprs_is_client.h"
#include "messaging/operating_mode_switch.h"
#include "messaging/message_receiver.h"
#include "messaging/message_sender.h"
#include "records/receive_log.h"
// --- end messaging and APRS-IS ---
#include "position/beacon_station.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace app {

using settings::RecordFile;

namespace {
/// The eight transmit options that send through the modem in an HF mode.
const char* const HfModes[] = {"psk63Option",   "mfsk16Option", "qpsk125Option",  "psk250Option",
                               "qpsk250Option", "gmsk63Option", "ax25MfskOption", "gmsk250Option"};

bool isOneOf(const QString& name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}
} // namespace

MainWindow::MainWindow(station::StationState& state, station::Waits& waits,
                       const platform::CommPortMap& ports, StartupPage* startupPage, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_waits(waits), m_ports(ports), m_startupPage(startupPage),
      m_messageDisplay(std::make_unique<MessageDisplayWindow>(state)),
      m_gpsLink(std::make_unique<links::GpsLink>([this](int n) { return m_ports.presentDevice(n); }))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowIcon(QIcon(QStringLiteral(":/skylark/skylark.png")));
    buildLayout();
    buildMenus();
    m_titleClockTimer.setParent(this); // found by name like the parts' timers
    platform::Clock::setUpTimer(m_titleClockTimer, QStringLiteral("titleClockTimer"), 100);
    connect(&m_titleClockTimer, &QTimer::timeout, this, &MainWindow::updateClockAndButtons);
    wireOperatingModes();
    wireChoices();
    wireControls();
    wireRecords();
    wireGps();
    wireMessaging();
    wireLinks();
    wireBeacons();
    showClock(QStringLiteral("UTC"));
}

MainWindow::~MainWindow() = default;

void MainWindow::wireOperatingModes()
{
    using station::OperatingMode;
    m_modeSwitch = std::make_unique<messaging::OperatingModeSwitch>(
        m_state, m_waits,
        messaging::OperatingModeSwitch::Tnc{[this] { m_serialTnc->enterCommandMode(); },
                                            [this](const QByteArray& line) { writeToTnc(line); }},
        [this] { return hfTransmitModeSelected(); }, this);
    // The choice is copied into the station state first, so the switch that follows sees it.
    for (int i = 0; i < m_operatingModes.size(); ++i)
        connect(m_operatingModes[i], &QRadioButton::toggled, this, [this, i](bool on) {
            const auto mode = static_cast<OperatingMode>(i + 1);
            if (on) {
                m_state.choices.operatingMode = mode;
                m_modeSwitch->select(mode);
            } else if (m_state.choices.operatingMode == mode) {
                m_state.choices.operatingMode = OperatingMode::None;
            }
        });
    connect(m_modeSwitch.get(), &messaging::OperatingModeSwitch::acksEnabled, this, [this](bool on) {
        control<QRadioButton>("normalAcksOption")->setEnabled(on);
        control<QRadioButton>("noAcksOption")->setEnabled(on);
    });
    connect(m_modeSwitch.get(), &messaging::OperatingModeSwitch::modeEnabled, this,
            [this](OperatingMode mode, bool on) {
                m_operatingModes[static_cast<int>(mode) - 1]->setEnabled(on);
            });
    connect(m_modeSwitch.get(), &messaging::OperatingModeSwitch::commandModeEntered, this, [this] {
        for (const char* name : {"beaconButton", "tuneButton", "sendBeaconButton"})
            control<QPushButton>(name)->setEnabled(false);
        m_beacons->stopSchedule();
        setBeaconButton(false, LightGrey);
    });
    connect(m_modeSwitch.get(), &messaging::OperatingModeSwitch::converseResumed, this,
            [this](bool sendControls) {
                control<QPushButton>("beaconButton")->setEnabled(true);
                if (sendControls) {
                    control<QPushButton>("tuneButton")->setEnabled(true);
                    control<QPushButton>("sendBeaconButton")->setEnabled(true);
                }
                setBeaconButton(true, Green);
            });
}

void MainWindow::wireChoices()
{
    // The choices are copied into the station state first, so the action that follows sees them.
    station::WindowChoices& choices = m_state.choices;
    for (int i = 0; i < m_transmitModes.size(); ++i) {
        QRadioButton* o = m_transmitModes[i];
        connect(o, &QRadioButton::toggled, this, [this, o, i](bool on) {
            if (on) {
                m_state.choices.transmitMode = static_cast<station::TransmitMode>(i);
                selectTransmitMode(o);
            }
        });
    }
    connect(control<QRadioButton>("normalAcksOption"), &QRadioButton::toggled, this,
            [&choices](bool on) { choices.acksNormal = on; });
    const struct {
        const char* name;
        bool station::WindowChoices::*flag;
    } checks[] = {{"alertCheck", &station::WindowChoices::alert},
                  {"hfDigipeatCheck", &station::WindowChoices::hfDigipeat},
                  {"digipeatMeCheck", &station::WindowChoices::digipeatMe},
                  {"tcpTxCheck", &station::WindowChoices::tcpTx},
                  {"internetToHfCheck", &station::WindowChoices::internetToHf},
                  {"fiveSecondDelayCheck", &station::WindowChoices::fiveSecondDelay},
                  {"notchCheck", &station::WindowChoices::notch},
                  {"priorityTxCheck", &station::WindowChoices::priorityTx},
                  {"displayCrcCheck", &station::WindowChoices::displayCrc},
                  {"lsbTxModeCheck", &station::WindowChoices::lsbTxMode}};
    for (const auto& c : checks) {
        auto flag = c.flag;
        connect(control<QCheckBox>(c.name), &QCheckBox::toggled, this,
                [&choices, flag](bool on) { choices.*flag = on; });
    }
    connect(control<QLineEdit>("myCallField"), &QLineEdit::textChanged, this,
            [&choices](const QString& t) { choices.myCallField = bytesOf(t); });
    connect(control<QLineEdit>("digiPathField"), &QLineEdit::textChanged, this,
            [&choices](const QString& t) { choices.digiPath = bytesOf(t); });

    for (const char* name : {"sendToField", "myCallField", "digiPathField"})
        forceUpperCase(control<QLineEdit>(name));
}

void MainWindow::wireControls()
{
    auto* hfList = control<QListWidget>("hfHeardList");
    auto* tncList = control<QListWidget>("tncHeardList");
    for (QListWidget* list : {hfList, tncList}) {
        connect(list, &QListWidget::itemClicked, this,
                [this, list](QListWidgetItem* item) { stationListClicked(list, item); });
        connect(list, &QListWidget::itemDoubleClicked, this, [this, list, hfList](QListWidgetItem* item) {
            (list == hfList ? m_hfHeard : m_tncHeard).remove(bytesOf(item->text()));
            delete list->takeItem(list->row(item));
        });
    }

    connect(control<QPushButton>("gpsBeaconButton"), &QPushButton::clicked, this, &MainWindow::beaconTypeGps);
    connect(control<QPushButton>("fixedBeaconButton"), &QPushButton::clicked, this,
            &MainWindow::beaconTypeFixed);
    connect(control<QPushButton>("sendBeaconButton"), &QPushButton::clicked, this,
            &MainWindow::sendBeaconClicked);
    connect(control<QPushButton>("aprsIsConnectButton"), &QPushButton::clicked, this,
            &MainWindow::connectAprsIsServer);
    connect(control<QPushButton>("kissTcpButton"), &QPushButton::clicked, this, &MainWindow::connectKissTcp);
    connect(control<QCheckBox>("messageDisplayCheck"), &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_messageDisplay->open();
        else
            m_messageDisplay->close();
    });
    control<QPlainTextEdit>("messagesDisplay")->viewport()->installEventFilter(this);

    connect(findChild<QAction*>(QStringLiteral("mnuStationInfo")), &QAction::triggered, this, [this] {
        const QByteArray call = QUrl::toPercentEncoding(control<QLineEdit>("myCallField")->text());
        openUrl(QUrl(QLatin1String(StationInfoAddress) + QString::fromLatin1(call), QUrl::StrictMode));
    });
    connect(findChild<QAction*>(QStringLiteral("mnuUpdates")), &QAction::triggered, this,
            [this] { openUrl(QUrl(QLatin1String(UpdatePageAddress))); });
    connect(findChild<QAction*>(QStringLiteral("mnuWebsite")), &QAction::triggered, this,
            [this] { openUrl(QUrl(QLatin1String(MakerWebAddress))); });
    connect(findChild<QAction*>(QStringLiteral("mnuGroup")), &QAction::triggered, this,
            [this] { openUrl(QUrl(QLatin1String(UserGroupAddress))); });
    connect(findChild<QAction*>(QStringLiteral("mnuHelp")), &QAction::triggered, this, [this] {
        openUrl(QUrl::fromLocalFile(helpFilePath(m_state.stationDir, settings::files::Help2)));
    });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    auto* messages = control<QPlainTextEdit>("messagesDisplay");
    if (messages && watched == messages->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        m_sender->stopFlashing();
        setBackColour(messages, White);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Clock

void MainWindow::showClock(const QString& zone)
{
    const QDateTime now =
        zone == QLatin1String("LOC") ? QDateTime::currentDateTime() : QDateTime::currentDateTimeUtc();
    if (!now.isValid()) {
        platform::DialogService::instance().showMessage(platform::DialogService::Icon::Critical, QString(),
                                                        QStringLiteral("Error 5, Invalid time in showClock"));
        return;
    }
    setWindowTitle(clockCaption(now, zone));
}

QObject* MainWindow::namedControl(const char* name, const QMetaObject& type) const
{
    const QByteArray key = QByteArray(type.className()) + ':' + name;
    QPointer<QObject>& known = m_controls[key];
    if (!known) {
        for (QObject* candidate : findChildren<QObject*>(QLatin1String(name)))
            if (type.cast(candidate)) {
                known = candidate;
                break;
            }
    }
    return known.data();
}

void MainWindow::updateClockAndButtons()
{
    showClock(QStringLiteral("UTC"));
    auto* send = control<QPushButton>("sendButton");
    auto* tune = control<QPushButton>("tuneButton");
    auto* beacon = control<QPushButton>("sendBeaconButton");
    if (m_state.sendInProgress) {
        send->setEnabled(false);
        tune->setEnabled(false);
        beacon->setEnabled(false);
    } else {
        send->setEnabled(true);
        beacon->setEnabled(true);
        tune->setEnabled(!control<QRadioButton>("tncOption")->isChecked());
    }
}

// ---------------------------------------------------------------------------------------
// Operating modes and transmit modes

bool MainWindow::hfTransmitModeSelected() const
{
    for (const char* name : HfModes)
        if (control<QRadioButton>(name)->isChecked())
            return true;
    return false;
}

void MainWindow::writeToTnc(const QByteArray& bytes)
{
    if (m_state.shuttingDown) // the close has shut the port: it stays shut
        return;
    m_serialTnc->writeTnc(bytes);
}

void MainWindow::setBeaconButton(bool on, unsigned colour)
{
    auto* b = control<QPushButton>("beaconButton");
    b->setText(on ? QStringLiteral("Beacon ON") : QStringLiteral("Beacon OFF"));
    setBackColour(b, colour);
}

void MainWindow::selectTransmitMode(QRadioButton* option)
{
    const QString name = option->objectName();
    if (m_modemControl) // channel 0 of the modem follows the option
        m_modemControl->selectTransmitMode(m_state.choices.transmitMode);
    auto* myCall = control<QLineEdit>("myCallField");
    auto* digiPath = control<QLineEdit>("digiPathField");
    auto* tune = control<QPushButton>("tuneButton");
    auto* tncCommand = m_operatingModes[0];
    auto startBeaconSchedule = [this] {
        m_beacons->startSchedule();
        m_beacons->reloadCountdown();
    };

    if (name == QLatin1String("aprsIsOption")) { // "APRS-IS": the beacon schedule is not touched
        myCall->setText(textOf(m_state.aprsIsCall));
        digiPath->setEnabled(false);
        tune->setEnabled(false);
        tncCommand->setEnabled(false);
        return;
    }
    if (isOneOf(name, {"tncOption", "ax25Option"})) { // "TNC", "AX.25"
        const bool ax25 = name == QLatin1String("ax25Option");
        startBeaconSchedule();
        myCall->setText(textOf(m_state.myCall));
        digiPath->setEnabled(ax25 || m_state.kissSerial);
        control<QRadioButton>("noAcksOption")->setEnabled(true);
        control<QRadioButton>("normalAcksOption")->setEnabled(true);
        control<QPushButton>("beaconButton")->setEnabled(true);
        control<QPushButton>("sendBeaconButton")->setEnabled(true);
        setBeaconButton(true, Green);
        clearOption(tncCommand);
        tncCommand->setEnabled(!ax25);
        bool anyMode = false;
        for (QRadioButton* o : m_operatingModes)
            anyMode = anyMode || o->isChecked();
        if (!anyMode)
            selectOption(m_operatingModes[1]);
        tune->setEnabled(ax25 && !m_state.sendInProgress);
        return;
    }
    // A modem option.
    startBeaconSchedule();
    myCall->setText(textOf(m_state.hfCall));
    digiPath->setEnabled(false);
    tune->setEnabled(true);
    control<QPushButton>("sendBeaconButton")->setEnabled(true);
    setBeaconButton(true, Green);
    clearOption(tncCommand);
    tncCommand->setEnabled(false);
}

void MainWindow::stationListClicked(QListWidget* list, QListWidgetItem* item)
{
    auto* hf = control<QListWidget>("hfHeardList");
    auto* tnc = control<QListWidget>("tncHeardList");
    control<QLineEdit>("sendToField")->setText(item->text());
    const bool isHf = list == hf;
    selectOption(control<QRadioButton>(isHf ? "gmsk250Option" : "tncOption"));
    setBackColour(list, Yellow);
    setBackColour(isHf ? tnc : hf, Cyan);
}

// ---------------------------------------------------------------------------------------
// Beacons

void MainWindow::showBeaconType()
{
    setBackColour(control<QPushButton>("gpsBeaconButton"), m_state.gpsBeacon ? Green : LightGrey);
    setBackColour(control<QPushButton>("fixedBeaconButton"), m_state.gpsBeacon ? LightGrey : Green);
}

void MainWindow::beaconTypeGps()
{
    m_state.gpsBeacon = !m_state.gpsBeacon;
    showBeaconType();
}

void MainWindow::beaconTypeFixed()
{
    if (!m_state.gpsBeacon)
        return;
    m_state.gpsBeacon = false;
    showBeaconType();
}

void MainWindow::sendBeaconClicked()
{
    auto* beacon = control<QPushButton>("sendBeaconButton");
    auto* tune = control<QPushButton>("tuneButton");
    m_state.sendInProgress = true;
    beacon->setEnabled(false);
    tune->setEnabled(false);
    if (!m_state.gpsBeacon)
        sendFixedBeacon();
    else
        sendGpsBeacon();
    beacon->setEnabled(true);
    tune->setEnabled(true);
    m_state.sendInProgress = false;
}

// ---------------------------------------------------------------------------------------
// Settings

QCheckBox* MainWindow::storedCheck(settings::MainCheck check) const
{
    const char* const names[settings::MainCheckCount] = {
        "hfDigipeatCheck",   "digipeatMeCheck", "priorityTxCheck",
        "internetToHfCheck", "lsbTxModeCheck",  "displayCrcCheck"}; // in MainCheck order
    return control<QCheckBox>(names[static_cast<size_t>(check)]);
}

void MainWindow::readSettings()
{
    const settings::MainTexts t = settings::readMainTexts(m_state.stationDir);
    m_state.myCall = t.tncCall;
    m_state.aprsIsCall = t.aprsIsCall;
    m_state.hfCall = t.hfCall;
    m_state.groupCall = t.groupCall;
    control<QLineEdit>("passcodeField")->setText(textOf(t.passcode));
    control<QLineEdit>("beaconTextField")->setText(textOf(t.beaconText));
    control<QLineEdit>("sendToField")->setText(textOf(t.sendTo));
    control<QLineEdit>("aprsIsServerField")->setText(textOf(t.aprsServer));
    applyStoredOptions(settings::readMainOptions(
        RecordFile::load(settings::pathIn(m_state.stationDir, settings::files::Config2))));
}

void MainWindow::applyStoredOptions(const settings::MainOptions& stored)
{
    if (stored.acks.isStored()) {
        QRadioButton* ack =
            control<QRadioButton>(stored.acks.value == 1 ? "normalAcksOption" : "noAcksOption");
        selectOption(ack);
        if (stored.acks.clearedAfter)
            clearOption(ack);
    }
    if (stored.reconnectAprsIs)
        connectAprsIsServer();
    if (stored.transmitMode)
        selectOption(m_transmitModes[static_cast<int>(*stored.transmitMode)]);
    if (stored.igateTransmit)
        m_state.igateTransmitEnabled = *stored.igateTransmit;
    for (const settings::CheckRecord& c : settings::checkRecords())
        if (const std::optional<bool> on = stored.check(c.check))
            storedCheck(c.check)->setChecked(*on);
    if (stored.reconnectKissTcp)
        connectKissTcp();
    // The links named on the command line, unless the settings have just connected them.
    const station::StartLinks& start = m_state.startLinks;
    if (start.aprsIs && !stored.reconnectAprsIs)
        connectAprsIsServer();
    if (start.kiss && !stored.reconnectKissTcp)
        connectKissTcp();
    if (start.agwpe)
        m_agwpe->connectClicked();
}

void MainWindow::writeSettings()
{
    settings::MainTexts t;
    t.passcode = bytesOf(control<QLineEdit>("passcodeField")->text());
    t.beaconText = bytesOf(control<QLineEdit>("beaconTextField")->text());
    t.sendTo = bytesOf(control<QLineEdit>("sendToField")->text());
    t.aprsServer = bytesOf(control<QLineEdit>("aprsIsServerField")->text());
    settings::MainSelection shown;
    shown.acksNormal = control<QRadioButton>("normalAcksOption")->isChecked();
    shown.acksNone = control<QRadioButton>("noAcksOption")->isChecked();
    for (int i = 0; i < m_transmitModes.size(); ++i)
        if (m_transmitModes[i]->isChecked())
            shown.transmitMode = static_cast<station::TransmitMode>(i);
    for (const settings::CheckRecord& c : settings::checkRecords())
        shown.check(c.check) = storedCheck(c.check)->isChecked();
    shown.aprsIsConnected = m_aprsIs->isConnected(); // logged on, verified or not
    shown.igateTransmit = m_state.igateTransmitEnabled;
    shown.kissTcpActive = m_kissTcp->isActive();
    settings::writeMainFiles(m_state.stationDir, t, settings::writeMainOptions(shown));
}

// ---------------------------------------------------------------------------------------
// Opening and closing

void MainWindow::load()
{
    // 1-2: modem state and views; flags; the first timers.
    m_state.shuttingDown = false;
    wireHf();
    connectParts();
    control<QCheckBox>("alertCheck")->setChecked(false);
    m_state.igateTransmitEnabled = true;
    startTimers();

    // 3: the start-up page closes and saves its settings.
    if (m_startupPage)
        m_startupPage->closePage();
    // 4: the RAYNET sheet.
    if (m_state.raynetEnabled)
        openRaynetSheet();

    // 6-7
    if (m_state.pskAudioFrequency == 0.0)
        m_state.pskAudioFrequency = 2100.0;
    m_state.gpsBeacon = m_state.gpsPort != 0;
    showBeaconType();
    m_kissTcp->setActive(false);
    m_state.kissSerial = m_state.tncTypeCode == 4 || m_state.tncTypeCode == 5;

    // 8: colours and initial states.
    showInitialStates();

    // 9-10: settings, then the stored links.
    readSettings();
    if (m_state.gpsBeacon)
        m_gpsReceiver->startWatch();
    fetchSpaceWeather();

    // 12: local service ports.
    startLocalServicePorts();
    // 13
    if (m_state.noTnc) {
        for (const char* name : HfModes)
            control<QRadioButton>(name)->setEnabled(true);
        control<QRadioButton>("tncOption")->setEnabled(false);
    }
    // 14: the modem.
    setUpModem();
    if (m_state.sampleSpeedCode == 0)
        for (const char* name : HfModes)
            control<QRadioButton>(name)->setEnabled(false);
    // The GPS is opened whatever the TNC choice: an HF-only station beacons its position too.
    if (m_state.gpsPort != 0 || m_state.devices.gpsFromGpsd)
        openGpsPort();
    // 15
    if (m_state.noTnc)
        return;
    // 16
    if (m_state.gpsOnPort)
        for (const char* name : HfModes)
            control<QRadioButton>(name)->setEnabled(true);
    openTncPort(); // starts the port's status and watch timers
    m_beacons->startSchedule();
}

void MainWindow::showInitialStates()
{
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->objectName() != QLatin1String("gpsBeaconButton") &&
            b->objectName() != QLatin1String("fixedBeaconButton"))
            setBackColour(b, LightGrey);
    for (const char* name : {"hfHeardList", "tncHeardList", "tncTrafficDisplay", "hfTrafficDisplay",
                             "myCallField", "digiPathField"})
        setBackColour(findChild<QWidget*>(QLatin1String(name)), Cyan);
    for (const char* name : {"tncTrafficDisplay", "hfTrafficDisplay"})
        control<QPlainTextEdit>(name)->clear();
    auto* input = control<QLineEdit>("messageInput");
    input->clear();
    setBackColour(input, Yellow);
    setBackColour(control<QLineEdit>("data2Field"), Yellow);
    setBackColour(control<QLineEdit>("data3Field"), Yellow);
    setTabOrder(input, control<QPushButton>("sendButton"));
    input->setFocus();
    control<QPushButton>("sendBeaconButton")->setEnabled(false);
    control<QPushButton>("beaconButton")->setEnabled(false);
}

void MainWindow::startTimers()
{
    m_beacons->startCountdown();
    m_hfLink->start();
    m_modemControl->startWatchdog();
    m_spaceWeatherSchedule->start();
    m_titleClockTimer.start();
    m_serialTnc->lineHandler().start();
    m_aprsIs->start();
    m_kissTcp->start();
    m_agwpe->start();
    m_beacons->startStartupBeacon();
    m_modemControl->startRetune();
    m_gpsReceiver->start();
}

void MainWindow::stopAllTimers()
{
    m_titleClockTimer.stop();
    m_spaceWeatherSchedule->stop();
    m_gpsReceiver->stopTimers();
    m_aprsIs->stopTimers();
    m_receiver->stopTimers();
    m_sender->stopTimers();
    m_serialTnc->stopTimers();
    m_kissTcp->stopTimers();
    m_agwpe->stopTimers();
    m_beacons->stopTimers();
    if (m_modemControl) { // the HF parts exist from the opening on
        m_modemControl->stopTimers();
        m_hfLink->stopTimers();
        m_igate->stopTimers();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    m_spaceWeatherFetcher->abort();
    // 1
    stopModemTransmitter();
    sendPttOffNotice();
    // 2
    writeSettings();
    // 3
    m_state.shuttingDown = true; // every pending wait ends
    // 4
    switchModemOff();
    closeSockets();
    m_serialTnc->close();
    m_gpsLink->close();
    // 5
    stopAllTimers();
    // 6
    if (m_startupPage)
        m_startupPage->closePage();
    m_messageDisplay->close();
    event->accept();
    QApplication::quit();
}

void MainWindow::openUrl(const QUrl& url)
{
    platform::UrlOpener::instance().open(url);
}

void MainWindow::openStationFile(const char* name)
{
    openUrl(QUrl::fromLocalFile(settings::pathIn(m_state.stationDir, name)));
}

// ---------------------------------------------------------------------------------------
// How the station's parts feed each other

void MainWindow::connectParts()
{
    m_sender->setHfSend([this](const messaging::SendFields&) { transmitOnHf(); });
    connect(m_receiver.get(), &messaging::MessageReceiver::remoteIgateOn, m_igate.get(),
            &hf::Igate::remoteIgateOn);
    connect(m_receiver.get(), &messaging::MessageReceiver::remoteIgateOff, m_igate.get(),
            &hf::Igate::remoteIgateOff);
    connect(m_aprsIs.get(), &aprsis::AprsIsClient::lineReceived, m_igate.get(), &hf::Igate::aprsIsLine);

    links::TncLineHandler& tncLines = m_serialTnc->lineHandler();
    connect(&tncLines, &links::TncLineHandler::packetLine, this, &MainWindow::receivePacketLine);
    connect(&tncLines, &links::TncLineHandler::igatedLine, m_igate.get(), &hf::Igate::addIgatedVhfSource);

    // Packets from the local program on port 8063, line by line, to the HF relay.
    connect(m_localPorts.get(), &links::LocalServicePorts::localDataArrived, this, [this] {
        for (const QByteArray& line : m_localProgramLines.feed(m_localPorts->takeReceived()))
            m_hfLink->localProgramLine(line);
    });
    m_localPorts->modemTransmitting = [this] {
        const int s = m_modem ? m_modem->state() : 0;
        return !(s <= 0 || s == 3);
    };
}

// ---------------------------------------------------------------------------------------
// Places for the links

void MainWindow::connectAprsIsServer()
{
    connectAprsIsServerClicked();
}
void MainWindow::connectKissTcp()
{
    m_kissTcp->connectClicked();
}
void MainWindow::fetchSpaceWeather()
{
    m_spaceWeatherFetcher->start(); // the caption fills in when the answer comes
}
void MainWindow::startLocalServicePorts()
{
    m_localPorts->start();
}
void MainWindow::setUpModem()
{
    if (m_modemControl)
        m_modemControl->startUp();
}

void MainWindow::stopModemTransmitter()
{
    if (m_modemControl)
        m_modemControl->stopTransmitter();
}

void MainWindow::switchModemOff()
{
    if (m_modemControl)
        m_modemControl->switchOff();
}
void MainWindow::sendPttOffNotice()
{
    m_localPorts->announcePttOff();
}

void MainWindow::closeSockets()
{
    m_localPorts->closeAll();
    m_kissTcp->close();
    m_agwpe->close();
    closeAprsIsSocket();
}

void MainWindow::openTncPort()
{
    m_serialTnc->openAtLoad();
}

void MainWindow::sendFixedBeacon()
{
    m_beacons->sendFixedBeacon();
}
void MainWindow::sendGpsBeacon()
{
    m_beacons->sendGpsBeacon();
}

} // namespace app
