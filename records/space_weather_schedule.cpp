#include "records/space_weather_schedule.h"

#include "platform/clock.h"

namespace records {

SpaceWeatherSchedule::SpaceWeatherSchedule(QObject* parent) : QObject(parent), m_minuteTimer(this)
{
    platform::Clock::setUpTimer(m_minuteTimer, QStringLiteral("minuteTimer"), 60000);
    connect(&m_minuteTimer, &QTimer::timeout, this, &SpaceWeatherSchedule::minuteTick);
}

void SpaceWeatherSchedule::minuteTick()
{
    if (++m_minutes < kEveryMinutes)
        return;
    m_minutes = 0;
    emit fetchDue();
}

} // namespace records
