#pragma once

// The HF link over the sound-card modem: frames assembled from the modem's 25 channels
// (hfAssemblyTimer), each frame processed once by the receive tick (hfReceiveTimer: traffic display, heard
// log, heard list, messages, acknowledgements, "?APRS" answers, gating to APRS-IS, digipeat),
// and every HF transmission through one common sequence (pause, channels 0-8 cleared, wait for
// channel 1, channel 0 mode and rate, PTT notices around the queued frame). Also the message
// send transmitOnHf with its retries retryOnHf, the acknowledgements sendHfAck / readHfAck, the HF beacon
// frame and the relay of local-program packets (localToHfRelayTimer).
//
// Receive processing never waits on a transmission: acknowledgements and digipeats of received
// frames wait in a bounded reply queue sent from the event loop, "?APRS" answers and the hold
// before gating a packet that names us follow on timers, and a transmission waits at most
// kChannelBusyWaitSeconds for channel 1 to go quiet.
//
// The link owns its timers (hfAssemblyTimer 10 ms, one run after received text; hfReceiveTimer
// 100 ms; localToHfRelayTimer 200 ms; transmitDelayTimer 1 s); everything runs on the
// user-interface thread, and the waits inside let other events run meanwhile.

#include "hf/frame_assembler.h"
#include "hf/mode_table.h"
#include "hf/modem.h"

#include "messaging/message_composer.h"
#include "messaging/received_message.h"
#include "station/station_links.h"
#include "station/station_state.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QTimer>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>

namespace station {
class Waits;
}

namespace hf {

class HfLink : public QObject {
    Q_OBJECT
public:
    /// Frames waiting for the receive tick; more are dropped (a burst of noise decoded into
    /// frames cannot grow memory).
    static constexpr qsizetype kMaxPendingFrames = 32;
    /// Lines from the local program waiting for the relay.
    static constexpr qsizetype kMaxRelayLines = 64;
    /// Acknowledgements and digipeats waiting to be sent; more push out the oldest.
    static constexpr qsizetype kMaxPendingReplies = 16;
    /// How long a transmission waits for channel 1 to go quiet before it goes out anyway.
    static constexpr double kChannelBusyWaitSeconds = 60.0;
    /// The note in "HF traffic" when it did not.
    static constexpr char kChannelBusyNote[] = "   Channel 1 busy for 60 s: transmitting anyway\r\n";
    /// How long a received packet holding the HF callsign waits before it is gated.
    static constexpr double kOwnCallHoldSeconds = 6.0;

    HfLink(Modem& modem, station::StationState& state, station::Waits& waits, station::StationLinks& links,
           QObject* parent = nullptr);

    /// The reply-delay draw runs (the window's opening).
    void start() { m_transmitDelayTimer.start(); }
    /// Stops every timer of the link (the window's closing).
    void stopTimers();

    // --- Receive ------------------------------------------------------------------------
    /// hfAssemblyTimer: frame assembly over the 25 channels.
    void assembleHfFrames();
    /// hfReceiveTimer: processes one assembled frame.
    void processHfFrame();
    /// transmitDelayTimer: draws the reply delay for "?APRS" answers, 0..11 s.
    void drawTransmitDelay();
    int replyDelaySeconds() const { return m_replyDelay; }
    /// The "HF traffic" text (bounded to its newest 10000 characters past 15000).
    const QByteArray& trafficText() const { return m_traffic; }
    qsizetype pendingFrames() const { return m_frames.size(); }
    /// Frames whose body held CR, LF or NUL: shown and logged escaped, passed on nowhere.
    qint64 multiLineFrames() const { return m_multiLineFrames; }

    // --- Transmit -----------------------------------------------------------------------
    /// ">" + tocall + ":" (or ",WIDE2-1:" with "Digipeat me") of the selected transmit option;
    /// empty when the option does not send on the modem.
    QByteArray unproto() const;
    /// Transmissions that went out after channel 1 stayed busy for kChannelBusyWaitSeconds.
    qint64 channelBusyTimeouts() const { return m_channelBusyTimeouts; }
    /// Replies (acknowledgements, digipeats) dropped because too many were waiting.
    qint64 droppedReplies() const { return m_droppedReplies; }

