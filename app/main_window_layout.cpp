// The main window's controls, each named (objectName) for what it is.
#include "app/main_window.h"

#include "app/help_files.h"
#include "app/modem_views.h"
#include "app/widget_helpers.h"

#include "records/log_record.h"
#include "station/program_titles.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace app {

QRadioButton* MainWindow::makeOption(const QString& name, const QString& caption)
{
    auto* o = new QRadioButton(caption);
    o->setObjectName(name);
    return o;
}

QCheckBox* MainWindow::makeCheck(const QString& name, const QString& caption)
{
    auto* c = new QCheckBox(caption);
    c->setObjectName(name);
    return c;
}

QPushButton* MainWindow::makeButton(const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    return b;
}

QLineEdit* MainWindow::makeField(const QString& name, const QString& text)
{
    auto* f = new QLineEdit(text);
    f->setObjectName(name);
    return f;
}

QLabel* MainWindow::makeLabel(const QString& name, const QString& text)
{
    auto* l = new QLabel(text);
    l->setObjectName(name);
    // Labels show received bytes (server data, the server's answers): text, never markup.
    l->setTextFormat(Qt::PlainText);
    return l;
}

QPlainTextEdit* MainWindow::makeDisplay(const QString& name)
{
    auto* d = new QPlainTextEdit;
    d->setObjectName(name);
    d->setReadOnly(true);
    d->setLineWrapMode(QPlainTextEdit::NoWrap);
    return d;
}

