#include "ui/kfactorplot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kCurveSamples = 200;

// A tick spacing of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double NiceStep(double range, int ticks) {
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    return magnitude * (r < 1.5 ? 1.0 : r < 3.5 ? 2.0 : r < 7.5 ? 5.0 : 10.0);
}

struct Axis {
    double lo, hi, step;
};

// Widens [lo, hi] to whole steps; a flat range gets a span of its own.
Axis MakeAxis(double lo, double hi, int ticks) {
    if (!(hi > lo)) {
        const double pad = std::max(1.0, std::abs(lo) * 0.1);
        lo -= pad;
        hi += pad;
    }
    const double step = NiceStep(hi - lo, ticks);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

// Tick text in the C locale with as many decimals as the step needs.
QString TickText(double value, double step) {
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    if (std::abs(value) < step * 1e-6) value = 0.0;  // no "-0"
    return QString::number(value, 'f', decimals);
}

}  // namespace

std::vector<KFactorPoint> KFactorPlot_Curve(const std::vector<KFactorPoint>& points) {
    std::vector<KFactorPoint> curve;
    if (points.size() < 2) return curve;
    const KFactorSpline spline(points);
    const double x0 = points.front().frequency, x1 = points.back().frequency;
    curve.reserve(kCurveSamples);
    for (int k = 0; k < kCurveSamples; ++k) {
        const double f = x0 + k * (x1 - x0) / (kCurveSamples - 1);
        curve.push_back({f, std::round(100.0 * spline.at(f)) / 100.0});
    }
    return curve;
}

KFactorPlot::KFactorPlot(QWidget* parent) : QWidget(parent) {
    setAccessibleName("K-factor curve");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void KFactorPlot::setPoints(const std::vector<KFactorPoint>& points) {
    points_ = points;
    curve_ = KFactorPlot_Curve(points_);
    update();
}

void KFactorPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    if (points_.size() < 2) return;

    double ylo = points_.front().kFactor, yhi = ylo;
    for (const auto* list : {&points_, &curve_})
        for (const KFactorPoint& pt : *list) {
            ylo = std::min(ylo, pt.kFactor);
            yhi = std::max(yhi, pt.kFactor);
        }
    const QFontMetrics fm(font());
    // Fewer frequency ticks on a narrow plot, so that their texts never run into each other.
    const int xTicks = std::clamp(width() / (fm.horizontalAdvance("0000.0") + 24), 2, 6);
    const Axis xa = MakeAxis(points_.front().frequency, points_.back().frequency, xTicks);
    const Axis ya = MakeAxis(ylo, yhi, 5);

    const int lineH = fm.height();
    int yTickW = 0;
    for (double v = ya.lo; v <= ya.hi + ya.step / 2; v += ya.step)
        yTickW = std::max(yTickW, fm.horizontalAdvance(TickText(v, ya.step)));
    const QRectF plot(lineH * 1.6 + yTickW + 8, lineH, width() - (lineH * 1.6 + yTickW + 8) - lineH * 1.5,
                      height() - lineH * 3.6 - lineH);
    if (plot.width() < 20 || plot.height() < 20) return;

    auto px = [&](double f) { return plot.left() + (f - xa.lo) / (xa.hi - xa.lo) * plot.width(); };
    auto py = [&](double k) { return plot.bottom() - (k - ya.lo) / (ya.hi - ya.lo) * plot.height(); };

    // Grid and tick labels.
    QPen grid(pal.color(QPalette::Mid), 1, Qt::DotLine);
    p.setPen(grid);
    for (double v = xa.lo; v <= xa.hi + xa.step / 2; v += xa.step) p.drawLine(QPointF(px(v), plot.top()), QPointF(px(v), plot.bottom()));
    for (double v = ya.lo; v <= ya.hi + ya.step / 2; v += ya.step) p.drawLine(QPointF(plot.left(), py(v)), QPointF(plot.right(), py(v)));
    p.setPen(pal.color(QPalette::Text));
    p.drawRect(plot);
    for (double v = xa.lo; v <= xa.hi + xa.step / 2; v += xa.step) {
        const QString t = TickText(v, xa.step);
        p.drawText(QPointF(px(v) - fm.horizontalAdvance(t) / 2.0, plot.bottom() + fm.ascent() + 4), t);
    }
    for (double v = ya.lo; v <= ya.hi + ya.step / 2; v += ya.step) {
        const QString t = TickText(v, ya.step);
        p.drawText(QPointF(plot.left() - 6 - fm.horizontalAdvance(t), py(v) + fm.ascent() / 2.0 - 1), t);
    }

    // Axis titles.
    const QString xTitle = "Frequency [MHz]", yTitle = "K-Factor [dB/m]";
    p.drawText(QPointF(plot.center().x() - fm.horizontalAdvance(xTitle) / 2.0, plot.bottom() + lineH * 2.4), xTitle);
    p.save();
    p.translate(fm.ascent() + 2, plot.center().y() + fm.horizontalAdvance(yTitle) / 2.0);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), yTitle);
    p.restore();

    // The spline as a line, the points as markers on top of it.
    p.setClipRect(plot.adjusted(-6, -6, 6, 6));
    QPainterPath path;
    for (std::size_t i = 0; i < curve_.size(); ++i) {
        const QPointF q(px(curve_[i].frequency), py(curve_[i].kFactor));
        if (i == 0) path.moveTo(q);
        else path.lineTo(q);
    }
    const QColor line = pal.color(QPalette::Highlight);
    p.setPen(QPen(line, 2.5));
    p.drawPath(path);
    p.setPen(QPen(line.darker(150), 1.5));
    p.setBrush(pal.color(QPalette::Base));
    const double r = std::max(3.5, lineH / 4.0);
    for (const KFactorPoint& pt : points_) p.drawEllipse(QPointF(px(pt.frequency), py(pt.kFactor)), r, r);
}
