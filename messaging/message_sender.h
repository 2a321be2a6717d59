#pragma once
#include "messaging/message_composer.h"

#include "station/station_links.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

namespace station {
struct StationState;
class Waits;
} // namespace station

namespace messaging {

/// The input fields a send reads, as the main window holds them.
struct SendFields {
    QByteArray addressee;              ///< "Send message to" (`sendToField`), as typed
    QByteArray text;                   ///< "Type message or command" (`messageInput`)
    RaynetFields raynet;               ///< "Data 1".."Data 3" (`data1Field`..`data3Field`)
    bool tncOptionEnabled = true;      ///< the "TNC" transmit option is enabled (a TNC is set up)
    bool ax25OptionEnabled = false;    ///< the "AX.25" transmit option is enabled
    bool packetConverseEnabled = true; ///< the "Packet Converse" option is enabled
};

/// Controls a send changes, named for the window.
enum class SendControl {
    MessageBox,  ///< `messageInput`
    DataBoxes,   ///< `data1Field`, `data2Field`, `data3Field`
    SendButton,  ///< `sendButton`
    CancelButton ///< `cancelSendButton`
};

/// "Send" and everything that follows it: composition and transmission on the TNC and APRS-IS
/// bearers (the HF bearer through the hook set with setHfSend()), the retry schedules
/// `retryOnVhf` and `retryOnAprsIs`, the ack receivers `readVhfAck` and `readAprsIsAck`, the ack senders
/// `sendVhfAck` and `sendAprsIsAck`, "Cancel send" and the flashing of the messages box
/// (`messageFlashTimer`).
///
/// Only acknowledgements set `lastAckNumber`: a received message whose own number equals our
/// pending number does not end our retry wait.
class MessageSender : public QObject {
    Q_OBJECT
public:
    /// The most acknowledgement transmissions waiting at once; more received messages than
    /// that within a few seconds are not answered (a flood must not queue without bound).
    static constexpr int MaxPendingAcks = 16;

    MessageSender(station::StationState& state, station::Waits& waits, station::StationLinks& links,
                  QObject* parent = nullptr);

    /// `transmitOnHf`: composes, numbers and transmits the send over HF; filled by the HF part.
    void setHfSend(std::function<void(const SendFields&)> hfSend) { m_hfSend = std::move(hfSend); }
    /// Time source of the transmit-log time stamps (UTC is taken from it).
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    /// "Send" (`send`). Does nothing while an earlier numbered message still waits
    /// for its acknowledgement.
    void send(const SendFields& fields);
    /// The APRS-IS bearer of Send.
    void transmitOnAprsIs(const SendFields& fields);
    /// "Cancel send" (`cancelSend`): the running retry procedure stops at its next check.
    void cancelSend();

    /// Ack receivers: `receivedText` is the received text from the addressee field on.
    void readVhfAck(const QByteArray& receivedText);
    void readAprsIsAck(const QByteArray& receivedText);
    /// `sendVhfAck`: sends the VHF acknowledgement payload (with its CR) twice, about 5 s apart,
    /// each after the transmitter is free and 1 s has passed. Returns at once; the
    /// transmissions follow from timers.
    void sendVhfAck(const QByteArray& ackPayload);
    /// `sendAprsIsAck`: sends the acknowledgement line (without line end) once.
    void sendAprsIsAck(const QByteArray& ackLine);

    /// Something meant for APRS-IS could not go out because the server link is down: a line
    /// in the messages box and a record in the transmit log say so ("Not sent, no APRS-IS
    /// connection: " and the line). `addressee` is the log record's second field.
    void noteNotSentToAprsIs(const QByteArray& addressee, const QByteArray& line);

    /// `messageFlashTimer` tick (500 ms): one step of the flashing of the messages box.
    void flashMessagesDisplay();
    /// The messages box starts flashing (news, an acknowledgement) / stops (a click on it).
    void startFlashing();
    void stopFlashing() { m_flashTimer.stop(); }
    /// Stops the flashing timer (the window's closing).
    void stopTimers() { m_flashTimer.stop(); }

    /// True while a retry procedure waits for an acknowledgement.
    bool retryRunning() const { return m_retryRunning; }
    /// The APRS-IS line kept for resends (`pendingIsLine`).
    const QByteArray& pendingIsLine() const { return m_pendingIsLine; }
    /// The VHF payload kept for resends (`vhfFrameText`), with its CR.
    const QByteArray& vhfFrameText() const { return m_vhfFrameText; }

signals:
    void controlEnabled(messaging::SendControl control, bool enabled);
    void controlColour(messaging::SendControl control, unsigned bgr);
    void messageTextCleaned(const QByteArray& text); ///< write back into `messageInput`
    void focusMessageBox();                          ///< focus `messageInput` with its text selected
    void messagesTextChanged();                      ///< `messagesText` changed: show it in `messagesDisplay`
    void messagesBoxColour(unsigned bgr);            ///< `messagesDisplay` background
    void flashingStarted();                          ///< the messages box started flashing
    void flashTicked();                              ///< one `messageFlashTimer` tick has run
    void portWatch(bool run);                        ///< stop or restart `tncWatchTimer`

private:
    enum class Bearer { Vhf, AprsIs };
    void vhfSend(const SendFields& fields);
    void transmitVhf(const QByteArray& destination, const QByteArray& payload);
    void runRetries(Bearer bearer);
    bool ackCheck(Bearer bearer);
    void resend(Bearer bearer);
    void endRetries();
    void enableBoxes();
    void restartPortWatch();
    void writeTransmitLog(const QByteArray& addressee, const QByteArray& text);
    /// Sends the line + CR LF when the server link is up; otherwise notes that it was not sent.
    void sendToAprsIs(const QByteArray& addressee, const QByteArray& line);
    void appendMessagesText(const QByteArray& head);
    void sendAckWhenFree(const QByteArray& payload, int remaining);
    OperatingMode operatingMode() const;

    station::StationState& m_state;
    station::Waits& m_waits;
    station::StationLinks& m_links;
    std::function<void(const SendFields&)> m_hfSend;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTimeUtc(); };
    QByteArray m_vhfFrameText;
    QByteArray m_pendingIsLine;
    QByteArray m_pendingIsAddressee; ///< its addressee, for the transmit log
    bool m_retryRunning = false;
    bool m_flashGreen = false;
    int m_pendingAcks = 0;
    QTimer m_flashTimer; // messageFlashTimer
};

} // namespace messaging
