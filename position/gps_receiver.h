#pragma once
#include "position/gps_display.h"
#include "position/gps_input.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace position {

/// The GPS receiver's timing over its input: bytes from the GPS link are checked into
/// sentences as they come; `gpsSentenceTimer` (150 ms) shows the newest complete sentence after
/// a read, and `gpsStatusTimer` (30 s) reports a receiver that has gone quiet.
class GpsReceiver : public QObject {
    Q_OBJECT
public:
    explicit GpsReceiver(QObject* parent = nullptr);

    /// The latest checked sentence (the beacons read it).
    const GpsInput& input() const { return m_input; }
    /// Forgets the sentences so far (the port is opened again).
    void reset() { m_input.reset(); }
    /// Bytes read from the GPS link.
    void feed(const QByteArray& bytes);

    /// The sentence timer runs (the window's opening).
    void start() { m_sentenceTimer.start(); }
    /// The quiet-receiver watch runs (a GPS beacon is chosen at the opening).
    void startWatch() { m_statusTimer.start(); }
    /// Stops both timers (the window's closing).
    void stopTimers();

signals:
    /// The newest complete sentence, for the sentence label.
    void sentenceShown(const QByteArray& text);
    /// Fix, no fix, or no input for 30 s.
    void stateChanged(position::GpsState state);

private:
    void sentenceTick();
    void watchTick();

    GpsInput m_input;
    bool m_sentencePending = false; ///< a complete sentence arrived since the sentence timer last ran
    QTimer m_sentenceTimer;
    QTimer m_statusTimer;
};

} // namespace position
