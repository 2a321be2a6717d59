#include "platform/comm_port_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>

#include <algorithm>

namespace platform {

const char* const CommPortMap::FileName = "skylark_comm_ports.txt";

namespace {
bool isAdapter(const QString& device)
{
    return device.contains(QLatin1String("ttyUSB")) || device.contains(QLatin1String("ttyACM"));
}
} // namespace

CommPortMap CommPortMap::parse(const QByteArray& text)
{
    CommPortMap map;
    const QList<QByteArray> lines = text.split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        const qsizetype comma = line.indexOf(',');
        if (line.isEmpty() || line.startsWith('#') || comma <= 0)
            continue;
        bool ok = false;
        const int n = line.left(comma).trimmed().toInt(&ok);
        const QString device = QString::fromLocal8Bit(line.mid(comma + 1).trimmed());
        if (ok && n >= 1 && n <= MaxPort && !device.isEmpty())
            map.m_devices.insert(n, device);
    }
    return map;
}

QByteArray CommPortMap::serialize() const
{
    QByteArray out;
    for (auto it = m_devices.cbegin(); it != m_devices.cend(); ++it)
        out += QByteArray::number(it.key()) + ',' + it.value().toLocal8Bit() + '\n';
    return out;
}

CommPortMap CommPortMap::load(const QString& stationDir)
{
    QFile f(QDir(stationDir).filePath(QLatin1String(FileName)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parse(f.read(64 * 1024));
}

bool CommPortMap::save(const QString& stationDir) const
{
    QSaveFile f(QDir(stationDir).filePath(QLatin1String(FileName)));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(serialize());
    return f.commit();
}

bool CommPortMap::assign(const QStringList& present)
{
    QStringList fresh;
    for (const QString& d : present)
        if (number(d) == 0 && !fresh.contains(d))
            fresh.append(d);
    std::stable_sort(fresh.begin(), fresh.end(), [](const QString& a, const QString& b) {
        if (isAdapter(a) != isAdapter(b))
            return isAdapter(a);
        return a < b;
    });
    int next = 1;
    for (const QString& d : fresh) {
        while (next <= MaxPort && m_devices.contains(next))
            ++next;
        if (next > MaxPort)
            break;
        m_devices.insert(next, d);
    }
    return !fresh.isEmpty();
}

QStringList CommPortMap::systemDevices()
{
    QStringList out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& p : ports)
        out.append(p.systemLocation());
    return out;
}

QString CommPortMap::presentDevice(int n) const
{
    const QString d = device(n);
    return !d.isEmpty() && QFileInfo::exists(d) ? d : QString();
}

int CommPortMap::number(const QString& device) const
{
    for (auto it = m_devices.cbegin(); it != m_devices.cend(); ++it)
        if (it.value() == device)
            return it.key();
    return 0;
}

void CommPortMap::set(int n, const QString& device)
{
    if (n >= 1 && n <= MaxPort)
        m_devices.insert(n, device);
}

} // namespace platform