void MainWindow::buildLayout()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* grid = new QGridLayout(central);

    // Left column: traffic displays, messages, beacon text, server, buttons, input.
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("TNC traffic")));
    left->addWidget(makeDisplay(QStringLiteral("tncTrafficDisplay")), 2);
    auto* hfTitle = new QHBoxLayout;
    hfTitle->addWidget(new QLabel(QStringLiteral("HF traffic")));
    hfTitle->addStretch();
    hfTitle->addWidget(makeLabel(QStringLiteral("gpsSentenceLabel"), QString()));
    hfTitle->addWidget(makeLabel(QStringLiteral("gpsStatusLabel"), QStringLiteral("No GPS connected")));
    hfTitle->addWidget(makeButton(QStringLiteral("spaceWeatherButton"), QString()));
    left->addLayout(hfTitle);
    left->addWidget(makeDisplay(QStringLiteral("hfTrafficDisplay")), 2);

    auto* msgTitle = new QHBoxLayout;
    msgTitle->addWidget(new QLabel(QStringLiteral(
        "Messages (New message or ack to message  has arrived when box flashes, click on box to cancel)")));
    msgTitle->addStretch();
    msgTitle->addWidget(makeCheck(QStringLiteral("messageDisplayCheck"), QStringLiteral("Message display")));
    msgTitle->addWidget(makeCheck(QStringLiteral("alertCheck"), QStringLiteral("Alert")));
    left->addLayout(msgTitle);
    QPlainTextEdit* messages = makeDisplay(QStringLiteral("messagesDisplay"));
    messages->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    left->addWidget(messages, 2);

    auto* beaconRow = new QHBoxLayout;
    beaconRow->addWidget(new QLabel(QStringLiteral("Fixed Beacon or Status Text")));
    beaconRow->addWidget(
        makeField(QStringLiteral("beaconTextField"), QLatin1String(station::titles::kStatusBeacon)), 1);
    beaconRow->addWidget(makeLabel(QStringLiteral("beaconTypeLabel"), QStringLiteral("Beacon type")));
    beaconRow->addWidget(makeButton(QStringLiteral("fixedBeaconButton"), QStringLiteral("Fixed")));
    beaconRow->addWidget(makeButton(QStringLiteral("gpsBeaconButton"), QStringLiteral("GPS")));
    left->addLayout(beaconRow);
    left->addWidget(makeCheck(QStringLiteral("notchCheck"),
                              QStringLiteral("Notch filter, click on waterfall to position notch")));

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(new QLabel(QStringLiteral("APRS-IS Server")));
    serverRow->addWidget(makeField(QStringLiteral("aprsIsServerField")), 2);
    serverRow->addWidget(new QLabel(QStringLiteral("Passcode")));
    serverRow->addWidget(makeField(QStringLiteral("passcodeField"), QStringLiteral("-1")), 1);
    serverRow->addWidget(new QLabel(QStringLiteral("Server status")));
    serverRow->addWidget(makeLabel(QStringLiteral("serverStatusLabel"), QString()), 2);
    left->addLayout(serverRow);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(makeButton(QStringLiteral("sendBeaconButton"), QStringLiteral(" Send Beacon")));
    buttons->addWidget(makeButton(QStringLiteral("beaconButton"), QStringLiteral("Beacon OFF")));
    buttons->addWidget(makeButton(QStringLiteral("tuneButton"), QStringLiteral("HF TUNE (5 sec)")));
    buttons->addWidget(
        makeButton(QStringLiteral("aprsIsConnectButton"), QStringLiteral("Connect to Server")));
    buttons->addWidget(makeLabel(QStringLiteral("beaconCountdownLabel"), QString()));
    left->addLayout(buttons);

    left->addWidget(new QLabel(QStringLiteral("Type message or command")));
    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(makeField(QStringLiteral("messageInput")), 1);
    inputRow->addWidget(
        makeLabel(QStringLiteral("titleLabel"), QLatin1String(station::titles::kProgramTitle)));
    QLabel* web = makeLabel(QStringLiteral("makerWebLabel"),
                            QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(MakerWebAddress)));
    web->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    web->setTextFormat(Qt::RichText);
    connect(web, &QLabel::linkActivated, this, [this](const QString& link) { openUrl(QUrl(link)); });
    inputRow->addWidget(web);
    left->addLayout(inputRow);

    auto* dataRow = new QHBoxLayout;
    for (int i = 1; i <= 3; ++i) {
        dataRow->addWidget(new QLabel(QStringLiteral("Data %1").arg(i)));
        dataRow->addWidget(makeField(QStringLiteral("data%1Field").arg(i)));
    }
    left->addLayout(dataRow);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(QStringLiteral("Send message to")));
    addressRow->addWidget(makeField(QStringLiteral("sendToField")));
    addressRow->addWidget(new QLabel(QStringLiteral("My call")));
    addressRow->addWidget(makeField(QStringLiteral("myCallField"), QStringLiteral("NOCALL")));
    addressRow->addWidget(new QLabel(QStringLiteral("KISS TNC digi path")));
    addressRow->addWidget(makeField(QStringLiteral("digiPathField"), QStringLiteral("WIDE2-1")));
    addressRow->addWidget(makeButton(QStringLiteral("cancelSendButton"), QStringLiteral("Cancel send")));
    QPushButton* send = makeButton(QStringLiteral("sendButton"), QStringLiteral("&Send"));
    send->setDefault(true);
    addressRow->addWidget(send);
    left->addLayout(addressRow);
    grid->addLayout(left, 0, 0, 3, 1);

    // Middle column: option groups and check boxes.
    auto* middle = new QVBoxLayout;
    auto* opMode = new QGroupBox(QStringLiteral("Operating mode"));
    opMode->setObjectName(QStringLiteral("operatingModeGroup"));
    auto* opLayout = new QVBoxLayout(opMode);
    const char* opCaptions[] = {"TNC Command ", "APRS Messaging", "Packet Converse", "RAYNET messaging"};
    const char* opNames[] = {"tncCommandOption", "aprsMessagingOption", "packetConverseOption",
                             "raynetMessagingOption"};
    for (int i = 0; i < 4; ++i) {
        QRadioButton* o = makeOption(QLatin1String(opNames[i]), QString::fromLatin1(opCaptions[i]));
        m_operatingModes.append(o);
        opLayout->addWidget(o);
    }
    middle->addWidget(opMode);

    auto* ack = new QGroupBox(QStringLiteral("Message ACK"));
    ack->setObjectName(QStringLiteral("messageAckGroup"));
    auto* ackLayout = new QVBoxLayout(ack);
    QRadioButton* normal = makeOption(QStringLiteral("normalAcksOption"), QStringLiteral("Normal"));
    normal->setChecked(true);
    ackLayout->addWidget(normal);
    ackLayout->addWidget(makeOption(QStringLiteral("noAcksOption"), QStringLiteral("No ACKs")));
    middle->addWidget(ack);

    auto* tx = new QGroupBox(QStringLiteral("Transmit"));
    tx->setObjectName(QStringLiteral("transmitModeGroup"));
    auto* txLayout = new QGridLayout(tx);
    struct T {
        const char* name;
        const char* caption;
    };
    const T modes[] = {
        {"psk63Option", "PSK-63"},       {"tncOption", "TNC"},          {"aprsIsOption", "APRS-IS"},
        {"mfsk16Option", "MFSK-16 USB"}, {"qpsk125Option", "QPSK-125"}, {"psk250Option", "PSK-250"},
        {"qpsk250Option", "QPSK-250"},   {"gmsk63Option", "GMSK-63"},   {"ax25MfskOption", "AX.25/MFSK"},
        {"gmsk250Option", "GMSK-250"},   {"ax25Option", "AX.25"},       {"ax25Psk63Option", "AX.25/PSK-63"},
        {"ax25GmskOption", "AX.25/GMSK"}};
    int row = 0;
    for (const T& m : modes) {
        QRadioButton* o = makeOption(QString::fromLatin1(m.name), QString::fromLatin1(m.caption));
        m_transmitModes.append(o);
        if (o->objectName() == QLatin1String("gmsk250Option"))
            o->setChecked(true); // design default, no action
        txLayout->addWidget(o, row / 2, row % 2);
        ++row;
    }
    middle->addWidget(tx);
    middle->addStretch();
    grid->addLayout(middle, 0, 1);

    // Right column: station lists, check boxes, local ports and TCP TNC buttons.
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("TNC stations heard")));
    auto* tncHeard = new QListWidget;
    tncHeard->setObjectName(QStringLiteral("tncHeardList"));
    right->addWidget(tncHeard, 1);
    right->addWidget(new QLabel(QStringLiteral("HF stations heard")));
    auto* hfHeard = new QListWidget;
    hfHeard->setObjectName(QStringLiteral("hfHeardList"));
    right->addWidget(hfHeard, 1);
    const T checks[] = {{"hfDigipeatCheck", "HF digipeat"}, {"digipeatMeCheck", "Digipeat me"},
                        {"priorityTxCheck", "Priority Tx"}, {"internetToHfCheck", "Internet to HF"},
                        {"lsbTxModeCheck", "LSB Tx mode"},  {"displayCrcCheck", "Display  CRC "}};
    for (const T& c : checks)
        right->addWidget(makeCheck(QString::fromLatin1(c.name), QString::fromLatin1(c.caption)));

    auto* tcp = new QGroupBox(QStringLiteral("TCP/IP to APRSIS32"));
    tcp->setObjectName(QStringLiteral("localPortsGroup"));
    auto* tcpLayout = new QGridLayout(tcp);
    tcpLayout->addWidget(makeCheck(QStringLiteral("tcpTxCheck"), QStringLiteral("Tx")), 0, 0);
    tcpLayout->addWidget(makeCheck(QStringLiteral("fiveSecondDelayCheck"), QStringLiteral("5 s delay")), 0,
                         1);
    tcpLayout->addWidget(makeLabel(QStringLiteral("localProgramPortLabel"), QString()), 1, 0);
    tcpLayout->addWidget(makeLabel(QStringLiteral("pttPortLabel"), QString()), 1, 1);
    right->addWidget(tcp);
    QPushButton* kiss =
        makeButton(QStringLiteral("kissTcpButton"),
                   QStringLiteral("Connect to Ferrox SoundModem by KISS over port 4000 for AX.25"));
    right->addWidget(kiss);
    right->addWidget(makeLabel(QStringLiteral("kissTcpStatusLabel"), QString()));
    right->addWidget(makeButton(QStringLiteral("agwpeButton"), QStringLiteral("Connect to Ferrox / AGWPE")));
    right->addWidget(makeLabel(QStringLiteral("tncPortStatusLabel"), QString()));
    right->addWidget(new QLabel(QStringLiteral("APRS-IS server data:")));
    QLabel* serverData = makeLabel(QStringLiteral("serverDataLabel"), QString());
    serverData->setWordWrap(true);
    serverData->setMaximumWidth(320);
    right->addWidget(serverData);
    grid->addLayout(right, 0, 2, 3, 1);

    // Modem views: level meter and two waterfalls.
    auto* views = new QVBoxLayout;
    auto* level = new LevelMeter;
    level->setObjectName(QStringLiteral("levelMeter"));
    views->addWidget(level);
    // --- Sound-card modem: its state in words (what runs, or why it is idle) ---
    QLabel* modemStatus = makeLabel(QStringLiteral("modemStatusLabel"), QString());
    modemStatus->setWordWrap(true);
    views->addWidget(modemStatus);
    // --- end sound-card modem ---
    for (const char* name : {"upperWaterfall", "lowerWaterfall"}) {
        auto* view = new WaterfallView;
        view->setObjectName(QLatin1String(name));
        views->addWidget(view);
    }
    grid->addLayout(views, 1, 1);
}

