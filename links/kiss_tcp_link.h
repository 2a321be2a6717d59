#pragma once
#include "links/tcp_tnc_status.h"
#include "packet/kiss_deframer.h"
#include "platform/station_socket.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace links {

class TncLineHandler;

/// The sound-card TNC program reached by KISS over TCP (`kissTcpSocket`, button `kissTcpButton`).
/// Frames go both ways; received frames become lines for the TNC line handler. Its timers:
/// `kissTcpReceiveTimer` (50 ms, started by received bytes), `kissTcpStatusTimer` (1 s, the
/// button) and `kissTcpReconnectTimer`.
///
/// After the peer closes the connection or it fails, the socket listens on a loopback
/// port of its own (shown as "Listening for ..."). While the link is active (the operator
/// connected it and has not closed it) it tries the peer again every kReconnectMs, so an
/// unattended station gets its sound-card TNC back after the program restarts.
class KissTcpLink : public QObject {
    Q_OBJECT
public:
    /// Bytes gathered between two receive ticks at most; a flood beyond is dropped.
    static constexpr qsizetype kMaxBuffered = 64 * 1024;
    /// Design time between a drop (or a failed attempt) and the next attempt, ms.
    static constexpr int kReconnectMs = 10000;

    /// `decodeFrame` turns one deframed KISS frame into its packet line (empty: not a UI
    /// frame); the serial link's decodeKissFrame, which also digipeats.
    KissTcpLink(TncLineHandler& lines, std::function<QByteArray(const QByteArray&)> decodeFrame,
                QObject* parent = nullptr);

    /// The program's address; 127.0.0.1:4000 unless changed.
    void setPeer(const QString& host, quint16 port);
    /// The status timer runs (the window's opening).
    void start() { m_statusTimer.start(); }
    /// Stops every timer of the link (the window's closing).
    void stopTimers();

    /// `kissTcpButton` click: closes a connected link (flag cleared), otherwise connects (flag set).
    void connectClicked();
    /// The active flag (stored as config2 record 21; "1" clicks `kissTcpButton` at the next start).
    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    int state() const { return m_socket.state(); }
    bool isConnected() const { return m_socket.isConnected(); }
    /// Sends a KISS frame; false when not connected.
    bool send(const QByteArray& frame) { return m_socket.send(frame); }
    void close() { m_socket.close(); }

    /// kissTcpReceiveTimer tick: every complete frame received goes to the line handler, in order.
    void onReceiveTimer();
    /// kissTcpStatusTimer tick: button caption, colour and enabling; a socket in the error
    /// state is closed.
    void statusTick();

    platform::StationSocket& socket() { return m_socket; }

signals:
    /// `kissTcpStatusLabel` text.
    void labelText(const QString& text);
    void buttonCaption(const QString& caption, unsigned colour);
    void buttonEnabled(bool enabled);

private:
    void onData();
    void backToListening();
    void connectToPeer();

    TncLineHandler& m_lines;
    std::function<QByteArray(const QByteArray&)> m_decode;
    platform::StationSocket m_socket;
    packet::KissDeframer m_deframer;
    QByteArray m_buffer;
    QString m_host = QStringLiteral("127.0.0.1");
    quint16 m_port = 4000;
    QTimer m_receiveTimer;
    QTimer m_statusTimer;
    QTimer m_reconnectTimer; // one-shot, kReconnectMs
    bool m_active = false;
};

} // namespace links
