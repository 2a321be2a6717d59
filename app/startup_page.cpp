#include "app/startup_page.h"

#include "app/help_files.h"
#include "app/startup_devices.h"
#include "app/widget_helpers.h"

#include "platform/clock.h"
#include "platform/comm_port_map.h"
#include "platform/dialog_service.h"
#include "platform/url_opener.h"
#include "settings/file_names.h"
#include "records/csv_table.h"
#include "records/raynet_sheet.h"
#include "settings/psk_frequency.h"
#include "settings/record_file.h"
#include "settings/startup_records.h"
#include "settings/station_files.h"
#include "station/program_titles.h"
#include "station/station_state.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace app {

using settings::PttLine;
using settings::RecordFile;
using settings::StartupGroup;

namespace {
constexpr int AutoStartSeconds = 60;
constexpr int SerialPortProbeLimit = 255;

/// The TNC type code of "No TNC (HF PTT on comm port)".
constexpr int NoTncCode = 1;
/// The value that stands for the custom frequency in the PSK frequency group.
constexpr int CustomFrequency = 0;

/// Selects an option as the form is designed: without running its action.
void designDefault(QRadioButton* option)
{
    const QSignalBlocker quiet(option);
    option->setChecked(true);
}
} // namespace

StartupPage::StartupPage(station::StationState& state, const platform::CommPortMap& ports,
                         hf::radio::AudioDeviceLists audio, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_ports(ports), m_audio(std::move(audio))
{
    setObjectName(QStringLiteral("StartupPage"));
    setWindowTitle(QLatin1String(station::titles::kStartupPageTitle));
    m_autoStart.setParent(this);
    m_countdown.setParent(this);
    m_autoStart.setObjectName(QStringLiteral("autoStartTimer"));
    m_countdown.setObjectName(QStringLiteral("countdownTimer"));
    m_autoStart.setSingleShot(true);
    connect(&m_autoStart, &QTimer::timeout, this, [this] {
        m_autoStart.stop();
        pressStart();
    });
    connect(&m_countdown, &QTimer::timeout, this, &StartupPage::countdownTick);
    build();
    buildMenus();
}

// ---------------------------------------------------------------------------------------
// Layout

QRadioButton* StartupPage::addOption(QGroupBox* box, const QString& name, const QString& caption,
                                     std::function<void()> action)
{
    auto* option = new QRadioButton(caption, box);
    option->setObjectName(name);
    box->layout()->addWidget(option);
    m_options.insert(name, option);
    if (action)
        connect(option, &QRadioButton::toggled, this, [action](bool on) {
            if (on)
                action();
        });
    return option;
}

QLineEdit* StartupPage::addField(const QString& name, const QString& text, int maxLength)
{
    auto* f = new QLineEdit(text);
    f->setObjectName(name);
    if (maxLength > 0)
        f->setMaxLength(maxLength);
    m_fields.insert(name, f);
    return f;
}

void StartupPage::build()
{
    m_devices = new StartupDevices(m_state.devices, this);
    auto* central = new QWidget;
    auto* outer = new QVBoxLayout(central);

    auto* header = new QHBoxLayout;
    auto* logo = new QLabel;
    logo->setObjectName(QStringLiteral("logoImage"));
    logo->setPixmap(QPixmap(QStringLiteral(":/skylark/skylark.png"))
                        .scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    header->addWidget(logo);
    auto* titles = new QVBoxLayout;
    auto* title = new QLabel(QStringLiteral("Skylark"));
    title->setObjectName(QStringLiteral("titleLabel"));
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 10);
    big.setBold(true);
    title->setFont(big);
    titles->addWidget(title);
    auto* version = new QLabel(QStringLiteral("version ") + QLatin1String(station::titles::kVersion));
    version->setObjectName(QStringLiteral("versionLabel"));
    titles->addWidget(version);
    auto* description = new QLabel(QStringLiteral(
        "APRS messaging and Igate program for VHF TNCs  and APRS over HF PSK-63 and GMSK-250 "));
    description->setObjectName(QStringLiteral("descriptionLabel"));
    description->setWordWrap(true);
    titles->addWidget(description);
    auto* web = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(MakerWebAddress)));
    web->setObjectName(QStringLiteral("webLabel"));
    web->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(web, &QLabel::linkActivated, this,
            [](const QString& link) { platform::UrlOpener::instance().open(QUrl(link)); });
    titles->addWidget(web);
    header->addLayout(titles, 1);
    m_countdownLabel = new QLabel;
    m_countdownLabel->setObjectName(QStringLiteral("countdownLabel"));
    header->addWidget(m_countdownLabel);
    m_start = new QPushButton(QStringLiteral("Start"));
    m_start->setObjectName(QStringLiteral("startButton"));
    m_start->setMinimumHeight(40);
    connect(m_start, &QPushButton::clicked, this, &StartupPage::pressStart);
    header->addWidget(m_start);
    outer->addLayout(header);

    auto* grid = new QGridLayout;
    grid->addWidget(buildCallsigns(), 0, 0);
    grid->addWidget(buildPorts(), 0, 1);
    grid->addWidget(buildSound(), 0, 2);
    grid->addWidget(buildHf(), 1, 0);
    grid->addWidget(buildBeacon(), 1, 1);
    grid->addWidget(buildRemoteAndRaynet(), 1, 2);
    outer->addLayout(grid);
    setCentralWidget(central);
}

