#include "station_files.h"

#include "file_names.h"
#include "value_file.h"

#include <QDir>

#include <array>

namespace settings {

namespace {
/// A stored text, or the default when the file is missing or empty.
QByteArray valueOr(const QString& dir, const char* name, const QByteArray& fallback)
{
    const QByteArray v = readValue(pathIn(dir, name));
    return v.isEmpty() ? fallback : v;
}

constexpr std::array<RecordControl, 44> Config1{{
    {1, "Option12"},  {3, "Option1"},   {4, "Option2"},   {5, "Option3"},   {6, "Option39"},
    {7, "Option40"},  {8, "Option58"},  {9, "Option41"},  {10, "Option53"}, {11, "Option42"},
    {12, "Option43"}, {13, "Option60"}, {14, "Option61"}, {15, "Option62"}, {16, "Option63"},
    {17, "Option64"}, {18, "Option55"}, {19, "Option65"}, {20, "Option66"}, {21, "Option67"},
    {22, "Option68"}, {23, "Option69"}, {24, "Option54"}, {25, "Option86"}, {42, "Option52"},
    {43, "Option44"}, {44, "Option45"}, {45, "Option46"}, {46, "Option47"}, {47, "Option48"},
    {48, "Option49"}, {49, "Option50"}, {50, "Option51"}, {63, "Option57"}, {64, "Option56"},
    {65, "Option28"}, {66, "Option29"}, {67, "Option30"}, {68, "Option31"}, {69, "Option70"},
    {70, "Option59"}, {72, "Option71"}, {73, "Option72"}, {74, "Option73"},
}};

constexpr std::array<RecordControl, 18> Config2{{
    {1, "Option6"},
    {2, "Option5"},
    {4, "Option7"},
    {5, "Option8"},
    {6, "Option9"},
    {7, "Option18"},
    {8, "Option19"},
    {9, "Option20"},
    {11, "Option110"},
    {12, "Option111"},
    {13, "Check3"},
    {14, "Check4"},
    {15, "Check9"},
    {16, "Check6"},
    {17, "Check11"},
    {18, "Check10"},
    {19, "Option15"},
    {20, "Option10"},
}};
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

std::span<const RecordControl> config1Controls()
{
    return Config1;
}
std::span<const RecordControl> config2Controls()
{
    return Config2;
}

} // namespace settings
