#pragma once
#include "packet/agwpe_deframer.h"
#include "platform/station_socket.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace links {

class TncLineHandler;

/// Monitoring through an AGWPE-protocol TNC program (`agwpeSocket`, button `agwpeButton`). On
/// each connection one 'm' request switches monitoring on (the request toggles, and one
/// covers every radio port); each monitored UI packet becomes a line for the TNC line
/// handler. Frames are cut by their data-length field, so several frames in one read, or
/// one frame over several reads, are handled alike.
///
/// After a drop or a failed attempt the socket listens on a port of its own; while the
/// operator wants the link (connected it and has not closed it) it tries the peer again every
/// kReconnectMs. Its timers: `agwpeStatusTimer` (1 s, the button) and `agwpeReconnectTimer`.
class AgwpeLink : public QObject {
    Q_OBJECT
public:
    /// Design time between a drop (or a failed attempt) and the next attempt, ms.
    static constexpr int kReconnectMs = 10000;

    explicit AgwpeLink(TncLineHandler& lines, QObject* parent = nullptr);

    /// The program's address; 127.0.0.1:8000 unless changed.
    void setPeer(const QString& host, quint16 port);

    /// `agwpeButton` click: closes a connected link, otherwise connects.
    void connectClicked();
    int state() const { return m_socket.state(); }
    bool isConnected() const { return m_socket.isConnected(); }
    void close() { m_socket.close(); }
    /// agwpeStatusTimer tick: button caption, colour and enabling; a socket in the error state
    /// is closed.
    void statusTick();
    /// The status timer runs (the window's opening).
    void start() { m_statusTimer.start(); }
    /// Stops every timer of the link (the window's closing).
    void stopTimers();
    /// Frames of any kind received on this connection (replies to requests included).
    int framesReceived() const { return m_frames; }

    platform::StationSocket& socket() { return m_socket; }

signals:
    void buttonCaption(const QString& caption, unsigned colour);
    void buttonEnabled(bool enabled);

private:
    void onData();
    void backToListening();
    void connectToPeer();

    TncLineHandler& m_lines;
    platform::StationSocket m_socket;
    packet::AgwpeDeframer m_deframer;
    QString m_host = QStringLiteral("127.0.0.1");
    quint16 m_port = 8000;
    int m_frames = 0;
    bool m_wanted = false;
    QTimer m_statusTimer;
    QTimer m_reconnectTimer; // one-shot, kReconnectMs
};

} // namespace links