QWidget* StartupPage::buildCallsigns()
{
    auto* box = new QGroupBox(QStringLiteral("Station"));
    auto* form = new QVBoxLayout(box);
    struct F {
        const char* name;
        const char* label;
    };
    for (const F& f :
         {F{"tncCallField", "My callsign (TNC) SSID 0-15"}, F{"aprsIsCallField", "My callsign (APRS-IS)"},
          F{"hfCallField", "My callsign (HF)"}, F{"groupCallField", "Group callsign"}}) {
        form->addWidget(new QLabel(QString::fromLatin1(f.label)));
        QLineEdit* e = addField(QString::fromLatin1(f.name), QStringLiteral("NOCALL"));
        forceUpperCase(e);
        form->addWidget(e);
    }
    m_gpsTextLabel = new QLabel(QStringLiteral("GPS beacon text - keep it short for best results"));
    m_gpsTextLabel->setObjectName(QStringLiteral("gpsTextLabel"));
    form->addWidget(m_gpsTextLabel);
    QLineEdit* gps = addField(QStringLiteral("gpsBeaconTextField"), QString(), 43);
    connect(gps, &QLineEdit::textChanged, this,
            [this](const QString& t) { m_state.gpsBeaconText = bytesOf(t); });
    form->addWidget(gps);
    form->addStretch();
    return box;
}

