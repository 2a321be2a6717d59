#pragma once
#include "messaging/aprs_is_line_reader.h"

#include "platform/station_socket.h"
#include "station/station_links.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

namespace station {
struct StationState;
}

namespace aprsis {

/// The one TCP connection to an APRS-IS server (`aprsIsSocket`): log-on, status display, automatic
/// reconnection and the send primitive `sendToAprsIs` every other part uses.
///
/// Connecting is event driven: the log-on line goes out from the socket's connected event, so
/// no wait loop runs inside another part's wait. Its timers: `aprsIsStatusTimer` (1 s,
/// statusTick(), from the window's opening on) and `aprsIsReconnectTimer` (10 s, reconnectTick(),
/// started after a drop).
///
/// Received bytes are split into packet lines (server comments "#..." skipped, a partial last
/// line kept for the next read); lineReceived() carries each one to the receive step and to
/// the APRS-IS-to-HF gateway. dataReceived() reports each whole read as it came.
///
/// Servers send a comment line at least every 20 s or so. A link that brings nothing for
/// kSilenceMs is taken for dead (a hung server, or a connection lost on the way without a
/// reset): it is closed and the reconnect timer started, as after a drop.
class AprsIsClient : public QObject, public station::AprsIsLink {
    Q_OBJECT
public:
    static constexpr quint16 DefaultServerPort = 14580;
    /// Design time without a byte from the server after which the link is taken for dead, ms.
    static constexpr int kSilenceMs = 120000;

    AprsIsClient(station::StationState& state, QObject* parent = nullptr);

    /// "user " + call + " pass " + passcode + " vers " + the program's name and version +
    /// " filter g/" + call + "/" + groupCall + CR LF. The passcode goes out exactly as typed.
    static QByteArray logOnLine(QByteArrayView call, QByteArrayView passcode, QByteArrayView groupCall);

    /// The "APRS-IS Server" box (host name) and the "Passcode" box, kept up to date by the window.
    void setHost(const QString& host) { m_host = host; }
    void setPasscode(const QByteArray& passcode) { m_passcode = passcode; }
    /// Server port; 14580 unless a test points it elsewhere.
    void setPort(quint16 port) { m_port = port; }

    /// The "Connect to Server" button: disconnects when connected, otherwise connects (shows
    /// "Enter Callsign!" instead when the APRS-IS callsign is unset).
    void connectClicked();
    /// The status timer runs (the window's opening).
    void start() { m_statusTimer.start(); }
    /// Stops every timer of the client (the window's closing).
    void stopTimers();
    /// aprsIsStatusTimer tick: status text, button colour, caption and enabled state from the
    /// socket state; on a peer close or an error, the reconnect timer starts and the socket closes.
    void statusTick();
    /// aprsIsReconnectTimer: one reconnection attempt (the reconnect timer stops itself).
    void reconnectTick();
    /// Closes the connection (window close).
    void close();

    bool isConnected() const override;
    /// Sends `line` (the caller includes CR LF) when connected; dropped otherwise.
    void sendToAprsIs(const QByteArray& line) override;

    /// The socket state number shown by the status timer: 0..9 (8 after a peer close).
    int socketState() const;

    /// What the server said about the log-on ("# logresp CALL verified, ..." or
    /// "... unverified, ..."), as far as it has said it on this connection.
    enum class LogOn { Unanswered, Verified, Unverified };
    LogOn logOn() const { return m_logOn; }
    /// The server's log-on answer as shown (printable Latin-1, at most kMaxAnswerShown bytes).
    const QByteArray& logOnAnswer() const { return m_logOnAnswer; }
    static constexpr qsizetype kMaxAnswerShown = 80;
    /// What the server-data label shows of one read or one sent line: its last
    /// kMaxDataShown bytes, from a line start when one falls inside them. A burst of server
    /// traffic arrives as one read of any size; shown whole, it would grow the label and the
    /// window without limit.
    static QByteArray shownData(const QByteArray& data);
    static constexpr qsizetype kMaxDataShown = 512; ///< the longest line APRS-IS passes
    /// The status text of a connected link: "Connected", or for a log-on the server did not
    /// verify "Connected, unverified: " and the server's answer.
    QString connectedText() const;

signals:
    void statusText(const QString& text);       ///< "Server status" (`serverStatusLabel`)
    void buttonColour(unsigned bgr);            ///< "Connect to Server" back colour
    void buttonCaption(const QString& caption); ///< "Connect to server" / "Disconnect server" / "Error"
    void buttonEnabled(bool enabled);
    void dataShown(const QByteArray& text);    ///< server-data label (`serverDataLabel`)
    void lineReceived(const QByteArray& line); ///< one packet line, without line end
    void dataReceived(const QByteArray& data); ///< one whole server read

private:
    void startConnection();
    void onConnected();
    void onError();
    void onData();
    void serverComment(const QByteArray& line);
    void onSilence();

    station::StationState& m_state;
    platform::StationSocket m_socket;
    messaging::AprsIsLineReader m_reader;
    QString m_host;
    QByteArray m_passcode = "-1";
    quint16 m_port = DefaultServerPort;
    bool m_peerClosed = false;
    LogOn m_logOn = LogOn::Unanswered;
    QByteArray m_logOnAnswer;
    QTimer m_statusTimer;
    QTimer m_reconnectTimer;
    QTimer m_silence;          ///< restarted by every read while connected
    bool m_fromButton = false; ///< the running attempt came from the button (colours it)
};

} // namespace aprsis
