#pragma once
#include <QByteArray>

namespace station {

/// The VHF TNC as the senders (messages, acknowledgements, beacons, operating modes) see it:
/// the serial TNC and the KISS links together.
class TncTransmitter {
public:
    virtual ~TncTransmitter() = default;
    /// Writes bytes to the serial TNC port, opening it first when it is closed. Text-mode TNC
    /// lines end with CR, which the caller includes.
    virtual void writeTnc(const QByteArray& bytes) = 0;
    /// Encodes a UI frame and sends it on the KISS link that is up (KISS over TCP while an
    /// AX.25 transmit mode is selected; the serial port when the TNC speaks KISS). A
    /// validation failure is shown through the dialog service and nothing is sent.
    virtual void sendKissFrame(const QByteArray& destination, const QByteArray& source,
                               const QByteArray& path, const QByteArray& info) = 0;
    /// Discards what the TNC sent during our transmission (receive buffer and line).
    virtual void clearMessageHeading() = 0;
    /// True when the TNC port is a text-mode TNC (not KISS, not "No TNC").
    virtual bool isTextModeTnc() const = 0;
};

/// The APRS-IS server connection.
class AprsIsLink {
public:
    virtual ~AprsIsLink() = default;
    virtual bool isConnected() const = 0;
    /// Sends one line (the caller includes CR LF) when connected.
    virtual void sendToAprsIs(const QByteArray& line) = 0;
};

/// The local TCP service ports 8063 (packets), 8500 (PTT notices), 8064 (receive-log records).
class LocalServices {
public:
    virtual ~LocalServices() = default;
    /// "PTT True" CR to the 8500 client, before every HF transmission.
    virtual void announcePttOn() = 0;
    /// Waits until the modem is not transmitting, then "PTT False" CR to the 8500 client.
    virtual void announcePttOff() = 0;
    /// A packet line to the 8063 client (the caller includes CR LF); dropped when none.
    virtual void sendToLocalProgram(const QByteArray& line) = 0;
    /// A receive-log record to the 8064 client; dropped when none.
    virtual void sendReceiveRecord(const QByteArray& record) = 0;
};

/// The shared receive-log procedure: log file, flashing, port 8064, RAYNET sheet.
class ReceiveLogger {
public:
    virtual ~ReceiveLogger() = default;
    virtual void logReceivedMessage(const QByteArray& logCallsign, const QByteArray& logText) = 0;
};

/// The station's links as the parts reach each other; the main window fills it in as it
/// creates them. A link that does not exist (yet) is nullptr.
struct StationLinks {
    TncTransmitter* tnc = nullptr;
    AprsIsLink* aprsIs = nullptr;
    LocalServices* local = nullptr;
    ReceiveLogger* receiveLog = nullptr;
};

} // namespace station