QWidget* StartupPage::buildPorts()
{
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);

    auto* tnc = new QGroupBox(QStringLiteral("TNC or GPS"));
    tnc->setObjectName(QStringLiteral("tncTypeGroup"));
    new QVBoxLayout(tnc);
    const struct {
        const char* name;
        const char* caption;
        int code;
    } tncTypes[] = {
        {"tnc4800Option", "4.8 kb serial TNC", 0}, {"noTncOption", "No TNC (HF PTT on comm port)", 1},
        {"tnc9600Option", "9.6 kb serial TNC", 2}, {"tnc19200Option", "19.2 k serial TNC", 3},
        {"kiss9600Option", "9.6 kbd KISS TNC", 4}, {"kiss38400Option", "38.4 kb KISS TNC", 5}};
    for (const auto& t : tncTypes) {
        const int code = t.code;
        storeAs(StartupGroup::TncType, code,
                addOption(tnc, QString::fromLatin1(t.name), QString::fromLatin1(t.caption),
                          [this, code] { selectTncType(code); }));
    }
    // Design default: a first start needs no TNC.
    designDefault(m_options.value("noTncOption"));
    v->addWidget(tnc);

    auto* lists = new QHBoxLayout;
    auto* tncCol = new QVBoxLayout;
    tncCol->addWidget(new QLabel(QStringLiteral("TNC comm port")));
    m_tncList = new QListWidget;
    m_tncList->setObjectName(QStringLiteral("tncPortList"));
    connect(m_tncList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { m_state.tncPort = item->data(Qt::UserRole).toInt(); });
    tncCol->addWidget(m_tncList);
    auto* gpsCol = new QVBoxLayout;
    gpsCol->addWidget(new QLabel(QStringLiteral("GPS comm port")));
    m_gpsList = new QListWidget;
    m_gpsList->setObjectName(QStringLiteral("gpsPortList"));
    connect(m_gpsList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        m_state.gpsPort = item->data(Qt::UserRole).toInt();
        m_state.gpsOnPort = true;
        setGpsControlsEnabled(true);
    });
    gpsCol->addWidget(m_gpsList);
    gpsCol->addWidget(m_devices->buildGpsdRow(m_gpsList));
    lists->addLayout(tncCol);
    lists->addLayout(gpsCol);
    v->addLayout(lists);

    // Kept for its numbering of the ports; the lists are the operator's way to choose.
    m_hiddenPortFrame = new QGroupBox(QStringLiteral("TNC or GPS Comm port"));
    m_hiddenPortFrame->setObjectName(QStringLiteral("hiddenTncPortGroup"));
    new QVBoxLayout(m_hiddenPortFrame);
    for (int n = 1; n <= 16; ++n)
        addOption(m_hiddenPortFrame, QStringLiteral("hiddenTncPort%1Option").arg(n), QString::number(n),
                  [this, n] { selectHiddenTncPort(n); });
    addOption(m_hiddenPortFrame, "noHiddenTncPortOption", "No Comm Port", [this] { selectHiddenTncPort(0); });
    m_hiddenPortFrame->hide();
    v->addWidget(m_hiddenPortFrame);
    return w;
}

QWidget* StartupPage::buildSound()
{
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(new QLabel(QStringLiteral("Select transmit sound card")));
    m_txCombo = new QComboBox;
    m_txCombo->setObjectName(QStringLiteral("outputDeviceCombo"));
    connect(m_txCombo, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && i <= 10)
            m_state.txSoundCard = i + 1;
    });
    v->addWidget(m_txCombo);
    v->addWidget(new QLabel(QStringLiteral("Select receive sound card")));
    m_rxCombo = new QComboBox;
    m_rxCombo->setObjectName(QStringLiteral("inputDeviceCombo"));
    connect(m_rxCombo, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && i <= 10)
            m_state.rxSoundCard = i;
    });
    v->addWidget(m_rxCombo);

    auto* speed = new QGroupBox(QStringLiteral("Sample speed"));
    new QVBoxLayout(speed);
    addOption(speed, "rate11025Option", "11025 Hz", [this] { m_state.sampleSpeedCode = 1; });
    designDefault(addOption(speed, "rate48000Option", "48000 Hz", [this] { m_state.sampleSpeedCode = 2; }));
    addOption(speed, "noDigiModesOption", "No digi modes", [this] { m_state.sampleSpeedCode = 0; });
    v->addWidget(speed);

    auto* channel = new QGroupBox(QStringLiteral("Sound input channel"));
    new QVBoxLayout(channel);
    designDefault(addOption(channel, "monoInputOption", "Mono", [this] { m_state.inputChannelCode = 0; }));
    addOption(channel, "leftInputOption", "Left", [this] { m_state.inputChannelCode = 1; });
    addOption(channel, "rightInputOption", "Right", [this] { m_state.inputChannelCode = 2; });
    v->addWidget(channel);
    v->addStretch();
    return w;
}