    /// The common transmit sequence for a built frame. `setting` nullopt: the selected
    /// option's send setting. False when nothing could be sent (closing, no modem option).
    bool transmitFrame(const QByteArray& frame, double pauseSeconds,
                       std::optional<ModeSetting> setting = std::nullopt);
    /// Message send ("Send" with an HF option): composes, frames and sends the message, writes
    /// the transmit log and runs retryOnHf. `addressee` and `text` as typed.
    void transmitOnHf(const QByteArray& addressee, const QByteArray& text,
                      const messaging::RaynetFields& raynet);
    /// Retries of the last HF message until its acknowledgement (C 14 C 14 C R 14 C 14 C 14 C
    /// 14 C R, seconds).
    void retryOnHf();
    /// Reads the number of a received acknowledgement.
    void readHfAck(const QByteArray& addressedText);
    /// Queues the repeat of a received body with the HF callsign inserted before WIDE2-1, in
    /// GMSK 250.
    void digipeatOnHf(const QByteArray& body, const QByteArray& source);
    /// Gates a received HF packet to the local program (at most 256 characters) and APRS-IS
    /// (packet::igateLine), and digipeats it; a packet holding the HF callsign kOwnCallHoldSeconds
    /// later.
    void gateHfPacket(const QByteArray& body, const QByteArray& source, bool good);
    /// The HF step of a beacon: HF callsign + unproto + text in a frame with the short end
    /// flag, sent at once in the selected mode (the seven HF message modes only).
    void sendBeaconFrame(const QByteArray& beaconText);

    /// localToHfRelayTimer: relays one line of the local program to HF.
    void relayLocalLineToHf();

public slots:
    /// The modem's received text of one channel.
    void onTextReceived(int channel, const QByteArray& text);
    /// A line from the local program on port 8063; localToHfRelayTimer relays it.
    void localProgramLine(const QByteArray& line);

signals:
    void trafficTextChanged(const QByteArray& text);
    /// A station heard on HF, for "HF stations heard" (the window removes duplicates).
    void stationHeard(const QByteArray& source);
    /// messagesText (or a list) changed; `background` as classified for the messages box.
    void messagesChanged(messaging::MessagesBackground background);
    /// A remote-control code addressed to this station arrived on HF.
    void remoteCommand(bool transmitOn);
    /// A "?APRS" query is answered with a beacon (sendFixedBeacon).
    void beaconRequested();
    /// A body holding "cmd:" arrived while the operating mode is not "TNC Command ".
    void tncCommandReceived(const QByteArray& body);
    /// `frame` was queued on the modem, to go out in channel mode `mode` at `rate`.
    void frameQueued(const QByteArray& mode, double rate, const QByteArray& frame);
    /// The acknowledgement of the pending message arrived (fields are enabled again).
    void ackMatched();
    /// retryOnHf ended; `acknowledged` when it stopped at an acknowledgement.
    void retryFinished(bool acknowledged);

private:
    struct Reply {
        QByteArray frame;
        double pauseSeconds = 0;
        std::optional<ModeSetting> setting;
    };

    void processFrame(const AssembledFrame& frame);
    /// The frame of an acknowledgement (`ackPayload` is ":" + padded sender + ":ack" + number
    /// ...); empty when no HF option is selected.
    QByteArray ackFrame(const QByteArray& ackPayload) const;
    /// Queues a reply to a received frame; sendReplies() transmits it from the event loop.
    void queueReply(const QByteArray& frame, double pauseSeconds, std::optional<ModeSetting> setting);
    void sendReplies();
    /// The gating step of gateHfPacket, after the hold.
    void gate(const QByteArray& body, const QByteArray& source);
    messaging::StationIdentity identity() const;
    bool ackCheck();

    Modem& m_modem;
    station::StationState& m_state;
    station::Waits& m_waits;
    station::StationLinks& m_links;
    QTimer m_assemblyTimer; // hfAssemblyTimer
    QTimer m_receiveTick;   // hfReceiveTimer
    QTimer m_relayTick;     // localToHfRelayTimer
    QTimer m_transmitDelayTimer;
    FrameAssembler m_assembler;
    QElapsedTimer m_clock;
    QList<AssembledFrame> m_frames;
    QByteArrayList m_relayLines;
    QByteArray m_traffic;
    QByteArray m_pendingFrame; ///< the last HF message frame, resent by retryOnHf
    QList<Reply> m_replies;
    qint64 m_multiLineFrames = 0;
    qint64 m_channelBusyTimeouts = 0;
    qint64 m_droppedReplies = 0;
    bool m_sendingReplies = false;
    int m_replyDelay = 0;
    bool m_processing = false;
    bool m_relaying = false;
};

} // namespace hf
