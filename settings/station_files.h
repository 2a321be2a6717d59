#pragma once
#include "settings/record_file.h"

#include <QByteArray>
#include <QString>

namespace settings {

/// The start-up page's single-value settings, with their defaults already applied (the
/// custom PSK frequency excepted: its "2100" default is applied after config1 is read).
struct StartupTexts {
    QByteArray gpsBeaconText;
    QByteArray tncCall = "NOCALL";
    QByteArray aprsIsCall = "NOCALL";
    QByteArray hfCall = "NOCALL";
    QByteArray pskFrequency; ///< custom PSK audio frequency, as typed
    QByteArray remoteCall = "NOCALL";
    QByteArray remoteTxOn = "Relay keying open";
    QByteArray remoteTxOff = "Relay keying close";
    int tncPort = 0; ///< 0 = no TNC port
    int gpsPort = 0; ///< 0 = no GPS
    QByteArray groupCall = "NOCALL";
};

/// The main window's own single-value settings and the shared callsigns it reads again.
struct MainTexts {
    QByteArray tncCall = "NOCALL";
    QByteArray aprsIsCall = "NOCALL";
    QByteArray hfCall = "NOCALL";
    QByteArray passcode = "-1";
    QByteArray beaconText;
    QByteArray sendTo;
    QByteArray aprsServer = DefaultAprsServer;
    QByteArray groupCall = "NOCALL";

    static constexpr const char* DefaultAprsServer = "rotate.aprs2.net";
};

/// Reads the start-up page's files in their reading order (config1 is read separately).
StartupTexts readStartupTexts(const QString& stationDir);
/// Writes the start-up page's files in their writing order: the texts and port numbers,
/// then config1, then the custom PSK frequency. Failures are ignored.
void writeStartupFiles(const QString& stationDir, const StartupTexts& texts, const RecordFile& config1);

MainTexts readMainTexts(const QString& stationDir);
/// Writes passcode, beacon text, send-to destination, server, then config2.
void writeMainFiles(const QString& stationDir, const MainTexts& texts, const RecordFile& config2);

QString pathIn(const QString& stationDir, const char* fileName);

} // namespace settings
