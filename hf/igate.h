#pragma once

// The igate between the bearers: VHF packets to APRS-IS, APRS-IS messages for stations heard
// on HF out on HF (aprsIsToHfTimer), the remote control of the HF transmitter by message, and the
// inner source of relayed packets for the heard lists.
//
// APRS-IS lines for stations heard on HF are queued (at most kMaxQueuedLines, the oldest
// dropped first and counted) and sent one after another, so that lines arriving during a
// gated transmission, or together in one server read, are not lost.

#include "station/station_links.h"
#include "station/station_state.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>

#include <QTimer>

#include <functional>

namespace station {
class Waits;
}

namespace hf {

class HfLink;

class Igate : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxQueuedLines = 32;

    /// `heardStations` reads "HF stations heard" in order.
    Igate(station::StationState& state, station::Waits& waits, station::StationLinks& links, HfLink& hf,
          std::function<QByteArrayList()> heardStations, QObject* parent = nullptr);

    /// Stops the gating timer (the window's closing).
    void stopTimers() { m_gateTick.stop(); }

    /// aprsIsToHfTimer tick (100 ms, runs while lines wait): sends the oldest queued APRS-IS
    /// line on HF.
    void gateAprsIsLineToHf();
    qsizetype queuedLines() const { return m_queue.size(); }
    /// Lines dropped because the queue was full.
    qint64 droppedLines() const { return m_dropped; }

    /// The source of the packet carried inside `packet` (after its first "}"), or empty.
    static QByteArray igatedSource(const QByteArray& packet);

public slots:
    /// A TNC line holding "}": its inner source goes to "TNC stations heard".
    void addIgatedVhfSource(const QByteArray& line);
    /// One line received from the APRS-IS server.
    void aprsIsLine(const QByteArray& line);
    void remoteIgateOn();
    void remoteIgateOff();
    void remoteCommand(bool transmitOn);

signals:
    /// The title label (titleLabel) text and colour (blue-green-red).
    void titleChanged(const QString& text, unsigned bgr);
    /// messagesText changed (a remote-control confirmation head was appended).
    void messagesChanged();
    /// Inner source of a relayed TNC packet, for "TNC stations heard".
    void tncStationHeard(const QByteArray& source);

private:
    void remoteIgate(bool on);

    station::StationState& m_state;
    station::Waits& m_waits;
    station::StationLinks& m_links;
    HfLink& m_hf;
    QTimer m_gateTick; // aprsIsToHfTimer
    std::function<QByteArrayList()> m_heardStations;
    QByteArrayList m_queue;
    qint64 m_dropped = 0;
    bool m_sending = false;
};

} // namespace hf
