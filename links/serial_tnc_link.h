#pragma once
#include "links/tnc_line_handler.h"
#include "links/waiting_writes.h"
#include "packet/kiss_deframer.h"
#include "packet/monitor_line_splitter.h"
#include "platform/comm_port.h"
#include "station/station_links.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace station {
struct StationState;
class Waits;
} // namespace station

namespace links {

class KissTcpLink;

/// The VHF TNC on a serial port (`tncPort`): a text-mode TNC that prints monitored packets
/// and takes keyboard commands, or a KISS TNC.
///
/// Receive chain: the port's receive event gathers bytes and enables the gathering timer
/// (`tncGatherTimer`, 200 ms, one-shot); its tick cuts the bytes into packets (every KISS frame, or
/// every monitored line) and queues them on the line handler (`tncLineTimer`). A frame or line
/// that is not finished yet waits for the next read; an unterminated text such as the
/// "cmd:" prompt is handled once the TNC has been quiet for a whole gathering period.
///
/// It is also the station's TncTransmitter: writes to the port and `sendKissFrame`.
///
/// A device that goes away (the port reports an error and closes, or cannot be opened) is
/// tried again every kReopenMs (`tncReopenTimer`, running only while the device is gone) until
/// it is back; what the station writes meanwhile waits (WaitingWrites) and goes out first
/// once it is. The once-a-minute port watch is kept as it is.
class SerialTncLink : public QObject, public station::TncTransmitter {
    Q_OBJECT
public:
    /// Bytes gathered between two gathering ticks at most; a flood beyond is dropped.
    static constexpr qsizetype kMaxGathered = 64 * 1024;
    /// Design time between two attempts to open a device that has gone, ms.
    static constexpr int kReopenMs = 2000;
    /// Writes that waited longer than this (design ms) for the device are not sent when it is back.
    static constexpr int kMaxWaitMs = 120000;

    /// `resolve` maps a TNC port number to its device path.
    SerialTncLink(station::StationState& state, station::Waits& waits, station::StationLinks& links,
                  std::function<QString(int)> resolve, QObject* parent = nullptr);
    ~SerialTncLink() override;

    /// The settings text of a TNC type code (0 4.8k text, 2 9.6k text, 3 19.2k text,
    /// 4 9.6k KISS, 5 38.4k KISS); empty for "No TNC" (1) and unknown codes.
    static QString settingsFor(int tncTypeCode);

    /// Stops every timer of the link and its line handler (the window's closing).
    void stopTimers();
    /// The port watch runs (or pauses) from outside: a send in progress holds it.
    void setPortWatched(bool watched);
    /// The KISS-over-TCP link `sendKissFrame` also routes to.
    void setKissTcp(KissTcpLink* link) { m_kissTcp = link; }

    platform::CommPort& port() { return m_port; }
    TncLineHandler& lineHandler() { return m_lines; }

    /// Port open at the main window's load: port number and settings of the TNC type,
    /// open, Ctrl-C CR; starts tncStatusTimer, and tncWatchTimer when a port number is set.
    void openAtLoad();
    void close() { m_port.close(); }

    /// Bytes read from the TNC (the port's receive event): kept for the next gathering tick,
    /// which is started.
    void gather(const QByteArray& bytes);
    /// tncGatherTimer tick (200 ms): cut what was gathered into packets for the line handler.
    void onGatherTimer();
    /// tncStatusTimer tick (1 s): the port caption in `tncPortStatusLabel`.
    void onStatusTimer();
    /// tncWatchTimer tick (59 s): reopen the port (it may have vanished and come back).
    void onWatchTimer();
    /// tncReopenTimer tick: open a device that has gone, if it is back.
    void onReopenTimer();
    /// Bytes written while the device was gone, still waiting.
    qsizetype waitingBytes() const { return m_waiting.size(); }

    /// Ctrl-C CR: puts a text-mode TNC in command mode (the operator chose an operating
    /// mode). The only way a control byte other than CR reaches a text-mode TNC.
    void enterCommandMode();
    /// Puts a text-mode TNC back into converse mode ("conv" CR) once the port is free.
    void returnToConverse();
    /// Keyboard input for the TNC; nothing is done with it.
    void handleInput(const QByteArray& text);

    /// The text line of a received KISS frame (bytes after the command byte, still
    /// stuffed): decoded, digipeated by KISS when "HF digipeat" is on and our callsign is
    /// the next hop. Empty when the frame is not a UI frame. A repeat that cannot be encoded
    /// is dropped and counted, never shown in a dialog.
    QByteArray decodeKissFrame(const QByteArray& frame);
    qint64 droppedDigipeats() const { return m_droppedDigipeats; }

    // station::TncTransmitter. To a text-mode TNC only converseText() is written.
    void writeTnc(const QByteArray& bytes) override;
    void sendKissFrame(const QByteArray& destination, const QByteArray& source, const QByteArray& path,
                       const QByteArray& info) override;
    void clearMessageHeading() override;
    bool isTextModeTnc() const override;

signals:
    /// The `tncPortStatusLabel` caption.
    void portStatus(const QString& caption);

private:
    void onPortData();
    void onPortError();
    QString portText() const;
    /// Closes the port and opens it again with the TNC's number and settings; false (with
    /// the error taken) when the device is not there.
    bool reopen();
    /// The port is open: what waited goes out, the reopen timer stops.
    void deviceBack();
    /// The device is gone: tried again on tncReopenTimer.
    void deviceGone();
    /// Bytes to the TNC as they are; they wait while the device is gone.
    void writePort(const QByteArray& bytes);
    /// An encoded frame out on the KISS links that are up.
    void sendKissFrame(const QByteArray& frame);

    station::StationState& m_state;
    station::Waits& m_waits;
    station::StationLinks& m_links;
    std::function<QString(int)> m_resolve; // the port's too: is the device there?
    platform::CommPort m_port;
    TncLineHandler m_lines;
    packet::KissDeframer m_kiss;
    packet::MonitorLineSplitter m_text;
    QByteArray m_gathered;
    bool m_dataSinceTick = false;
    qint64 m_droppedDigipeats = 0;
    KissTcpLink* m_kissTcp = nullptr;
    QTimer m_statusTimer;     // tncStatusTimer
    QTimer m_watchTimer;      // tncWatchTimer: paused while the line handler handles a line
    QTimer m_gatherTimer;     // tncGatherTimer
    QTimer m_reopenTimer;     // tncReopenTimer: only while the device is gone
    bool m_inService = false; // opened at load with a TNC chosen, not yet stopped
    WaitingWrites m_waiting;
    QElapsedTimer m_clock; // ages of the waiting writes
};

} // namespace links
