#pragma once
// The K-factor curve of one antenna: its points as markers and the clamped
// cubic spline through them, sampled at 200 frequencies, as a line, with
// labelled axes. Drawn with QPainter; scales to any size.
#include <QWidget>
#include <vector>

#include "antenna/antenna.h"

// The curve as drawn: 200 samples from the first to the last frequency, each
// K-factor rounded to two decimals. Empty with fewer than 2 points.
std::vector<KFactorPoint> KFactorPlot_Curve(const std::vector<KFactorPoint>& points);

class KFactorPlot : public QWidget {
    Q_OBJECT
public:
    explicit KFactorPlot(QWidget* parent = nullptr);
    void setPoints(const std::vector<KFactorPoint>& points);
    const std::vector<KFactorPoint>& points() const { return points_; }
    const std::vector<KFactorPoint>& curve() const { return curve_; }
    QSize minimumSizeHint() const override { return {240, 200}; }
    QSize sizeHint() const override { return {560, 360}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<KFactorPoint> points_;
    std::vector<KFactorPoint> curve_;
};