QWidget* StartupPage::buildHf()
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);

    auto* freq = new QGroupBox(QStringLiteral("PSK audio frequency"));
    new QVBoxLayout(freq);
    struct P {
        const char* name;
        const char* caption;
        double hz;
    };
    for (const P& p : {P{"psk700HzOption", "700 Hz", 700}, P{"psk1300HzOption", "1300 Hz", 1300},
                       P{"psk1400HzOption", "1400 Hz", 1400}, P{"psk1500HzOption", "1500 Hz", 1500},
                       P{"psk1600HzOption", "1600 Hz", 1600}, P{"psk1800HzOption", "1800 Hz", 1800},
                       P{"psk2000HzOption", "2000 Hz", 2000}, P{"psk2100HzOption", "2100 Hz", 2100},
                       P{"psk2400HzOption", "2400 Hz", 2400}}) {
        const double hz = p.hz;
        storeAs(StartupGroup::PskFrequency, int(hz),
                addOption(freq, QString::fromLatin1(p.name), QString::fromLatin1(p.caption),
                          [this, hz] { m_state.pskAudioFrequency = hz; }));
    }
    designDefault(m_options.value("psk2100HzOption"));
    auto* customRow = new QWidget;
    auto* customLayout = new QHBoxLayout(customRow);
    customLayout->setContentsMargins(0, 0, 0, 0);
    auto* custom = new QRadioButton(QString());
    custom->setObjectName(QStringLiteral("customFrequencyOption"));
    m_options.insert(QStringLiteral("customFrequencyOption"), custom);
    storeAs(StartupGroup::PskFrequency, CustomFrequency, custom);
    connect(custom, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            useCustomFrequency();
    });
    customLayout->addWidget(custom);
    QLineEdit* customText = addField(QStringLiteral("customFrequencyField"), QStringLiteral("2100"));
    connect(customText, &QLineEdit::textChanged, this, &StartupPage::customFrequencyEdited);
    connect(customText, &QLineEdit::editingFinished, this, &StartupPage::checkCustomFrequency);
    customLayout->addWidget(customText);
    freq->layout()->addWidget(customRow);
    // The custom option sits in a row of its own: one group keeps the ten options exclusive.
    auto* frequencies = new QButtonGroup(freq);
    for (QRadioButton* o : freq->findChildren<QRadioButton*>())
        frequencies->addButton(o);
    h->addWidget(freq);

    auto* right = new QVBoxLayout;
    auto* ptt = new QGroupBox(QStringLiteral("HF PTT Comm Port"));
    new QVBoxLayout(ptt);
    designDefault(storeAs(StartupGroup::PttPort, 0,
                          addOption(ptt, "noPttPortOption", "No Comm Port", [this] { selectHfPttPort(0); })));
    for (int n = 1; n <= 8; ++n)
        storeAs(StartupGroup::PttPort, n,
                addOption(ptt, QStringLiteral("pttPort%1Option").arg(n), QString::number(n),
                          [this, n] { selectHfPttPort(n); }));
    right->addWidget(ptt);
    auto* line = new QGroupBox(QStringLiteral("HF PTT out"));
    new QVBoxLayout(line);
    const struct {
        const char* name;
        const char* caption;
        PttLine line;
    } pttLines[] = {{"rtsPttOption", "RTS", PttLine::Rts},
                    {"dtrPttOption", "DTR", PttLine::Dtr},
                    {"rtsAndDtrPttOption", "TD", PttLine::Both}};
    for (const auto& l : pttLines) {
        const bool rts = l.line != PttLine::Dtr, dtr = l.line != PttLine::Rts;
        storeAs(
            StartupGroup::PttLine, int(l.line),
            addOption(line, QString::fromLatin1(l.name), QString::fromLatin1(l.caption), [this, rts, dtr] {
                m_state.rtsFlag = rts;
                m_state.dtrFlag = dtr;
            }));
    }
    designDefault(m_options.value("rtsPttOption"));
    right->addWidget(line);
    right->addWidget(m_devices->buildPttBox());
    h->addLayout(right);
    return w;
}

