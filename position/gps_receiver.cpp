#include "position/gps_receiver.h"

#include "platform/clock.h"

namespace position {

GpsReceiver::GpsReceiver(QObject* parent) : QObject(parent), m_sentenceTimer(this), m_statusTimer(this)
{
    platform::Clock::setUpTimer(m_sentenceTimer, QStringLiteral("gpsSentenceTimer"), 150);
    connect(&m_sentenceTimer, &QTimer::timeout, this, &GpsReceiver::sentenceTick);
    platform::Clock::setUpTimer(m_statusTimer, QStringLiteral("gpsStatusTimer"), 30000);
    connect(&m_statusTimer, &QTimer::timeout, this, &GpsReceiver::watchTick);
}

void GpsReceiver::feed(const QByteArray& bytes)
{
    if (m_input.feed(bytes))
        m_sentencePending = true;
    m_sentenceTimer.start();
}

void GpsReceiver::stopTimers()
{
    m_sentenceTimer.stop();
    m_statusTimer.stop();
}

void GpsReceiver::sentenceTick()
{
    m_sentenceTimer.stop();
    if (!m_sentencePending || !m_input.latest())
        return; // the next read starts the timer again
    m_sentencePending = false;
    emit sentenceShown(m_input.latest()->text);
    m_statusTimer.stop();
    emit stateChanged(m_input.latest()->hasFix() ? GpsState::FixOk : GpsState::NoFix);
    m_statusTimer.start(); // fires 30 s after the last complete sentence
}

void GpsReceiver::watchTick()
{
    emit stateChanged(GpsState::NoInput);
    m_statusTimer.stop();
}

} // namespace position
