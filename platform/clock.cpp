#include "platform/clock.h"

#include <QTimer>
#include <QtGlobal>

#include <cmath>

namespace platform {

namespace {
double& factor()
{
    static double value = [] {
        bool ok = false;
        const double f = qEnvironmentVariable("SKYLARK_TIME_SCALE").toDouble(&ok);
        return ok && f > 0.0 && std::isfinite(f) ? f : 1.0;
    }();
    return value;
}
} // namespace

double Clock::timeScale()
{
    return factor();
}

void Clock::setTimeScale(double f)
{
    if (f > 0.0 && std::isfinite(f))
        factor() = f;
}

int Clock::scaled(double designMs)
{
    if (!(designMs > 0.0))
        return 0;
    const double ms = std::round(designMs * factor());
    if (ms < 1.0)
        return 1;
    if (ms > 2147483647.0)
        return 2147483647;
    return static_cast<int>(ms);
}

void Clock::setDesignInterval(QTimer& timer, double designMs)
{
    timer.setInterval(scaled(designMs));
}

void Clock::setUpTimer(QTimer& timer, const QString& name, double designMs)
{
    timer.setObjectName(name);
    setDesignInterval(timer, designMs);
}

} // namespace platform