QWidget* StartupPage::buildBeacon()
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    auto* rate = new QGroupBox(QStringLiteral("Beacon rate"));
    new QVBoxLayout(rate);
    struct R {
        const char* name;
        const char* caption;
        int code;
    };
    for (const R& r : {R{"beaconEvery2MinOption", "2 min", 4}, R{"beaconEvery5MinOption", "5 min", 5},
                       R{"beaconEvery10MinOption", "10 min", 0}, R{"beaconEvery20MinOption", "20 min", 1},
                       R{"beaconEvery30MinOption", "30 min", 2}, R{"beaconEvery60MinOption", "60 min", 3}}) {
        const int code = r.code;
        storeAs(StartupGroup::BeaconRate, code,
                addOption(rate, QString::fromLatin1(r.name), QString::fromLatin1(r.caption),
                          [this, code] { m_state.beaconRateCode = code; }));
    }
    designDefault(m_options.value("beaconEvery10MinOption"));
    h->addWidget(rate);

    auto* icon = new QGroupBox(QStringLiteral("GPS HF beacon icon"));
    new QVBoxLayout(icon);
    // Screen order; the icons themselves are numbered in record order.
    const struct {
        const char* name;
        int icon;
    } icons[] = {{"carIconOption", 0},         {"vanIconOption", 1},   {"jeepIconOption", 2},
                 {"rvIconOption", 3},          {"truckIconOption", 4}, {"ambulanceIconOption", 6},
                 {"busIconOption", 7},         {"shipIconOption", 8},  {"yachtIconOption", 9},
                 {"largeTruckIconOption", 10}, {"campIconOption", 5},  {"hfStationIconOption", 11}};
    for (const auto& i : icons) {
        const settings::GpsIcon& gps = settings::gpsIcons()[size_t(i.icon)];
        const QByteArray table(1, gps.table), symbol(1, gps.symbol);
        storeAs(StartupGroup::GpsIcon, i.icon,
                addOption(icon, QString::fromLatin1(i.name), QString::fromLatin1(gps.caption),
                          [this, table, symbol] {
                              m_state.gpsIconTable = table;
                              m_state.gpsIconSymbol = symbol;
                          }));
    }
    designDefault(m_options.value("carIconOption"));
    h->addWidget(icon);
    return w;
}

QWidget* StartupPage::buildRemoteAndRaynet()
{
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    auto* remote = new QGroupBox(QStringLiteral("Igate remote control"));
    auto* rl = new QVBoxLayout(remote);
    rl->addWidget(new QLabel(QStringLiteral("Remote control callsign")));
    QLineEdit* call = addField(QStringLiteral("remoteCallField"), QString(), 9);
    forceUpperCase(call);
    rl->addWidget(call);
    rl->addWidget(new QLabel(QStringLiteral("Transmit ON code")));
    rl->addWidget(addField(QStringLiteral("remoteTxOnField"), QString(), 18));
    rl->addWidget(new QLabel(QStringLiteral("Transmit OFF code")));
    rl->addWidget(addField(QStringLiteral("remoteTxOffField"), QString(), 18));
    v->addWidget(remote);

    auto* raynet = new QGroupBox(QStringLiteral("RAYNET.XLS"));
    new QVBoxLayout(raynet);
    storeAs(StartupGroup::Raynet, 1,
            addOption(raynet, "raynetEnabledOption", "Enabled", [this] { m_state.raynetEnabled = true; }));
    designDefault(storeAs(
        StartupGroup::Raynet, 0,
        addOption(raynet, "raynetDisabledOption", "Disabled", [this] { m_state.raynetEnabled = false; })));
    raynet->layout()->addWidget(new QLabel(QStringLiteral("Start on row:")));
    QLineEdit* startRow = addField(QStringLiteral("raynetRowField"), m_goodStartRow);
    connect(startRow, &QLineEdit::editingFinished, this, &StartupPage::checkStartRow);
    raynet->layout()->addWidget(startRow);
    v->addWidget(raynet);
    v->addStretch();
    return w;
}

void StartupPage::buildMenus()
{
    QAction* about = menuBar()->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, [] {
        platform::DialogService::instance().showMessage(platform::DialogService::Icon::None, QString(),
                                                        QLatin1String(station::titles::kProgramTitle) +
                                                            QLatin1Char('\n') + QLatin1String(AboutCredits));
    });
    QAction* help = menuBar()->addAction(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(help, &QAction::triggered, this, [this] {
        platform::UrlOpener::instance().open(
            QUrl::fromLocalFile(helpFilePath(m_state.stationDir, settings::files::Help1)));
    });
}

QRadioButton* StartupPage::option(const QString& name) const
{
    return m_options.value(name);
}

QLineEdit* StartupPage::field(const QString& name) const
{
    return m_fields.value(name);
}

