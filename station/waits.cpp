#include "waits.h"

#include "station_state.h"

#include "platform/clock.h"

#include <QCoreApplication>
#include <QThread>

#include <cmath>

namespace station {

Waits::Waits(StationState& state, QObject* parent) : QObject(parent), m_state(state)
{
    m_timer25.setParent(this);
    m_timer26.setParent(this);
    m_timer25.setObjectName(QStringLiteral("Timer25"));
    m_timer26.setObjectName(QStringLiteral("Timer26"));
    m_timer25.setSingleShot(true);
    m_timer26.setSingleShot(true);
    connect(&m_timer25, &QTimer::timeout, this, [this] { m_decayDone = true; });
    connect(&m_timer26, &QTimer::timeout, this, [this] { m_delayDone = true; });
}

void Waits::TimeDelay(double seconds) { wait(m_timer26, m_delayDone, seconds); }

void Waits::DecayTimeDelay(double seconds) { wait(m_timer25, m_decayDone, seconds); }

void Waits::wait(QTimer& timer, bool& flag, double seconds)
{
    const double ms = std::isfinite(seconds) && seconds > 0 ? std::round(seconds * 1000.0) : 0.0;
    platform::Clock::setDesignInterval(timer, ms);
    if (!m_state.shuttingDown) {
        timer.start();
        while (!flag && !m_state.shuttingDown)
            yieldOnce();
    }
    timer.stop();
    if (!m_state.shuttingDown)
        flag = false;
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

bool Waits::waitForTransmitter()
{
    return waitWhile([this] { return m_state.transmitBusy; });
}

void Waits::releaseAll()
{
    m_decayDone = true;
    m_delayDone = true;
    m_timer25.stop();
    m_timer26.stop();
}

} // namespace station
