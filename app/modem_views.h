#pragma once

// The modem's displays: a scrolling waterfall of the received spectrum with a frequency scale
// (a click reports the audio frequency under the pointer), and a bar meter of the signal level
// (a click sets the level from which the channels' squelch is derived).

#include "hf/modem.h"

#include <QImage>
#include <QWidget>

class QPainter;

namespace app {

class WaterfallView : public QWidget {
    Q_OBJECT
public:
    /// Height of the frequency scale strip at the top, in pixels.
    static constexpr int ScaleHeight = 14;

    explicit WaterfallView(QWidget* parent = nullptr);

    /// Frequency range shown, Hz (default 0 .. 3000).
    void setRange(double lowHz, double highHz);
    double lowHz() const { return m_lowHz; }
    double highHz() const { return m_highHz; }
    /// Adds one spectrum line at the top; older lines scroll down.
    void addSpectrum(const hf::Spectrum& spectrum);
    /// Audio frequency at horizontal position x (pixels from the left edge).
    double frequencyAt(int x) const;
    /// The notch marker, or 0 for none.
    void setMarker(double hz);
    int linesShown() const { return m_lines; }

signals:
    void frequencyClicked(double hz);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintScale(QPainter& painter);

    QImage m_image; ///< a ring of lines: m_top is the newest, older ones follow downwards
    int m_top = 0;
    double m_lowHz = 0.0;
    double m_highHz = 3000.0;
    double m_markerHz = 0.0;
    int m_lines = 0;
};

class LevelMeter : public QWidget {
    Q_OBJECT
public:
    /// Full scale of the meter on the modem's level scale.
    static constexpr int FullScale = 4000;

    explicit LevelMeter(QWidget* parent = nullptr);
    void setLevel(int level);
    int level() const { return m_level; }
    /// The level the operator set with a click (shown as a marker).
    int squelchLevel() const { return m_squelch; }
    /// The level at horizontal position x.
    int levelAt(int x) const;

signals:
    void squelchLevelChosen(int level);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_level = 0;
    int m_squelch = 0;
};

} // namespace app
