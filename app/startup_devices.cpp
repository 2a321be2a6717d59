#include "app/startup_devices.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace app {

namespace {

constexpr int kGpsdRole = Qt::UserRole + 1;

template <typename W> W* named(W* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace

StartupDevices::StartupDevices(settings::DeviceSettings& devices, QObject* parent)
    : QObject(parent), m_devices(devices)
{
}

QGroupBox* StartupDevices::buildPttBox()
{
    auto* box = named(new QGroupBox(QStringLiteral("PTT")), "FramePtt");
    auto* v = new QVBoxLayout(box);
    m_serial = named(new QRadioButton(QStringLiteral("Serial RTS/DTR")), "PttSerial");
    m_hamlib = named(new QRadioButton(QStringLiteral("hamlib")), "PttHamlib");
    m_cm108 = named(new QRadioButton(QStringLiteral("CM108 GPIO")), "PttCm108");
    m_serial->setToolTip(QStringLiteral("The lines of the \"HF PTT Comm Port\" key the transmitter"));
    m_hamlib->setToolTip(QStringLiteral("The radio's CAT interface keys the transmitter, through hamlib"));
    m_cm108->setToolTip(
        QStringLiteral("A GPIO pin of a CM108/CM119 USB sound interface keys the transmitter"));

    auto* hamlib = new QFormLayout;
    m_hamlibModel = named(new QSpinBox, "HamlibModel");
    m_hamlibModel->setRange(1, 999999);
    m_hamlibModel->setToolTip(QStringLiteral("hamlib rig model number (rigctl -l): 2 NET rigctl, 4 FLRig"));
    m_hamlibDevice = named(new QLineEdit, "HamlibDevice");
    m_hamlibDevice->setPlaceholderText(QStringLiteral("/dev/ttyUSB0 or host:port"));
    m_hamlibSpeed = named(new QComboBox, "HamlibSpeed");
    m_hamlibSpeed->addItem(QStringLiteral("default"), 0);
    for (int speed : {4800, 9600, 19200, 38400, 57600, 115200})
        m_hamlibSpeed->addItem(QString::number(speed), speed);
    hamlib->addRow(QStringLiteral("Rig model"), m_hamlibModel);
    hamlib->addRow(QStringLiteral("Device"), m_hamlibDevice);
    hamlib->addRow(QStringLiteral("Speed"), m_hamlibSpeed);

    auto* cm108 = new QFormLayout;
    m_cm108Device = named(new QLineEdit, "Cm108Device");
    m_cm108Device->setPlaceholderText(QStringLiteral("found from the transmit sound card"));
    m_cm108Gpio = named(new QSpinBox, "Cm108Gpio");
    m_cm108Gpio->setRange(1, 8);
    cm108->addRow(QStringLiteral("hidraw device"), m_cm108Device);
    cm108->addRow(QStringLiteral("GPIO"), m_cm108Gpio);

    v->addWidget(m_serial);
    v->addWidget(m_hamlib);
    v->addLayout(hamlib);
    v->addWidget(m_cm108);
    v->addLayout(cm108);
    show();
    return box;
}

QWidget* StartupDevices::buildGpsdRow(QListWidget* gpsList)
{
    connect(gpsList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* clicked) { m_devices.gpsFromGpsd = isGpsdEntry(clicked); });
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(new QLabel(QStringLiteral("gpsd")));
    m_gpsdServer = named(new QLineEdit, "GpsdServer");
    m_gpsdServer->setToolTip(
        QStringLiteral("host:port of gpsd, used when \"gpsd\" is chosen as the GPS port"));
    h->addWidget(m_gpsdServer);
    show();
    return row;
}

void StartupDevices::addGpsdEntry(QListWidget* gpsList)
{
    auto* item = new QListWidgetItem(QStringLiteral("gpsd"), gpsList);
    item->setData(Qt::UserRole, 0); // no serial port
    item->setData(kGpsdRole, true);
}

bool StartupDevices::isGpsdEntry(const QListWidgetItem* item)
{
    return item != nullptr && item->data(kGpsdRole).toBool();
}

void StartupDevices::read(const QString& stationDir, QListWidget* gpsList)
{
    m_devices = settings::readDeviceSettings(stationDir);
    show();
    if (!m_devices.gpsFromGpsd || gpsList == nullptr)
        return;
    for (int i = 0; i < gpsList->count(); ++i)
        if (isGpsdEntry(gpsList->item(i)))
            gpsList->setCurrentRow(i);
}

void StartupDevices::write(const QString& stationDir)
{
    apply();
    settings::writeDeviceSettings(stationDir, m_devices);
}

void StartupDevices::show()
{
    if (m_serial != nullptr) {
        m_serial->setChecked(m_devices.ptt == settings::PttKind::SerialLines);
        m_hamlib->setChecked(m_devices.ptt == settings::PttKind::Hamlib);
        m_cm108->setChecked(m_devices.ptt == settings::PttKind::Cm108);
        m_hamlibModel->setValue(m_devices.hamlibModel);
        m_hamlibDevice->setText(QString::fromLatin1(m_devices.hamlibDevice));
        const int speed = m_hamlibSpeed->findData(m_devices.hamlibSpeed);
        if (speed < 0)
            m_hamlibSpeed->addItem(QString::number(m_devices.hamlibSpeed), m_devices.hamlibSpeed);
        m_hamlibSpeed->setCurrentIndex(m_hamlibSpeed->findData(m_devices.hamlibSpeed));
        m_cm108Device->setText(QString::fromLatin1(m_devices.cm108Device));
        m_cm108Gpio->setValue(m_devices.cm108Gpio);
    }
    if (m_gpsdServer != nullptr) {
        const settings::DeviceSettings& d = m_devices;
        const QString host = QString::fromLatin1(d.gpsdHost);
        m_gpsdServer->setText(
            (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host) +
            QLatin1Char(':') + QString::number(d.gpsdPort));
    }
}

void StartupDevices::apply()
{
    if (m_serial != nullptr) {
        m_devices.ptt = m_hamlib->isChecked()  ? settings::PttKind::Hamlib
                        : m_cm108->isChecked() ? settings::PttKind::Cm108
                                               : settings::PttKind::SerialLines;
        m_devices.hamlibModel = m_hamlibModel->value();
        m_devices.hamlibDevice = m_hamlibDevice->text().trimmed().toLatin1();
        m_devices.hamlibSpeed = m_hamlibSpeed->currentData().toInt();
        m_devices.cm108Device = m_cm108Device->text().trimmed().toLatin1();
        m_devices.cm108Gpio = m_cm108Gpio->value();
    }
    // A server that is not host:port keeps the one before.
    if (m_gpsdServer != nullptr)
        settings::splitHostPort(m_gpsdServer->text().trimmed().toLatin1(), m_devices.gpsdHost,
                                m_devices.gpsdPort);
}

} // namespace app
