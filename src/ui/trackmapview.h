#pragma once
// The live track map as the recording page shows it: the 60 x 60 map at the
// largest whole scale (2 to 4) its room allows, every map pixel a sharp
// square, so that the car's pixel stays visible on a small screen too.
#include <QImage>
#include <QWidget>

class TrackMapView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinScale = 2, kMaxScale = 4;
    explicit TrackMapView(QWidget* parent);
    // map: the 60 x 60 picture, rows from north to south.
    void setMap(const QImage& map);
    int scale() const;
    // The picture as shown at scale().
    QImage picture() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage map_;
};
