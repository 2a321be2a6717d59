#include "settings/record_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace settings {

RecordFile RecordFile::fromBytes(const QByteArray& bytes)
{
    RecordFile f;
    f.m_bytes = bytes.left(qsizetype(RecordLength) * MaxRecords);
    return f;
}

RecordFile RecordFile::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return fromBytes(f.read(qint64(RecordLength) * MaxRecords));
}

bool RecordFile::ensureExists(const QString& path)
{
    if (QFileInfo::exists(path))
        return true;
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

bool RecordFile::save(const QString& path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(m_bytes);
    return f.commit();
}

QByteArray RecordFile::record(int n) const
{
    if (n < 1 || n > MaxRecords)
        return {};
    const qsizetype offset = qsizetype(n - 1) * RecordLength;
    if (offset + 2 > m_bytes.size())
        return {};
    const auto lo = static_cast<unsigned char>(m_bytes[offset]);
    const auto hi = static_cast<unsigned char>(m_bytes[offset + 1]);
    const int length = qMin(lo | (hi << 8), MaxText);
    return m_bytes.mid(offset + 2, length);
}

void RecordFile::setRecord(int n, const QByteArray& text)
{
    if (n < 1 || n > MaxRecords)
        return;
    const QByteArray t = text.left(MaxText);
    const qsizetype offset = qsizetype(n - 1) * RecordLength;
    if (m_bytes.size() < offset + RecordLength)
        m_bytes.append(QByteArray(offset + RecordLength - m_bytes.size(), '\0'));
    m_bytes[offset] = static_cast<char>(t.size() & 0xff);
    m_bytes[offset + 1] = static_cast<char>((t.size() >> 8) & 0xff);
    m_bytes.replace(offset + 2, t.size(), t);
}

} // namespace settings
