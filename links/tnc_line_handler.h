#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace station {
struct StationState;
struct StationLinks;
} // namespace station

namespace links {

/// The TNC line handler (its tick is `tncLineTimer`, 50 ms): every received packet line of the serial TNC,
/// the KISS-over-TCP link and the AGWPE link ends up here, one line per tick.
///
/// A packet whose information holds CR, LF or NUL is only shown (escaped). Gating to APRS-IS
/// follows the igate rules (packet::igateLine).
///
/// Lines wait in a bounded queue, so packets that arrive close together are each handled
/// on their own and in order. Each handled line is copied to APRS-IS (when connected), shown
/// on the monitor, checked for the "cmd:" prompt, its source reported for the heard list,
/// traffic relayed from the internet ("}") reported for the igate, and the line copied to
/// the local program on port 8063 (at most 256 characters).
class TncLineHandler : public QObject {
    Q_OBJECT
public:
    /// Lines kept waiting at most; further lines are dropped until the queue drains (a TNC
    /// cannot send faster than the handler takes them, so this only bounds a runaway).
    static constexpr qsizetype kMaxQueuedLines = 512;

    TncLineHandler(station::StationState& state, station::StationLinks& links, QObject* parent = nullptr);

    /// The line timer runs (the window's opening); it rests again once the queue is empty.
    void start() { m_lineTimer.start(); }
    /// Stops the line timer; waiting lines stay.
    void stop() { m_lineTimer.stop(); }
    /// What the handler calls on the TNC's "cmd:" prompt (the serial link's `returnToConverse`).
    void setReturnToConverse(std::function<void()> returnToConverse)
    {
        m_returnToConverse = std::move(returnToConverse);
    }

    /// Queues one received line (a packet in text form; CR LF is added when missing) and
    /// starts the line timer. Empty lines are ignored.
    void receiveLine(const QByteArray& line);
    /// The line timer's tick: handles the oldest waiting line.
    void onLineTimer();
    /// Drops every waiting line and stops the line timer.
    void clear();

    qsizetype queuedLines() const { return m_queue.size(); }
    /// Packets that held CR, LF or NUL inside: shown escaped, passed on nowhere.
    qint64 multiLinePackets() const { return m_multiLinePackets; }

signals:
    /// Text to append to the "TNC traffic" monitor.
    void monitorText(const QByteArray& text);
    /// A station heard on VHF (never the own callsign): add to "TNC stations heard". Not
    /// reported for relayed traffic ("}"): igatedLine() carries that line instead.
    void stationHeard(const QByteArray& call);
    /// A line holding "}": traffic relayed from the internet, for `addIgatedVhfSource`.
    void igatedLine(const QByteArray& line);
    /// Every handled line (ending CR LF) outside "TNC Command" mode, for the received-packet
    /// classification and `logReceivedMessage`.
    void packetLine(const QByteArray& line);
    /// A line is being handled: the serial link's port watch pauses meanwhile.
    void handlingStarted();
    /// The line has been handled.
    void handlingFinished();

private:
    void handle(const QByteArray& line);
    void finishLine();

    station::StationState& m_state;
    station::StationLinks& m_links;
    QTimer m_lineTimer; // tncLineTimer
    std::function<void()> m_returnToConverse;
    QList<QByteArray> m_queue;
    qint64 m_multiLinePackets = 0;
    bool m_handling = false;
};

} // namespace links
