#include "settings/device_settings.h"

#include "settings/file_names.h"
#include "settings/station_files.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace settings {

namespace {

constexpr qsizetype kMaxFileBytes = 4096;
constexpr qsizetype kMaxValueBytes = 200;

bool toNumber(const QByteArray& value, int low, int high, int& out)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < low || n > high)
        return false;
    out = n;
    return true;
}

/// A value kept as text: printable, short.
bool isPlainText(const QByteArray& value)
{
    if (value.size() > kMaxValueBytes)
        return false;
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

QByteArray pttName(PttKind kind)
{
    switch (kind) {
    case PttKind::Hamlib:
        return "hamlib";
    case PttKind::Cm108:
        return "cm108";
    case PttKind::SerialLines:
        break;
    }
    return "serial";
}

/// How a host and port are written: an IPv6 literal in brackets.
QByteArray hostPortText(const QByteArray& host, quint16 port)
{
    const bool bareV6 = host.contains(':');
    return (bareV6 ? '[' + host + ']' : host) + ':' + QByteArray::number(port);
}

} // namespace

bool splitHostPort(const QByteArray& text, QByteArray& host, quint16& port)
{
    const qsizetype colon = text.lastIndexOf(':');
    if (colon <= 0 || !isPlainText(text))
        return false;
    int n = 0;
    if (!toNumber(text.mid(colon + 1), 1, 65535, n))
        return false;
    QByteArray name = text.left(colon).trimmed();
    if (name.startsWith('[') && name.endsWith(']')) // [::1]:2947
        name = name.mid(1, name.size() - 2);
    // A host is a name or an address literal; anything else ("[]", "[  ]", "[[h]]") names no
    // host, and the last good value stays.
    const auto hostCharacter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '-' || c == '_' || c == ':' || c == '%';
    };
    if (name.isEmpty() || !std::all_of(name.cbegin(), name.cend(), hostCharacter))
        return false;
    // Kept only if it is read back once written (the brackets an IPv6 literal gets count).
    if (hostPortText(name, static_cast<quint16>(n)).size() > kMaxValueBytes)
        return false;
    host = name;
    port = static_cast<quint16>(n);
    return true;
}

DeviceSettings parseDeviceSettings(const QByteArray& content)
{
    DeviceSettings s;
    for (QByteArray line : content.left(kMaxFileBytes).split('\n')) {
        line = line.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (!isPlainText(value))
            continue;
        if (key == "ptt") {
            if (value == "hamlib")
                s.ptt = PttKind::Hamlib;
            else if (value == "cm108")
                s.ptt = PttKind::Cm108;
            else if (value == "serial")
                s.ptt = PttKind::SerialLines;
        } else if (key == "hamlib_model") {
            toNumber(value, 1, 999999, s.hamlibModel);
        } else if (key == "hamlib_device") {
            s.hamlibDevice = value;
        } else if (key == "hamlib_speed") {
            toNumber(value, 0, 4000000, s.hamlibSpeed);
        } else if (key == "cm108_device") {
            s.cm108Device = value;
        } else if (key == "cm108_gpio") {
            toNumber(value, 1, 8, s.cm108Gpio);
        } else if (key == "gps") {
            if (value == "gpsd" || value == "serial")
                s.gpsFromGpsd = value == "gpsd";
        } else if (key == "gpsd") {
            splitHostPort(value, s.gpsdHost, s.gpsdPort);
        }
    }
    return s;
}

QByteArray formatDeviceSettings(const DeviceSettings& s)
{
    QByteArray out;
    auto line = [&out](const char* key, const QByteArray& value) {
        out += key;
        out += '=';
        out += value;
        out += "\r\n";
    };
    line("ptt", pttName(s.ptt));
    line("hamlib_model", QByteArray::number(s.hamlibModel));
    line("hamlib_device", s.hamlibDevice);
    line("hamlib_speed", QByteArray::number(s.hamlibSpeed));
    line("cm108_device", s.cm108Device);
    line("cm108_gpio", QByteArray::number(s.cm108Gpio));
    line("gps", s.gpsFromGpsd ? "gpsd" : "serial");
    line("gpsd", hostPortText(s.gpsdHost, s.gpsdPort));
    return out;
}

DeviceSettings readDeviceSettings(const QString& stationDir)
{
    QFile f(pathIn(stationDir, files::Devices));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parseDeviceSettings(f.read(kMaxFileBytes));
}

bool writeDeviceSettings(const QString& stationDir, const DeviceSettings& settings)
{
    QSaveFile f(pathIn(stationDir, files::Devices));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(formatDeviceSettings(settings));
    return f.commit();
}

} // namespace settings
