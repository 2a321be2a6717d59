#pragma once

class QString;
class QTimer;

namespace platform {

/// The one clock behind every timer interval and cooperative wait of the station.
///
/// Intervals are written in the code as their design values (milliseconds of real station
/// time). Tests run the station faster by setting the environment variable
/// SKYLARK_TIME_SCALE (for example 0.01: every interval and wait 100 times shorter); unset
/// means 1. Only this class reads the factor.
class Clock {
public:
    /// Factor applied to every design interval, > 0.
    static double timeScale();
    /// A design interval in ms turned into the interval to use now, in whole ms, rounded;
    /// at least 1 ms for any positive design interval, 0 stays 0.
    static int scaled(double designMs);
    /// Sets a timer's interval from its design value.
    static void setDesignInterval(QTimer& timer, double designMs);
    /// Names a part's timer (tests and the window's closing find it by that name) and sets its
    /// interval from its design value.
    static void setUpTimer(QTimer& timer, const QString& name, double designMs);
    /// Replaces the factor (tests that need a specific scale within one process).
    static void setTimeScale(double factor);
};

} // namespace platform
