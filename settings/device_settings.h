#pragma once

// How the station keys its HF transmitter and where its GPS sentences come from, kept in a
// settings file of its own ("skylark_devices.txt": one `key=value` line each, CR LF), so the
// record files of the start-up page and the main window keep their layout.

#include <QByteArray>
#include <QString>

namespace settings {

enum class PttKind {
    SerialLines, ///< RTS/DTR of the "HF PTT Comm Port" (the default)
    Hamlib,      ///< a rig's CAT interface through hamlib
    Cm108,       ///< a GPIO pin of a CM108/CM119 USB sound interface
};

struct DeviceSettings {
    static constexpr int kDefaultHamlibModel = 2; ///< hamlib's "NET rigctl"
    static constexpr int kDefaultCm108Gpio = 3;
    static constexpr quint16 kDefaultGpsdPort = 2947;

    PttKind ptt = PttKind::SerialLines;
    int hamlibModel = kDefaultHamlibModel;
    QByteArray hamlibDevice = "127.0.0.1:4532"; ///< serial device or host:port
    int hamlibSpeed = 0;                        ///< serial speed, 0 = the rig's default
    QByteArray cm108Device;                     ///< /dev/hidrawN; empty = find it
    int cm108Gpio = kDefaultCm108Gpio;          ///< 1..8

    bool gpsFromGpsd = false; ///< gpsd instead of the serial GPS port
    QByteArray gpsdHost = "127.0.0.1";
    quint16 gpsdPort = kDefaultGpsdPort;

    bool operator==(const DeviceSettings&) const = default;
};

/// Parses the file's content. Unknown keys and values out of range are ignored (the default
/// stays), so a damaged file never stops the station.
DeviceSettings parseDeviceSettings(const QByteArray& content);
QByteArray formatDeviceSettings(const DeviceSettings& settings);

/// "host:port" (a port of 1..65535) into its parts; false when it is not that.
bool splitHostPort(const QByteArray& text, QByteArray& host, quint16& port);

DeviceSettings readDeviceSettings(const QString& stationDir);
bool writeDeviceSettings(const QString& stationDir, const DeviceSettings& settings);

} // namespace settings
