#include "station/waits.h"

#include "station/station_state.h"

#include "platform/clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cmath>

namespace station {

Waits::Waits(StationState& state, QObject* parent) : QObject(parent), m_state(state) {}

void Waits::waitSeconds(double seconds)
{
    wait(seconds);
}

void Waits::retryWaitSeconds(double seconds)
{
    wait(seconds);
}

namespace {
/// The design interval in whole milliseconds, rounded, on the clock's time scale; nonsense
/// waits nothing.
QDeadlineTimer deadlineIn(double seconds)
{
    const double ms = std::isfinite(seconds) && seconds > 0 ? std::round(seconds * 1000.0) : 0.0;
    return QDeadlineTimer(platform::Clock::scaled(ms));
}
} // namespace

void Waits::wait(double seconds)
{
    const QDeadlineTimer deadline = deadlineIn(seconds);
    while (!m_state.shuttingDown && !deadline.hasExpired())
        yieldOnce();
}

void Waits::yieldOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::msleep(static_cast<unsigned long>(platform::Clock::scaled(4)));
}

bool Waits::waitWhile(const std::function<bool()>& busy)
{
    while (busy() && !m_state.shuttingDown)
        yieldOnce();
    return !m_state.shuttingDown;
}

Waits::WaitEnd Waits::waitWhileFor(const std::function<bool()>& busy, double seconds)
{
    const QDeadlineTimer deadline = deadlineIn(seconds);
    while (busy()) {
        if (m_state.shuttingDown)
            return WaitEnd::Closing;
        if (deadline.hasExpired())
            return WaitEnd::TimedOut;
        yieldOnce();
    }
    return m_state.shuttingDown ? WaitEnd::Closing : WaitEnd::Cleared;
}

bool Waits::waitForTransmitter()
{
    return waitWhileFor([this] { return m_state.transmitBusy; }, kTransmitterWaitSeconds) == WaitEnd::Cleared;
}

} // namespace station
