#include "hf/radio/cm108_ptt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace hf::radio {

QByteArray cm108Report(int gpio, bool keyed)
{
    const auto bit = static_cast<char>(1u << (gpio - 1));
    return QByteArray{"\0\0", 2} + (keyed ? bit : '\0') + bit + '\0';
}

std::optional<int> alsaCardOf(const QString& deviceName)
{
    static const QRegularExpression hw(QStringLiteral("\\(hw:(\\d{1,2}),\\d{1,2}\\)"));
    const auto match = hw.match(deviceName);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

QString hidrawForSoundCard(int card, const QString& sysRoot)
{
    // The card's device is a USB interface; its parent is the USB device, under which the
    // interface's HID function has its hidraw node.
    const QString cardInterface =
        QFileInfo(QStringLiteral("%1/class/sound/card%2/device").arg(sysRoot).arg(card)).canonicalFilePath();
    if (cardInterface.isEmpty())
        return {};
    const QString usbDevice = QFileInfo(cardInterface).path() + QLatin1Char('/');
    QDir hidraw(sysRoot + QStringLiteral("/class/hidraw"));
    const QStringList nodes =
        hidraw.entryList({QStringLiteral("hidraw*")}, QDir::AllEntries | QDir::System, QDir::Name);
    for (const QString& node : nodes) {
        const QString where =
            QFileInfo(hidraw.filePath(node) + QStringLiteral("/device")).canonicalFilePath();
        if (where.startsWith(usbDevice))
            return QStringLiteral("/dev/") + node;
    }
    return {};
}

Cm108Ptt::Cm108Ptt(QString device, int gpio) : m_device(std::move(device)), m_gpio(std::clamp(gpio, 1, 8)) {}

Cm108Ptt::~Cm108Ptt()
{
    if (m_keyed)
        set(false);
}

bool Cm108Ptt::set(bool keyed)
{
    const bool wasKeyed = m_keyed;
    m_keyed = keyed;
    if (!keyed && !wasKeyed)
        return true;
    if (m_device.isEmpty())
        return fail(
            QStringLiteral("PTT on CM108 GPIO %1: no hidraw device found for the sound card").arg(m_gpio));
    // Opened for each change (a USB interface that was unplugged and came back works again),
    // never created: a wrong name must not leave a file behind.
    const int fd =
        ::open(QFile::encodeName(m_device).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(QStringLiteral("PTT on CM108 GPIO %1: %2 cannot be opened: %3")
                        .arg(m_gpio)
                        .arg(m_device, QString::fromLocal8Bit(std::strerror(errno))));
    const QByteArray report = cm108Report(m_gpio, keyed);
    const bool written =
        ::write(fd, report.constData(), static_cast<std::size_t>(report.size())) == report.size();
    const int error = errno;
    ::close(fd);
    if (!written)
        return fail(QStringLiteral("PTT on CM108 GPIO %1: %2 cannot be written: %3")
                        .arg(m_gpio)
                        .arg(m_device, QString::fromLocal8Bit(std::strerror(error))));
    return true;
}

} // namespace hf::radio