// ---------------------------------------------------------------------------------------
// Option actions

void StartupPage::setGpsControlsEnabled(bool enabled)
{
    m_fields.value("gpsBeaconTextField")->setEnabled(enabled);
    m_gpsTextLabel->setEnabled(enabled);
    m_options.value("beaconEvery2MinOption")->setEnabled(enabled);
}

void StartupPage::selectTncType(int code)
{
    m_state.tncTypeCode = code;
    m_state.noTnc = code == NoTncCode;
    m_state.gpsOnPort = false;
    setGpsControlsEnabled(false);
}

void StartupPage::selectHfPttPort(int n)
{
    m_state.hfPttPort = n;
    for (int k = 1; k <= 16; ++k)
        m_options.value(QStringLiteral("hiddenTncPort%1Option").arg(k))->setEnabled(n == 0 || k != n);
}

void StartupPage::selectHiddenTncPort(int n)
{
    if (n > 0)
        m_state.tncPort = n;
    for (int k = 1; k <= 8; ++k)
        m_options.value(QStringLiteral("pttPort%1Option").arg(k))->setEnabled(n == 0 || k != n);
}

void StartupPage::customFrequencyEdited(const QString& text)
{
    QRadioButton* custom = m_options.value("customFrequencyOption");
    const std::optional<double> hz = settings::parseCustomPskFrequency(text);
    if (!hz) {
        custom->setEnabled(false);
    } else if (*hz > settings::MinCustomPskFrequency && *hz < settings::MaxCustomPskFrequency) {
        custom->setEnabled(true);
        if (custom->isChecked())
            m_state.pskAudioFrequency = *hz;
    }
}

bool StartupPage::refuseBadField(QLineEdit* field, const QString& goodText, bool good, const QString& message)
{
    if (good)
        return false;
    platform::DialogService::instance().showMessage(platform::DialogService::Icon::Exclamation, QString(),
                                                    message);
    field->setText(goodText);
    return true;
}

void StartupPage::checkCustomFrequency()
{
    QLineEdit* field = m_fields.value("customFrequencyField");
    const bool good = settings::parseCustomPskFrequency(field->text()).has_value();
    if (!refuseBadField(field, m_goodCustomFrequency, good,
                        QStringLiteral("The PSK audio frequency must be a number of hertz from 500 to 2500; "
                                       "\"%1\" is not used. Keeping %2 Hz.")
                            .arg(field->text(), m_goodCustomFrequency)))
        m_goodCustomFrequency = field->text().trimmed();
}

void StartupPage::useCustomFrequency()
{
    checkCustomFrequency();
    if (const auto hz = settings::parseCustomPskFrequency(m_goodCustomFrequency))
        m_state.pskAudioFrequency = *hz;
}

void StartupPage::checkStartRow()
{
    QLineEdit* field = m_fields.value("raynetRowField");
    const bool good = records::RaynetSheet::parseStartRow(field->text()).has_value();
    if (!refuseBadField(field, m_goodStartRow, good,
                        QStringLiteral("Start on row: must be a row number from 2 to %1; \"%2\" is not used. "
                                       "Keeping row %3.")
                            .arg(records::CsvTable::kMaxRow)
                            .arg(field->text(), m_goodStartRow)))
        m_goodStartRow = field->text().trimmed();
}

// ---------------------------------------------------------------------------------------
// Load, start and close

void StartupPage::load()
{
    m_txCombo->addItems(m_audio.outputs);
    m_rxCombo->addItems(m_audio.inputs);

    m_secondsLeft = AutoStartSeconds;
    platform::Clock::setDesignInterval(m_autoStart, AutoStartSeconds * 1000.0);
    platform::Clock::setDesignInterval(m_countdown, 1000.0);
    m_autoStart.start();
    m_countdown.start();

    m_tncList->clear();
    m_gpsList->clear();
    for (int n = 1; n <= SerialPortProbeLimit; ++n) {
        const QString name = m_ports.presentDevice(n);
        if (name.isEmpty())
            continue;
        for (QListWidget* list : {m_tncList, m_gpsList}) {
            auto* item = new QListWidgetItem(name, list);
            item->setData(Qt::UserRole, n);
        }
    }
    StartupDevices::addGpsdEntry(m_gpsList);

    m_state.raynetEnabled = true;
    m_txCombo->setEnabled(true);
    m_rxCombo->setEnabled(true);
    readSettings();
    if (m_fields.value("customFrequencyField")->text().isEmpty())
        m_fields.value("customFrequencyField")->setText(m_goodCustomFrequency);
    showStoredSoundCards();
}

