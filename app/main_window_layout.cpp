// The main window's controls, named by their designer names.
#include "main_window.h"

#include "help_files.h"
#include "modem_views.h"
#include "widget_helpers.h"

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
    left->addWidget(makeDisplay(QStringLiteral("Text1")), 2);
    auto* hfTitle = new QHBoxLayout;
    hfTitle->addWidget(new QLabel(QStringLiteral("HF traffic")));
    hfTitle->addStretch();
    hfTitle->addWidget(makeLabel(QStringLiteral("Label18"), QString()));
    hfTitle->addWidget(makeLabel(QStringLiteral("Label30"), QStringLiteral("No GPS connected")));
    hfTitle->addWidget(makeButton(QStringLiteral("Command10"), QString()));
    left->addLayout(hfTitle);
    left->addWidget(makeDisplay(QStringLiteral("Text12")), 2);

    auto* msgTitle = new QHBoxLayout;
    msgTitle->addWidget(new QLabel(QStringLiteral(
        "Messages (New message or ack to message  has arrived when box flashes, click on box to cancel)")));
    msgTitle->addStretch();
    msgTitle->addWidget(makeCheck(QStringLiteral("Check2"), QStringLiteral("Message display")));
    msgTitle->addWidget(makeCheck(QStringLiteral("Check1"), QStringLiteral("Alert")));
    left->addLayout(msgTitle);
    QPlainTextEdit* messages = makeDisplay(QStringLiteral("Text8"));
    messages->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    left->addWidget(messages, 2);

    auto* beaconRow = new QHBoxLayout;
    beaconRow->addWidget(new QLabel(QStringLiteral("Fixed Beacon or Status Text")));
    beaconRow->addWidget(makeField(QStringLiteral("Text9"), QLatin1String(station::titles::kStatusBeacon)),
                         1);
    beaconRow->addWidget(makeLabel(QStringLiteral("Label31"), QStringLiteral("Beacon type")));
    beaconRow->addWidget(makeButton(QStringLiteral("Command7"), QStringLiteral("Fixed")));
    beaconRow->addWidget(makeButton(QStringLiteral("Command6"), QStringLiteral("GPS")));
    left->addLayout(beaconRow);
    left->addWidget(makeCheck(QStringLiteral("Check8"),
                              QStringLiteral("Notch filter, click on waterfall to position notch")));

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(new QLabel(QStringLiteral("APRS-IS Server")));
    serverRow->addWidget(makeField(QStringLiteral("Text10")), 2);
    serverRow->addWidget(new QLabel(QStringLiteral("Passcode")));
    serverRow->addWidget(makeField(QStringLiteral("Text11"), QStringLiteral("-1")), 1);
    serverRow->addWidget(new QLabel(QStringLiteral("Server status")));
    serverRow->addWidget(makeLabel(QStringLiteral("Label13"), QString()), 2);
    left->addLayout(serverRow);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(makeButton(QStringLiteral("Command4"), QStringLiteral(" Send Beacon")));
    buttons->addWidget(makeButton(QStringLiteral("Disconnect"), QStringLiteral("Beacon OFF")));
    buttons->addWidget(makeButton(QStringLiteral("Command3"), QStringLiteral("HF TUNE (5 sec)")));
    buttons->addWidget(makeButton(QStringLiteral("Connect"), QStringLiteral("Connect to Server")));
    buttons->addWidget(makeLabel(QStringLiteral("Label25"), QString()));
    left->addLayout(buttons);

    left->addWidget(new QLabel(QStringLiteral("Type message or command")));
    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(makeField(QStringLiteral("Text2")), 1);
    inputRow->addWidget(makeLabel(QStringLiteral("Label1"), QLatin1String(station::titles::kProgramTitle)));
    QLabel* web = makeLabel(QStringLiteral("Label32"),
                            QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(MakerWebAddress)));
    web->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    web->setTextFormat(Qt::RichText);
    connect(web, &QLabel::linkActivated, this, [this](const QString& link) { openUrl(QUrl(link)); });
    inputRow->addWidget(web);
    left->addLayout(inputRow);

    auto* dataRow = new QHBoxLayout;
    for (int i = 1; i <= 3; ++i) {
        dataRow->addWidget(new QLabel(QStringLiteral("Data %1").arg(i)));
        dataRow->addWidget(makeField(QStringLiteral("Text%1").arg(4 + i)));
    }
    left->addLayout(dataRow);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(QStringLiteral("Send message to")));
    addressRow->addWidget(makeField(QStringLiteral("Text3")));
    addressRow->addWidget(new QLabel(QStringLiteral("My call")));
    addressRow->addWidget(makeField(QStringLiteral("Text4"), QStringLiteral("NOCALL")));
    addressRow->addWidget(new QLabel(QStringLiteral("KISS TNC digi path")));
    addressRow->addWidget(makeField(QStringLiteral("Text13"), QStringLiteral("WIDE2-1")));
    addressRow->addWidget(makeButton(QStringLiteral("Command2"), QStringLiteral("Cancel send")));
    QPushButton* send = makeButton(QStringLiteral("Command1"), QStringLiteral("&Send"));
    send->setDefault(true);
    addressRow->addWidget(send);
    left->addLayout(addressRow);
    grid->addLayout(left, 0, 0, 3, 1);

    // Middle column: option groups and check boxes.
    auto* middle = new QVBoxLayout;
    auto* opMode = new QGroupBox(QStringLiteral("Operating mode"));
    opMode->setObjectName(QStringLiteral("Frame2"));
    auto* opLayout = new QVBoxLayout(opMode);
    const char* opCaptions[] = {"TNC Command ", "APRS Messaging", "Packet Converse", "RAYNET messaging"};
    for (int i = 0; i < 4; ++i) {
        QRadioButton* o =
            makeOption(QStringLiteral("Option%1").arg(i + 1), QString::fromLatin1(opCaptions[i]));
        m_operatingModes.append(o);
        opLayout->addWidget(o);
    }
    middle->addWidget(opMode);

    auto* ack = new QGroupBox(QStringLiteral("Message ACK"));
    ack->setObjectName(QStringLiteral("Frame3"));
    auto* ackLayout = new QVBoxLayout(ack);
    QRadioButton* normal = makeOption(QStringLiteral("Option6"), QStringLiteral("Normal"));
    normal->setChecked(true);
    ackLayout->addWidget(normal);
    ackLayout->addWidget(makeOption(QStringLiteral("Option5"), QStringLiteral("No ACKs")));
    middle->addWidget(ack);

    auto* tx = new QGroupBox(QStringLiteral("Transmit"));
    tx->setObjectName(QStringLiteral("Frame4"));
    auto* txLayout = new QGridLayout(tx);
    struct T {
        const char* name;
        const char* caption;
    };
    const T modes[] = {{"Option7", "PSK-63"},       {"Option8", "TNC"},       {"Option9", "APRS-IS"},
                       {"Option10", "MFSK-16 USB"}, {"Option14", "QPSK-125"}, {"Option15", "PSK-250"},
                       {"Option17", "QPSK-250"},    {"Option18", "GMSK-63"},  {"Option19", "AX.25/MFSK"},
                       {"Option20", "GMSK-250"},    {"Option31", "AX.25"},    {"Option110", "AX.25/PSK-63"},
                       {"Option111", "AX.25/GMSK"}};
    int row = 0;
    for (const T& m : modes) {
        QRadioButton* o = makeOption(QString::fromLatin1(m.name), QString::fromLatin1(m.caption));
        m_transmitModes.append(o);
        if (o->objectName() == QLatin1String("Option20"))
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
    tncHeard->setObjectName(QStringLiteral("List2"));
    right->addWidget(tncHeard, 1);
    right->addWidget(new QLabel(QStringLiteral("HF stations heard")));
    auto* hfHeard = new QListWidget;
    hfHeard->setObjectName(QStringLiteral("List1"));
    right->addWidget(hfHeard, 1);
    const T checks[] = {{"Check3", "HF digipeat"},  {"Check4", "Digipeat me"},
                        {"Check9", "Priority Tx"},  {"Check6", "Internet to HF"},
                        {"Check11", "LSB Tx mode"}, {"Check10", "Display  CRC "}};
    for (const T& c : checks)
        right->addWidget(makeCheck(QString::fromLatin1(c.name), QString::fromLatin1(c.caption)));

    auto* tcp = new QGroupBox(QStringLiteral("TCP/IP to APRSIS32"));
    tcp->setObjectName(QStringLiteral("Frame5"));
    auto* tcpLayout = new QGridLayout(tcp);
    tcpLayout->addWidget(makeCheck(QStringLiteral("Check5"), QStringLiteral("Tx")), 0, 0);
    tcpLayout->addWidget(makeCheck(QStringLiteral("Check7"), QStringLiteral("5 s delay")), 0, 1);
    tcpLayout->addWidget(makeLabel(QStringLiteral("Label23"), QString()), 1, 0);
    tcpLayout->addWidget(makeLabel(QStringLiteral("Label27"), QString()), 1, 1);
    right->addWidget(tcp);
    QPushButton* kiss =
        makeButton(QStringLiteral("Command5"),
                   QStringLiteral("Connect to Ferrox SoundModem by KISS over port 4000 for AX.25"));
    right->addWidget(kiss);
    right->addWidget(makeLabel(QStringLiteral("Label28"), QString()));
    right->addWidget(makeButton(QStringLiteral("Command9"), QStringLiteral("Connect to Ferrox / AGWPE")));
    right->addWidget(makeLabel(QStringLiteral("Label26"), QString()));
    right->addWidget(new QLabel(QStringLiteral("APRS-IS server data:")));
    QLabel* serverData = makeLabel(QStringLiteral("Label16"), QString());
    serverData->setWordWrap(true);
    serverData->setMaximumWidth(320);
    right->addWidget(serverData);
    grid->addLayout(right, 0, 2, 3, 1);

    // Modem views: level meter and two waterfalls.
    auto* views = new QVBoxLayout;
    auto* level = new LevelMeter;
    level->setObjectName(QStringLiteral("XMMVLvl"));
    views->addWidget(level);
    // --- Sound-card modem: its state in words (what runs, or why it is idle) ---
    QLabel* modemStatus = makeLabel(QStringLiteral("LabelModemStatus"), QString());
    modemStatus->setWordWrap(true);
    views->addWidget(modemStatus);
    // --- end sound-card modem ---
    for (const char* name : {"XMMVView1", "XMMVView2"}) {
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
