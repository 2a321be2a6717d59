#pragma once
#include <QObject>
#include <QTimer>

#include <functional>

namespace station {

struct StationState;

/// The cooperative waits of the station. A wait keeps the event loop running (pending
/// events are processed, then the thread sleeps 4 ms, repeatedly) so that receive steps,
/// acknowledgements and "Cancel send" run while a send waits. Every wait ends as soon as
/// `shuttingDown` is set.
///
/// `TimeDelay` and `DecayTimeDelay` are the same wait on two different timers (Timer26 and
/// Timer25), so a `TimeDelay` may run while a `DecayTimeDelay` is pending further up the
/// call stack.
class Waits : public QObject {
    Q_OBJECT
public:
    explicit Waits(StationState& state, QObject* parent = nullptr);

    void TimeDelay(double seconds);
    void DecayTimeDelay(double seconds);
    /// Processes pending events once, then sleeps 4 ms (design time).
    void yieldOnce();
    /// Yields while `busy()` holds; false when it gave up because the station is closing.
    bool waitWhile(const std::function<bool()>& busy);
    /// Waits for `transmitBusy` to clear; false when the station is closing.
    bool waitForTransmitter();

    QTimer& timeDelayTimer() { return m_timer26; }
    QTimer& decayTimer() { return m_timer25; }
    /// Ends every pending wait (used at close).
    void releaseAll();

private:
    void wait(QTimer& timer, bool& flag, double seconds);

    StationState& m_state;
    QTimer m_timer25;
    QTimer m_timer26;
    bool m_decayDone = false;
    bool m_delayDone = false;
};

} // namespace station
