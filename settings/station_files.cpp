#include "settings/station_files.h"

#include "settings/file_names.h"
#include "settings/value_file.h"

#include <QDir>

namespace settings {

namespace {
/// A stored text, or the default when the file is missing or empty.
QByteArray valueOr(const QString& dir, const char* name, const QByteArray& fallback)
{
    const QByteArray v = readValue(pathIn(dir, name));
    return v.isEmpty() ? fallback : v;
}
} // namespace

QString pathIn(const QString& stationDir, const char* fileName)
{
    return QDir(stationDir).filePath(QString::fromLatin1(fileName));
}

StartupTexts readStartupTexts(const QString& dir)
{
    StartupTexts t;
    t.gpsBeaconText = readValue(pathIn(dir, files::GpsBeacon));
    t.tncCall = valueOr(dir, files::MyCall, t.tncCall);
    t.aprsIsCall = valueOr(dir, files::MyCallAprsIs, t.aprsIsCall);
    t.hfCall = valueOr(dir, files::MyCallHf, t.hfCall);
    t.pskFrequency = readValue(pathIn(dir, files::PskFreq));
    t.remoteCall = valueOr(dir, files::RemoteCall, t.remoteCall);
    t.remoteTxOn = valueOr(dir, files::RemoteTxOn, t.remoteTxOn);
    t.remoteTxOff = valueOr(dir, files::RemoteTxOff, t.remoteTxOff);
    t.tncPort = readNumber(pathIn(dir, files::TncPort), 0);
    t.gpsPort = readNumber(pathIn(dir, files::GpsPort), 0);
    t.groupCall = valueOr(dir, files::GroupCall, t.groupCall);
    return t;
}

void writeStartupFiles(const QString& dir, const StartupTexts& t, const RecordFile& config1)
{
    writeText(pathIn(dir, files::GpsBeacon), t.gpsBeaconText);
    writeText(pathIn(dir, files::MyCall), t.tncCall);
    writeText(pathIn(dir, files::MyCallAprsIs), t.aprsIsCall);
    writeText(pathIn(dir, files::MyCallHf), t.hfCall);
    writeText(pathIn(dir, files::RemoteCall), t.remoteCall);
    writeText(pathIn(dir, files::RemoteTxOn), t.remoteTxOn);
    writeText(pathIn(dir, files::RemoteTxOff), t.remoteTxOff);
    writeNumber(pathIn(dir, files::TncPort), t.tncPort);
    writeNumber(pathIn(dir, files::GpsPort), t.gpsPort);
    writeText(pathIn(dir, files::GroupCall), t.groupCall);
    config1.save(pathIn(dir, files::Config1));
    writeText(pathIn(dir, files::PskFreq), t.pskFrequency);
}

MainTexts readMainTexts(const QString& dir)
{
    MainTexts t;
    t.tncCall = valueOr(dir, files::MyCall, t.tncCall);
    t.aprsIsCall = valueOr(dir, files::MyCallAprsIs, t.aprsIsCall);
    t.hfCall = valueOr(dir, files::MyCallHf, t.hfCall);
    t.passcode = valueOr(dir, files::Passcode, t.passcode);
    t.beaconText = readValue(pathIn(dir, files::BeaconText));
    t.sendTo = readValue(pathIn(dir, files::SendTo));
    t.aprsServer = valueOr(dir, files::AprsServer, t.aprsServer);
    t.groupCall = valueOr(dir, files::GroupCall, t.groupCall);
    return t;
}

void writeMainFiles(const QString& dir, const MainTexts& t, const RecordFile& config2)
{
    writeText(pathIn(dir, files::Passcode), t.passcode);
    writeText(pathIn(dir, files::BeaconText), t.beaconText);
    writeText(pathIn(dir, files::SendTo), t.sendTo);
    writeText(pathIn(dir, files::AprsServer), t.aprsServer);
    config2.save(pathIn(dir, files::Config2));
}

} // namespace settings
