#pragma once
#include "packet/agwpe_deframer.h"
#include "platform/station_socket.h"

#include <QObject>
#include <QString>

class QTimer;

namespace links {

class TncLineHandler;

/// Monitoring through an AGWPE-protocol TNC program (`Winsock6`, button `Command9`). On
/// each connection one 'm' request switches monitoring on (the request toggles, and one
/// covers every radio port); each monitored UI packet becomes a line for the TNC line
/// handler. Frames are cut by their data-length field, so several frames in one read, or
/// one frame over several reads, are handled alike.
///
/// After a drop or a failed attempt the socket listens on a port of its own; while the
/// operator wants the link (connected it and has not closed it) it tries the peer again every
/// kReconnectMs.
class AgwpeLink : public QObject {
    Q_OBJECT
public:
    /// Design time between a drop (or a failed attempt) and the next attempt, ms.
    static constexpr int kReconnectMs = 10000;

    explicit AgwpeLink(TncLineHandler& lines, QObject* parent = nullptr);

    /// The program's address; 127.0.0.1:8000 unless changed.
    void setPeer(const QString& host, quint16 port);

    /// `Command9` click: closes a connected link, otherwise connects.
    void Command9_Click();
    int state() const { return m_socket.state(); }
    bool isConnected() const { return m_socket.isConnected(); }
    void close() { m_socket.close(); }
    /// This link's half of the `Timer6` tick.
    void statusTick();
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
    QTimer* m_reconnect = nullptr;
};

} // namespace links
