#pragma once
#include "links/tcp_tnc_status.h"
#include "platform/station_socket.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace links {

/// What the TNC programs reached over TCP (KISS over TCP, AGWPE) share: the socket and its
/// peer, the button driven by the status timer (`<name>StatusTimer`, 1 s, from the window's
/// opening), and the way back after a drop.
///
/// After the peer closes the connection or it fails, the socket listens on a loopback port of
/// its own. While the link is active (the operator connected it and has not closed it) it
/// tries the peer again every kReconnectMs (`<name>ReconnectTimer`), so an unattended station
/// gets its TNC program back after the program restarts.
class TcpTncLink : public QObject {
    Q_OBJECT
public:
    /// Design time between a drop (or a failed attempt) and the next attempt, ms.
    static constexpr int kReconnectMs = 10000;

    /// The program's address.
    void setPeer(const QString& host, quint16 port);
    /// The status timer runs (the window's opening).
    void start() { m_statusTimer.start(); }
    /// Stops every timer of the link (the window's closing).
    virtual void stopTimers();

    /// The button: closes a connected link (no longer active), otherwise connects (active).
    void connectClicked();
    /// Whether the operator wants the link (connected it and has not closed it).
    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    int state() const { return m_socket.state(); }
    bool isConnected() const { return m_socket.isConnected(); }
    void close() { m_socket.close(); }
    /// Status timer tick: button caption, colour and enabling; a socket in the error state is
    /// closed.
    void statusTick();

    platform::StationSocket& socket() { return m_socket; }

signals:
    void buttonCaption(const QString& caption, unsigned colour);
    void buttonEnabled(bool enabled);

protected:
    /// `name` prefixes the timers' names ("kissTcp", "agwpe").
    TcpTncLink(TcpTnc kind, const QString& name, const QString& host, quint16 port, QObject* parent);

    quint16 peerPort() const { return m_port; }

    /// Before every attempt to reach the peer: what the last connection left is forgotten.
    virtual void startingConnection() = 0;
    /// Right after the attempt has begun.
    virtual void connectionStarted() {}
    /// The peer has connected to the listening socket.
    virtual void connectionAccepted() {}
    /// After a drop or a failure the socket listens again.
    virtual void listeningAgain() {}

private:
    void connectToPeer();
    void backToListening();

    TcpTnc m_kind;
    platform::StationSocket m_socket;
    QString m_host;
    quint16 m_port;
    bool m_active = false;
    QTimer m_statusTimer;
    QTimer m_reconnectTimer; // one-shot, kReconnectMs
};

} // namespace links
