#pragma once
#include "links/tcp_tnc_status.h"
#include "packet/kiss_deframer.h"
#include "platform/station_socket.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace links {

class TncLineHandler;

/// The sound-card TNC program reached by KISS over TCP (`Winsock4`, button `Command5`,
/// receive timer `Timer23`). Frames go both ways; received frames become lines for the TNC
/// line handler.
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
    /// Timer23 (receive tick, connected here).
    void attachTimer(QTimer& timer23);

    /// `Command5` click: closes a connected link (flag cleared), otherwise connects (flag set).
    void Command5_Click();
    /// The active flag (stored as config2 record 21; "1" clicks `Command5` at the next start).
    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    int state() const { return m_socket.state(); }
    bool isConnected() const { return m_socket.isConnected(); }
    /// Sends a KISS frame; false when not connected.
    bool send(const QByteArray& frame) { return m_socket.send(frame); }
    void close() { m_socket.close(); }

    /// Timer23 tick: every complete frame received goes to the line handler, in order.
    void onReceiveTimer();
    /// This link's half of the `Timer6` tick: button caption, colour and enabling; a
    /// socket in the error state is closed.
    void statusTick();

    platform::StationSocket& socket() { return m_socket; }

signals:
    /// `Label28` text.
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
    QTimer* m_timer23 = nullptr;
    QTimer* m_reconnect = nullptr;
    bool m_active = false;
};

} // namespace links