void StartupPage::showStoredSoundCards()
{
    // A stored entry that no longer exists shows the system's default device.
    auto show = [](QComboBox* list, int entry) {
        if (entry < 0 || entry >= list->count())
            entry = list->findText(QStringLiteral("default"));
        list->setCurrentIndex(entry);
    };
    show(m_txCombo, m_state.txSoundCard - 1);
    show(m_rxCombo, m_state.rxSoundCard);
}

void StartupPage::readSettings()
{
    const QString dir = m_state.stationDir;
    const settings::StartupTexts t = settings::readStartupTexts(dir);
    m_fields.value("gpsBeaconTextField")->setText(textOf(t.gpsBeaconText));
    m_state.gpsBeaconText = t.gpsBeaconText;
    m_fields.value("tncCallField")->setText(textOf(t.tncCall));
    m_fields.value("aprsIsCallField")->setText(textOf(t.aprsIsCall));
    m_fields.value("hfCallField")->setText(textOf(t.hfCall));
    m_fields.value("customFrequencyField")->setText(textOf(t.pskFrequency));
    if (!t.pskFrequency.isEmpty())
        checkCustomFrequency();
    m_fields.value("remoteCallField")->setText(textOf(t.remoteCall));
    m_fields.value("remoteTxOnField")->setText(textOf(t.remoteTxOn));
    m_fields.value("remoteTxOffField")->setText(textOf(t.remoteTxOff));
    m_state.tncPort = t.tncPort;
    m_state.gpsPort = t.gpsPort;
    if (t.gpsPort != 0)
        m_state.gpsOnPort = true;
    for (QListWidget* list : {m_tncList, m_gpsList}) {
        const int wanted = list == m_tncList ? t.tncPort : t.gpsPort;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->data(Qt::UserRole).toInt() == wanted)
                list->setCurrentRow(i);
    }
    m_devices->read(dir, m_gpsList);
    if (m_state.devices.gpsFromGpsd)
        m_state.gpsOnPort = true;
    m_fields.value("groupCallField")->setText(textOf(t.groupCall));

    const QString config1Path = settings::pathIn(dir, settings::files::Config1);
    RecordFile::ensureExists(config1Path);
    applyStoredOptions(settings::readStartupOptions(RecordFile::load(config1Path)));
}

void StartupPage::applyStoredOptions(const settings::StartupOptions& stored)
{
    for (int g = 0; g < settings::StartupGroupCount; ++g) {
        const settings::StoredChoice& choice = stored.groups[size_t(g)];
        QRadioButton* option = m_stored.value({StartupGroup(g), choice.value});
        if (!choice.isStored() || !option)
            continue;
        selectOption(option);
        if (choice.clearedAfter)
            clearOption(option);
    }
    if (stored.txSoundCard)
        m_state.txSoundCard = *stored.txSoundCard;
    m_state.rxSoundCard = stored.rxSoundCard;
    if (stored.sampleSpeed) {
        const char* const speeds[] = {"noDigiModesOption", "rate11025Option",
                                      "rate48000Option"}; // codes 0, 1, 2
        selectOption(m_options.value(QLatin1String(speeds[*stored.sampleSpeed])));
    }
    if (stored.inputChannel) {
        const char* const channels[] = {"monoInputOption", "leftInputOption",
                                        "rightInputOption"}; // mono, left, right
        selectOption(m_options.value(QLatin1String(channels[*stored.inputChannel])));
    }
    if (stored.sameSoundCard) {
        m_state.sameSoundCard = *stored.sameSoundCard;
        m_txCombo->setEnabled(!m_state.sameSoundCard);
        m_rxCombo->setEnabled(!m_state.sameSoundCard);
    }
}

