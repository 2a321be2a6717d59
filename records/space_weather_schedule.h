#pragma once
#include <QObject>
#include <QTimer>

namespace records {

/// When the space-weather bulletin is fetched again: `minuteTimer` counts minutes from the
/// window's opening, and every kEveryMinutes-th one a fetch is due.
class SpaceWeatherSchedule : public QObject {
    Q_OBJECT
public:
    static constexpr int kEveryMinutes = 30;

    explicit SpaceWeatherSchedule(QObject* parent = nullptr);

    void start() { m_minuteTimer.start(); }
    void stop() { m_minuteTimer.stop(); }

signals:
    void fetchDue();

private:
    void minuteTick();

    QTimer m_minuteTimer;
    int m_minutes = 0; ///< minutes since the last fetch fell due
};

} // namespace records