void MainWindow::buildMenus()
{
    QMenu* logs = menuBar()->addMenu(QStringLiteral("&Open Log File"));
    logs->setObjectName(QStringLiteral("mnuLogs"));
    const struct {
        const char* name;
        const char* caption;
        const char* file;
    } entries[] = {{"mnuHeardLog", "&All APSK63 Traffic", records::kMheardLogName},
                   {"mnuReceiveLog", "&Received Messages", records::kReceiveLogName},
                   {"mnuTransmitLog", "&Transmitted Messages", records::kTransmitLogName}};
    for (const auto& e : entries) {
        QAction* a = logs->addAction(QString::fromLatin1(e.caption));
        a->setObjectName(QLatin1String(e.name));
        const char* file = e.file;
        connect(a, &QAction::triggered, this, [this, file] { openStationFile(file); });
    }
    struct W {
        const char* name;
        const char* caption;
    };
    for (const W& w : {W{"mnuStationInfo", StationInfoMenuCaption}, W{"mnuUpdates", "&Check for updates"},
                       W{"mnuWebsite", "Tamberlane website"}, W{"mnuGroup", "Tamberlane Yahoo group"},
                       W{"mnuHelp", "&Help"}}) {
        QAction* a = menuBar()->addAction(QString::fromLatin1(w.caption));
        a->setObjectName(QLatin1String(w.name));
    }
}

} // namespace app
