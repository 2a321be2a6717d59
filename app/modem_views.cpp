#include "app/modem_views.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace app {

namespace {
/// Colour of a level in dB: dark blue at -100 dB and below, through cyan and yellow, to red at 0.
QRgb heatColour(float db)
{
    const float t = std::clamp((db + 100.0f) / 100.0f, 0.0f, 1.0f);
    const int r = static_cast<int>(255 * std::clamp(t * 3.0f - 1.5f, 0.0f, 1.0f));
    const int g = static_cast<int>(255 * std::clamp(t * 3.0f - 0.5f, 0.0f, 1.0f) * (t < 0.9f ? 1.0f : 0.5f));
    const int b = static_cast<int>(255 * std::clamp(0.4f + t * 1.5f, 0.0f, 1.0f) * (t < 0.5f ? 1.0f : 0.3f));
    return qRgb(r, g, b);
}
} // namespace

WaterfallView::WaterfallView(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(48);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Click to position the notch"));
}

void WaterfallView::setRange(double lowHz, double highHz)
{
    if (!(highHz > lowHz))
        return;
    m_lowHz = lowHz;
    m_highHz = highHz;
    update();
}

double WaterfallView::frequencyAt(int x) const
{
    const int w = std::max(1, width());
    return m_lowHz + (m_highHz - m_lowHz) * std::clamp(x, 0, w) / w;
}

void WaterfallView::setMarker(double hz)
{
    if (hz == m_markerHz)
        return;
    m_markerHz = hz;
    update();
}

void WaterfallView::resizeEvent(QResizeEvent*)
{
    const QSize size(std::max(1, width()), std::max(1, height() - ScaleHeight));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    if (!m_image.isNull()) { // newest line at the top again
        QPainter p(&image);
        const int h = m_image.height();
        p.drawImage(0, 0, m_image, 0, m_top, -1, h - m_top);
        p.drawImage(0, h - m_top, m_image, 0, 0, -1, m_top);
    }
    m_image = image;
    m_top = 0;
}

void WaterfallView::addSpectrum(const hf::Spectrum& spectrum)
{
    if (m_image.isNull())
        resizeEvent(nullptr);
    const int w = m_image.width();
    const int h = m_image.height();
    // Scrolling costs one line: the new line replaces the oldest in the ring.
    m_top = (m_top + h - 1) % h;
    auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(m_top));
    const qsizetype bins = spectrum.levelsDb.size();
    for (int x = 0; x < w; ++x) {
        float db = -120.0f;
        if (bins > 0 && spectrum.binHz > 0) {
            const double hz = m_lowHz + (m_highHz - m_lowHz) * (x + 0.5) / w;
            const auto bin = static_cast<qsizetype>(hz / spectrum.binHz);
            if (bin >= 0 && bin < bins)
                db = spectrum.levelsDb[bin];
        }
        line[x] = heatColour(db);
    }
    ++m_lines;
    update(0, ScaleHeight, width(), height() - ScaleHeight); // the scale stays as it is
}

void WaterfallView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(event->rect(), Qt::black);
    const int h = m_image.height();
    p.drawImage(0, ScaleHeight, m_image, 0, m_top, -1, h - m_top);
    p.drawImage(0, ScaleHeight + h - m_top, m_image, 0, 0, -1, m_top);
    if (event->rect().top() < ScaleHeight)
        paintScale(p);
    if (m_markerHz > 0) {
        const int x = static_cast<int>((m_markerHz - m_lowHz) / (m_highHz - m_lowHz) * width());
        p.setPen(Qt::red);
        p.drawLine(x, 0, x, height());
    }
}

void WaterfallView::paintScale(QPainter& p)
{
    // A tick every 100 Hz, labelled every 500 Hz.
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(ScaleHeight - 4);
    p.setFont(f);
    const double span = m_highHz - m_lowHz;
    for (int hz = static_cast<int>(std::ceil(m_lowHz / 100.0)) * 100; hz <= m_highHz; hz += 100) {
        const int x = static_cast<int>((hz - m_lowHz) / span * width());
        const bool major = hz % 500 == 0;
        p.drawLine(x, ScaleHeight - (major ? 5 : 2), x, ScaleHeight);
        if (major)
            p.drawText(x + 2, ScaleHeight - 4, QString::number(hz));
    }
}

void WaterfallView::mousePressEvent(QMouseEvent* event)
{
    emit frequencyClicked(frequencyAt(static_cast<int>(event->position().x())));
}

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(16);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to set the squelch level"));
}

void LevelMeter::setLevel(int level)
{
    level = std::clamp(level, 0, FullScale);
    if (level == m_level)
        return;
    m_level = level;
    update();
}

int LevelMeter::levelAt(int x) const
{
    const int w = std::max(1, width());
    return static_cast<int>(std::lround(static_cast<double>(std::clamp(x, 0, w)) * FullScale / w));
}

void LevelMeter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int bar = static_cast<int>(static_cast<long long>(m_level) * width() / FullScale);
    p.fillRect(QRect(0, 2, bar, height() - 4), QColor(0, 200, 0));
    const int mark = static_cast<int>(static_cast<long long>(m_squelch) * width() / FullScale);
    p.setPen(Qt::yellow);
    p.drawLine(mark, 0, mark, height());
}

void LevelMeter::mousePressEvent(QMouseEvent* event)
{
    m_squelch = levelAt(static_cast<int>(event->position().x()));
    update();
    emit squelchLevelChosen(m_squelch);
}

} // namespace app