void StartupPage::writeSettings()
{
    const QString dir = m_state.stationDir;
    m_state.raynetEnabled = m_options.value("raynetEnabledOption")->isChecked();
    m_state.rtsFlag =
        m_options.value("rtsPttOption")->isChecked() || m_options.value("rtsAndDtrPttOption")->isChecked();
    m_state.dtrFlag =
        m_options.value("dtrPttOption")->isChecked() || m_options.value("rtsAndDtrPttOption")->isChecked();

    settings::StartupTexts t;
    t.gpsBeaconText = bytesOf(m_fields.value("gpsBeaconTextField")->text());
    t.tncCall = bytesOf(m_fields.value("tncCallField")->text());
    t.aprsIsCall = bytesOf(m_fields.value("aprsIsCallField")->text());
    t.hfCall = bytesOf(m_fields.value("hfCallField")->text());
    t.remoteCall = bytesOf(m_fields.value("remoteCallField")->text());
    t.remoteTxOn = bytesOf(m_fields.value("remoteTxOnField")->text());
    t.remoteTxOff = bytesOf(m_fields.value("remoteTxOffField")->text());
    t.tncPort = m_state.tncPort;
    t.gpsPort = m_state.gpsPort;
    t.groupCall = bytesOf(m_fields.value("groupCallField")->text());
    checkCustomFrequency();
    t.pskFrequency = bytesOf(m_goodCustomFrequency);

    settings::StartupSelection chosen;
    for (auto it = m_stored.cbegin(); it != m_stored.cend(); ++it)
        if (it.value()->isChecked())
            chosen.group(it.key().first) = it.key().second;
    chosen.txSoundCard = m_state.txSoundCard;
    chosen.rxSoundCard = m_state.rxSoundCard;
    chosen.sampleSpeed = m_state.sampleSpeedCode;
    chosen.inputChannel = m_state.inputChannelCode;
    chosen.sameSoundCard = m_state.sameSoundCard;
    const QString config1Path = settings::pathIn(dir, settings::files::Config1);
    RecordFile c1 = RecordFile::load(config1Path); // records not written here keep their bytes
    settings::writeStartupOptions(chosen, c1);
    settings::writeStartupFiles(dir, t, c1);
    m_devices->write(dir);
}

QRadioButton* StartupPage::storeAs(settings::StartupGroup group, int value, QRadioButton* option)
{
    m_stored.insert({group, value}, option);
    return option;
}

void StartupPage::countdownTick()
{
    --m_secondsLeft;
    m_countdownLabel->setText(QStringLiteral("Time to automatic start: %1 sec").arg(m_secondsLeft));
    if (m_secondsLeft < 1)
        m_countdown.stop();
}

void StartupPage::pressStart()
{
    if (m_started)
        return;
    m_started = true;
    m_state.gpsBeaconText = bytesOf(m_fields.value("gpsBeaconTextField")->text());
    m_devices->apply();
    m_start->setText(QStringLiteral("Loading..."));
    emit startRequested();
    hide();
}

void StartupPage::closePage()
{
    if (m_options.value("raynetEnabledOption")->isChecked())
        platform::DialogService::instance().showMessage(
            platform::DialogService::Icon::Exclamation, QString(),
            QStringLiteral("Only use the Raynet.xls spreadsheet when using Skylark. Other spreadsheets may "
                           "be overwritten!"));
    m_state.remoteCall = bytesOf(m_fields.value("remoteCallField")->text());
    m_state.remoteTxOnCode = bytesOf(m_fields.value("remoteTxOnField")->text());
    m_state.remoteTxOffCode = bytesOf(m_fields.value("remoteTxOffField")->text());
    m_autoStart.stop();
    m_countdown.stop();
    checkStartRow();
    m_state.raynetRow = records::RaynetSheet::parseStartRow(m_goodStartRow).value_or(2) - 1;
    writeSettings();
}

void StartupPage::closeEvent(QCloseEvent* event)
{
    if (!m_started) {
        closePage();
        emit closedBeforeStart();
    }
    event->accept();
}

} // namespace app
