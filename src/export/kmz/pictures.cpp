#include "export/kmz/pictures.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "export/kmz/bitmaps.h"
#include "export/kmz/canvas.h"

// QImage's 32-bit words are the BMP's blue, green, red, alpha bytes only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr int kSpotSide = 32;
constexpr int kLogoWidth = 176;
constexpr int kLogoHeight = 40;
// Shown at 20 x 200 beside the 400 x 200 histogram, which is twice its size.
constexpr int kBarWidth = 10;
constexpr int kBarHeight = 100;

void SetPixel(KmzPicturePixels& p, int x, int y, std::uint32_t rgb, std::uint8_t alpha) {
    std::uint8_t* px = p.pixels.data() + (static_cast<std::size_t>(y) * p.width + x) * 4;
    px[0] = static_cast<std::uint8_t>(rgb);
    px[1] = static_cast<std::uint8_t>(rgb >> 8);
    px[2] = static_cast<std::uint8_t>(rgb >> 16);
    px[3] = alpha;
}

void Resize(KmzPicturePixels& p, int width, int height) {
    p.width = width;
    p.height = height;
    p.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
}

double SmoothStep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// A white disc whose alpha fades over its last pixels, with a slightly darker
// rim: Google Earth multiplies the icon by the placemark colour, so white
// takes the colour exactly and the rim keeps neighbouring spots apart.
void DrawSpot(KmzPicturePixels& p) {
    Resize(p, kSpotSide, kSpotSide);
    constexpr double kCentre = kSpotSide / 2.0;
    constexpr int kSub = 4;  // 4 x 4 samples per pixel smooth the edge
    for (int y = 0; y < kSpotSide; ++y) {
        for (int x = 0; x < kSpotSide; ++x) {
            double alpha = 0.0;
            double shade = 0.0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const double dx = x + (sx + 0.5) / kSub - kCentre;
                    const double dy = y + (sy + 0.5) / kSub - kCentre;
                    const double r = std::sqrt(dx * dx + dy * dy);
                    alpha += 1.0 - SmoothStep(14.0, 15.9, r);
                    shade += 1.0 - 0.3 * SmoothStep(11.5, 14.5, r);
                }
            }
            alpha /= kSub * kSub;
            shade /= kSub * kSub;
            const auto level = static_cast<std::uint32_t>(std::lround(255.0 * shade));
            SetPixel(p, x, y, level << 16 | level << 8 | level, static_cast<std::uint8_t>(std::lround(255.0 * alpha)));
        }
    }
}

// The histogram ramp from the bottom (a count of 1, blue) over green to the
// top (the maximum count, red); opaque.
void DrawIntensity(KmzPicturePixels& p) {
    Resize(p, kBarWidth, kBarHeight);
    for (int y = 0; y < kBarHeight; ++y) {
        const double t = static_cast<double>(kBarHeight - 1 - y) / (kBarHeight - 1);
        const std::uint32_t rgb =
            t <= 0.5 ? Bitmaps_Blend(kRampBlue, kRampGreen, t / 0.5) : Bitmaps_Blend(kRampGreen, kRampRed, (t - 0.5) / 0.5);
        for (int x = 0; x < kBarWidth; ++x) SetPixel(p, x, y, rgb, 255);
    }
}

// The program's name on a dark, half-transparent plate with a small mark of
// radio waves, for the top-left corner of the map.
bool DrawLogo(KmzPicturePixels& p) {
    if (!KmzCanvas_EnsureGui()) return false;
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(24, 34, 52, 200));
        painter.drawRoundedRect(QRectF(0.5, 0.5, kLogoWidth - 1.0, kLogoHeight - 1.0), 7, 7);

        // mast with three arcs on each side
        const QPointF mast(22, 21);
        const QColor wave(120, 190, 255);
        painter.setBrush(wave);
        painter.drawEllipse(mast, 3.2, 3.2);
        painter.setBrush(Qt::NoBrush);
        for (int i = 1; i <= 3; ++i) {
            QPen pen(wave, 2.0);
            pen.setCapStyle(Qt::RoundCap);
            pen.setColor(QColor(120, 190, 255, 255 - 55 * (i - 1)));
            painter.setPen(pen);
            const double r = 4.5 * i + 1.5;
            const QRectF box(mast.x() - r, mast.y() - r, 2 * r, 2 * r);
            painter.drawArc(box, -40 * 16, 80 * 16);
            painter.drawArc(box, 140 * 16, 80 * 16);
        }

        painter.setPen(Qt::white);
        painter.setFont(KmzCanvas_Font(21, true));
        painter.drawText(QRectF(44, 0, kLogoWidth - 50, kLogoHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Fieldtrace"));
    }
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);  // alpha not premultiplied
    Resize(p, kLogoWidth, kLogoHeight);
    for (int y = 0; y < kLogoHeight; ++y)
        std::memcpy(p.pixels.data() + static_cast<std::size_t>(y) * kLogoWidth * 4, straight.constScanLine(y),
                    static_cast<std::size_t>(kLogoWidth) * 4);  // ARGB32 words are blue, green, red, alpha in memory
    return true;
}

}  // namespace

bool Pictures_Draw(KmzPicture picture, KmzPicturePixels& out) {
    switch (picture) {
        case PICTURE_SPOT:
            DrawSpot(out);
            return true;
        case PICTURE_LOGO:
            return DrawLogo(out);
        case PICTURE_INTENSITY:
            DrawIntensity(out);
            return true;
    }
    return false;
}
