#pragma once

// The start-up page's choices of how the transmitter is keyed ("PTT": serial RTS/DTR, hamlib or
// a CM108 GPIO) and of gpsd as the GPS source. They live in their own settings file
// (skylark_devices.txt), so the page's record file keeps its layout.

#include "settings/device_settings.h"

#include <QObject>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace app {

class StartupDevices : public QObject {
    Q_OBJECT
public:
    /// Works on `devices` (the station's working values).
    explicit StartupDevices(settings::DeviceSettings& devices, QObject* parent = nullptr);

    /// The "PTT" group.
    QGroupBox* buildPttBox();
    /// The gpsd server field shown under the GPS port list; choosing the list's "gpsd" entry
    /// chooses gpsd, any other entry the serial port.
    QWidget* buildGpsdRow(QListWidget* gpsList);
    /// Adds the "gpsd" entry to the GPS port list (after the serial ports).
    static void addGpsdEntry(QListWidget* gpsList);
    /// True for the list's "gpsd" entry.
    static bool isGpsdEntry(const QListWidgetItem* item);

    /// Reads the settings file and shows what it holds; selects the "gpsd" entry when chosen.
    void read(const QString& stationDir, QListWidget* gpsList);
    /// Takes the controls' values into the working values.
    void apply();
    /// apply(), then writes the settings file.
    void write(const QString& stationDir);

private:
    void show();

    settings::DeviceSettings& m_devices;
    QRadioButton* m_serial = nullptr;
    QRadioButton* m_hamlib = nullptr;
    QRadioButton* m_cm108 = nullptr;
    QSpinBox* m_hamlibModel = nullptr;
    QLineEdit* m_hamlibDevice = nullptr;
    QComboBox* m_hamlibSpeed = nullptr;
    QLineEdit* m_cm108Device = nullptr;
    QSpinBox* m_cm108Gpio = nullptr;
    QLineEdit* m_gpsdServer = nullptr;
};

} // namespace app
