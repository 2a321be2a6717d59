#pragma once
#include <QByteArray>
#include <QString>

#include "settings/device_settings.h"
#include "station/start_links.h"
#include "station/tcp_ports.h"

namespace station {

/// The "Transmit" options of the main window.
enum class TransmitMode {
    Psk63,
    Tnc,
    AprsIs,
    Mfsk16,
    Qpsk125,
    Psk250,
    Qpsk250,
    Gmsk63,
    Ax25Mfsk,
    Gmsk250,
    Ax25,
    Ax25Psk63,
    Ax25Gmsk
};

/// The eight HF modes that send through the modem as HF frames.
bool isHfMode(TransmitMode mode);
/// The ten options whose "Send" goes out over the modem: the eight HF modes and "AX.25/PSK-63"
/// and "AX.25/GMSK".
bool sendsMessagesOnHf(TransmitMode mode);
/// The four modes that send AX.25 frames by KISS (and, for three of them, over the modem).
bool isAx25Mode(TransmitMode mode);

/// The "Operating mode" options (none is selected when the window opens).
enum class OperatingMode { None, TncCommand, AprsMessaging, PacketConverse, Raynet };

/// What the operator has chosen on the main window, kept up to date by the window so that
/// the station's parts can read it without touching widgets.
struct WindowChoices {
    TransmitMode transmitMode = TransmitMode::Gmsk250;
    OperatingMode operatingMode = OperatingMode::None;
    bool acksNormal = true;            ///< "Message ACK": "Normal" (else "No ACKs")
    bool hfDigipeat = false;           ///< "HF digipeat"
    bool digipeatMe = false;           ///< "Digipeat me"
    bool priorityTx = false;           ///< "Priority Tx"
    bool internetToHf = false;         ///< "Internet to HF"
    bool lsbTxMode = false;            ///< "LSB Tx mode"
    bool displayCrc = false;           ///< "Display  CRC "
    bool tcpTx = false;                ///< "Tx" (port 8063 relay)
    bool fiveSecondDelay = false;      ///< "5 s delay"
    bool notch = false;                ///< "Notch filter, click on waterfall to position notch"
    bool alert = false;                ///< "Alert"
    QByteArray myCallField = "NOCALL"; ///< "My call" (`myCallField`)
    QByteArray digiPath = "WIDE2-1";   ///< "KISS TNC digi path" (`digiPathField`)

    bool operator==(const WindowChoices&) const = default;
};

/// Beacon rate codes as the start-up page numbers them, with their intervals in seconds.
int beaconIntervalSeconds(int beaconRateCode);

/// The station's shared working values, flags and text buffers: one object owned by the
/// application and handed to every part by reference. Everything here is used on the one
/// user-interface thread.
struct StationState {
    /// Folder holding every settings file, log and sheet.
    QString stationDir;
    /// TCP ports of the service ports and the peers (command line / environment). The
    /// service ports a system picked (0 given) are written back once listening.
    TcpPorts tcpPorts;
    /// Links the main window connects as it opens, besides the stored ones (command line).
    StartLinks startLinks;

    // --- Working values set by the start-up page -------------------------------------
    QByteArray myCall = "NOCALL";     ///< `MyCall`: the TNC callsign
    QByteArray aprsIsCall = "NOCALL"; ///< callsign used on APRS-IS
    QByteArray hfCall = "NOCALL";     ///< callsign used on HF
    QByteArray groupCall = "NOCALL";  ///< group callsign
    int tncTypeCode = 1;    ///< 0 4.8k text, 1 no TNC, 2 9.6k text, 3 19.2k text, 4 9.6k KISS, 5 38.4k KISS
    bool noTnc = true;      ///< "No TNC (HF PTT on comm port)"
    bool gpsOnPort = false; ///< a GPS port was chosen
    int tncPort = 0;        ///< 0 = none
    int gpsPort = 0;        ///< 0 = none
    int hfPttPort = 0;      ///< 0..8, 0 = none
    bool rtsFlag = true;    ///< HF PTT on RTS
    bool dtrFlag = false;   ///< HF PTT on DTR
    settings::DeviceSettings devices;  ///< PTT method and GPS source (their own settings file)
    double pskAudioFrequency = 2100.0; ///< HF audio centre frequency, Hz
    int beaconRateCode = 0;            ///< 0..5, see beaconIntervalSeconds()
    QByteArray gpsIconTable = "/";     ///< APRS symbol table character
    QByteArray gpsIconSymbol = ">";    ///< APRS symbol character
    int txSoundCard = 0;               ///< 0 = not chosen, i + 1 = output list entry i
    int rxSoundCard = 0;               ///< input list entry
    int sampleSpeedCode = 2;           ///< 0 no digi modes, 1 11025 Hz, 2 48000 Hz
    int inputChannelCode = 0;          ///< 0 mono, 1 left, 2 right
    bool sameSoundCard = false;
    bool raynetEnabled = false;
    int raynetRow = 1; ///< "Start on row:" minus 1; raised before each entry
    QByteArray gpsBeaconText;
    QByteArray remoteCall;
    QByteArray remoteTxOnCode;
    QByteArray remoteTxOffCode;

    // --- Flags and counters owned by the main window ----------------------------------
    bool transmitBusy = false;        ///< a transmitter holds the TNC port or the modem
    bool sendInProgress = false;      ///< a send, beacon or tune is under way
    bool shuttingDown = false;        ///< the main window is closing
    bool igateTransmitEnabled = true; ///< HF transmission allowed (remote control)
    bool gpsBeacon = false;           ///< beacon type "GPS" selected
    bool kissSerial = false;          ///< the serial TNC speaks KISS
    int messageNumber = 0;            ///< last message number used, 1..32767
    int lastAckNumber = 0;
    bool ackReceived = false;

    // --- The main window's choices ---------------------------------------------------
    WindowChoices choices;

    // --- Text buffers shown by the message display window ------------------------------
    QByteArray messagesText;
    QByteArray bulletinList;
    QByteArray nwsList;
    QByteArray groupList;
};

} // namespace station
