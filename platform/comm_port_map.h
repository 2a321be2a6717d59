#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

namespace platform {

/// Serial ports are stored in the settings as numbers 1..255. This map gives every device a
/// number that stays with it across restarts. It lives in the station folder as
/// "skylark_comm_ports.txt", one "N,DEVICE" line per port (for example "3,/dev/ttyUSB0").
/// New devices get the lowest free number, USB and ACM adapters first so that they fall in
/// the 1..8 range. An operator or a test may edit a line to point a number at any path, a
/// pseudo-terminal included (those are not listed by the system).
class CommPortMap {
public:
    static constexpr int MaxPort = 255;
    static const char* const FileName; ///< "skylark_comm_ports.txt"

    CommPortMap() = default;
    /// Reads the map of a station folder; a missing or damaged file gives an empty map
    /// (damaged lines are skipped).
    static CommPortMap load(const QString& stationDir);
    /// Writes the map back (atomically); false when the folder is not writable.
    bool save(const QString& stationDir) const;

    /// Gives every device in `present` that has no number yet the lowest free number, USB
    /// and ACM adapters first. Returns true when the map changed.
    bool assign(const QStringList& present);
    /// The system's serial devices (e.g. /dev/ttyS0, /dev/ttyUSB0), as full paths.
    static QStringList systemDevices();

    /// Device path of port n, empty when none.
    QString device(int n) const { return m_devices.value(n); }
    /// Device path of port n when it exists on the machine now, else empty.
    QString presentDevice(int n) const;
    int number(const QString& device) const;
    void set(int n, const QString& device);
    const QMap<int, QString>& entries() const { return m_devices; }

    /// Parses the file's text (exposed for tests and fuzzing).
    static CommPortMap parse(const QByteArray& text);
    QByteArray serialize() const;

private:
    QMap<int, QString> m_devices;
};

} // namespace platform
