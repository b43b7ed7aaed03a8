#include "ui/trackmapview.h"

#include <QPainter>
#include <algorithm>

#include "records/trackmap.h"

namespace {
constexpr int kFrame = 1;  // the border drawn around the map
int Side(int scale) { return kMapSize * scale + 2 * kFrame; }
}  // namespace

TrackMapView::TrackMapView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMaximumSize(Side(kMaxScale), Side(kMaxScale));
}

void TrackMapView::setMap(const QImage& map) {
    map_ = map;
    update();
}

int TrackMapView::scale() const {
    const int room = std::min(width(), height()) - 2 * kFrame;
    return std::clamp(room / kMapSize, kMinScale, kMaxScale);
}

QImage TrackMapView::picture() const {
    // Nearest neighbour: no smoothing bleeds a pixel into its neighbours.
    const int side = kMapSize * scale();
    return map_.isNull() ? QImage() : map_.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QSize TrackMapView::sizeHint() const { return {Side(kMaxScale), Side(kMaxScale)}; }

QSize TrackMapView::minimumSizeHint() const { return {Side(kMinScale), Side(kMinScale)}; }

void TrackMapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int side = Side(scale());
    const QRect frame((width() - side) / 2, 0, side, side);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    if (!map_.isNull()) painter.drawImage(frame.topLeft() + QPoint(kFrame, kFrame), picture());
}
