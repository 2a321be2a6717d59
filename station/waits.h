#pragma once
#include <QObject>

#include <functional>

namespace station {

struct StationState;

/// The cooperative waits of the station. A wait keeps the event loop running (pending
/// events are processed, then the thread sleeps 4 ms, repeatedly) so that receive steps,
/// acknowledgements and "Cancel send" run while a send waits. Every wait ends as soon as
/// `shuttingDown` is set.
///
/// `waitSeconds` and `retryWaitSeconds` are the same wait. Each wait keeps its own deadline, so
/// waits nest safely: a handler that runs during a wait may wait itself, even on the same
/// procedure, and the outer wait still ends on time. (Two waits sharing one timer and one
/// flag would leave the outer one waiting for ever once an inner one had reused them.)
class Waits : public QObject {
    Q_OBJECT
public:
    explicit Waits(StationState& state, QObject* parent = nullptr);

    void waitSeconds(double seconds);
    void retryWaitSeconds(double seconds);
    /// Processes pending events once, then sleeps 4 ms (design time).
    void yieldOnce();
    /// Yields while `busy()` holds; false when it gave up because the station is closing.
    bool waitWhile(const std::function<bool()>& busy);
    /// How a bounded wait ended.
    enum class WaitEnd { Cleared, TimedOut, Closing };
    /// Yields while `busy()` holds, for at most `seconds` (design time).
    WaitEnd waitWhileFor(const std::function<bool()>& busy, double seconds);
    /// Longest wait for another transmitter, in design seconds. A holder further down the
    /// same call stack (an operating-mode change pausing with the port held, while a beacon
    /// falls due inside its pause) can never let go while a nested wait runs: the bound turns
    /// that dead end into a late, skipped or forced transmission instead of a frozen station.
    static constexpr double kTransmitterWaitSeconds = 120.0;
    /// Waits for `transmitBusy` to clear, for at most kTransmitterWaitSeconds; false when the
    /// station is closing or the holder did not let go in time.
    bool waitForTransmitter();

private:
    void wait(double seconds);

    StationState& m_state;
};

} // namespace station
