#pragma once
#include "links/tcp_tnc_link.h"
#include "packet/kiss_deframer.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <functional>

namespace links {

class TncLineHandler;

/// The sound-card TNC program reached by KISS over TCP (`kissTcpSocket`, button `kissTcpButton`).
/// Frames go both ways; received frames become lines for the TNC line handler. Its timers:
/// `kissTcpReceiveTimer` (50 ms, started by received bytes), `kissTcpStatusTimer` and
/// `kissTcpReconnectTimer`. The active flag is stored as config2 record 21 ("1" clicks
/// `kissTcpButton` at the next start).
class KissTcpLink : public TcpTncLink {
    Q_OBJECT
public:
    /// Bytes gathered between two receive ticks at most; a flood beyond is dropped.
    static constexpr qsizetype kMaxBuffered = 64 * 1024;

    /// `decodeFrame` turns one deframed KISS frame into its packet line (empty: not a UI
    /// frame); the serial link's decodeKissFrame, which also digipeats. The peer is
    /// 127.0.0.1:4000 unless changed.
    KissTcpLink(TncLineHandler& lines, std::function<QByteArray(const QByteArray&)> decodeFrame,
                QObject* parent = nullptr);

    /// Stops every timer of the link (the window's closing).
    void stopTimers() override;
    /// Sends a KISS frame; false when not connected.
    bool send(const QByteArray& frame) { return socket().send(frame); }

    /// kissTcpReceiveTimer tick: every complete frame received goes to the line handler, in order.
    void onReceiveTimer();

signals:
    /// `kissTcpStatusLabel` text.
    void labelText(const QString& text);

private:
    void startingConnection() override;
    void connectionStarted() override;
    void connectionAccepted() override;
    void listeningAgain() override;
    void onData();

    TncLineHandler& m_lines;
    std::function<QByteArray(const QByteArray&)> m_decode;
    packet::KissDeframer m_deframer;
    QByteArray m_buffer;
    QTimer m_receiveTimer;
};

} // namespace links
