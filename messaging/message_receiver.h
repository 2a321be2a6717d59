#pragma once
#include "messaging/received_message.h"

#include "station/station_links.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace station {
struct StationState;
}

namespace messaging {

class MessageSender;

/// The receive steps that classify received packets: the TNC receive step (one monitored line
/// of the VHF TNC) and the APRS-IS receive step (`aprsIsReceiveTimer`, one server line at a time). They
/// fill the messages box and the three lists, answer messages to this station, pass
/// acknowledgements to the ack receivers, call the receive log and report remote-control codes.
class MessageReceiver : public QObject {
    Q_OBJECT
public:
    /// Server lines waiting for the receive step; a longer backlog drops its oldest lines.
    static constexpr int MaxQueuedLines = 1000;

    MessageReceiver(station::StationState& state, station::StationLinks& links, MessageSender& sender,
                    QObject* parent = nullptr);

    /// Time source of the heads and list entries (local time of day is taken from it).
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    /// The TNC receive step for one monitored line (packet text form; line end optional).
    void tncLine(const QByteArray& line);
    /// The APRS-IS receive step for one server line (without line end).
    void aprsIsLine(const QByteArray& line);

    /// Data event side: keeps a server line for the next `aprsIsReceiveTimer` tick (10 ms) and
    /// starts the timer.
    void queueAprsIsLine(const QByteArray& line);
    /// `aprsIsReceiveTimer`: classifies the queued server lines one by one, then `clearAprsIsQueue`.
    void classifyAprsIsLines();
    /// Empties the queue and stops `aprsIsReceiveTimer`.
    void clearAprsIsQueue();
    /// Stops the receive timer (the window's closing); queued lines stay.
    void stopTimers() { m_receiveTimer.stop(); }

signals:
    void messagesTextChanged();           ///< `messagesText` changed: show it in `messagesDisplay`
    void messagesBoxColour(unsigned bgr); ///< `messagesDisplay` background (white or yellow)
    void listsChanged();                  ///< bulletin, weather or group list changed
    void remoteIgateOn();                 ///< a remote-control message switches HF transmission on
    void remoteIgateOff();                ///< ... and off
    void tncStationHeard(const QByteArray& callsign); ///< for "TNC stations heard"

private:
    ReceivedMessage classifyAndShow(Bearer bearer, const QByteArray& line, const QByteArray& callsign);
    QByteArray timeText() const;

    station::StationState& m_state;
    station::StationLinks& m_links;
    MessageSender& m_sender;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };
    QList<QByteArray> m_queue;
    QTimer m_receiveTimer; // aprsIsReceiveTimer
};

} // namespace messaging
