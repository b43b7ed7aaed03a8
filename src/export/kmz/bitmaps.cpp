#include "export/kmz/bitmaps.h"

#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <bit>
#include <cstring>

#include "export/kmz/canvas.h"
#include "export/kmz/entrynames.h"
#include "platform/text.h"

// QImage's 32-bit words are the BMP's blue, green, red, alpha bytes only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);

struct KmzLegendImages {
    QImage spots;   // the strip of ten sample spots, 30 x 30 cells from left 10
    QImage legend;  // the legend canvas
    QFont font;
};

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGridGrey = 0x323232;
constexpr int kGridStep = 20;
constexpr int kSpotCell = 30;
constexpr int kStripLeft = 10;

void SetPixel(std::uint8_t* pixels, int width, int x, int y, std::uint32_t rgb, std::uint8_t alpha) {
    std::uint8_t* px = pixels + (static_cast<std::size_t>(y) * width + x) * 4;
    px[0] = static_cast<std::uint8_t>(rgb);
    px[1] = static_cast<std::uint8_t>(rgb >> 8);
    px[2] = static_cast<std::uint8_t>(rgb >> 16);
    px[3] = alpha;
}

std::uint32_t GetRgb(const std::uint8_t* pixels, int width, int x, int y) {
    const std::uint8_t* px = pixels + (static_cast<std::size_t>(y) * width + x) * 4;
    return static_cast<std::uint32_t>(px[2]) << 16 | static_cast<std::uint32_t>(px[1]) << 8 | px[0];
}

// Count 1 is blue; up to half the maximum the ramp runs to green, above it on to red.
std::uint32_t HistogramColour(std::int32_t count, std::int32_t maximum) {
    if (count <= 0) return kBlack;
    if (count == 1) return kRampBlue;
    const std::int32_t half = maximum / 2;
    if (count <= half) return Bitmaps_Blend(kRampBlue, kRampGreen, static_cast<double>(count - 1) / (half - 1));
    const double fraction = maximum > half ? static_cast<double>(count - half) / (maximum - half) : 1.0;
    return Bitmaps_Blend(kRampGreen, kRampRed, fraction);
}

QColor ToQColor(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

std::string WithoutFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A value under the spots, on white, on the bottom line of its 60 x 14 box.
void DrawValue(QPainter& painter, int left, Qt::Alignment horizontal, double value, int decimals) {
    const QRect box(left, 80, 60, 14);
    painter.fillRect(box, Qt::white);
    painter.drawText(box, horizontal | Qt::AlignBottom, QString::fromLatin1(Text_FormatFixed(value, decimals)));
}

}  // namespace

std::uint32_t Bitmaps_Blend(std::uint32_t from, std::uint32_t to, double fraction) {
    const double f = std::clamp(fraction, 0.0, 1.0);
    std::uint32_t rgb = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const double c1 = (from >> shift) & 0xFF;
        const double c2 = (to >> shift) & 0xFF;
        rgb |= static_cast<std::uint32_t>(c1 + f * (c2 - c1) + 0.5) << shift;
    }
    return rgb;
}

bool Bitmaps_DrawGraphHistogram(std::span<const std::int32_t> counters, std::int32_t maximum,
                                std::uint8_t* pixels) {
    if (counters.size() != static_cast<std::size_t>(kGraphColumns) * kGraphRows || pixels == nullptr) return false;
    for (int y = 0; y < kGraphRows; ++y)
        for (int x = 0; x < kGraphColumns; ++x)
            SetPixel(pixels, kGraphColumns, x, y, HistogramColour(counters[y * kGraphColumns + x], maximum), 0);
    // The grid shows only where no count is.
    for (int y = 0; y < kGraphRows; ++y)
        for (int x = 0; x < kGraphColumns; ++x)
            if ((x % kGridStep == 0 && x > 0) || (y % kGridStep == 0 && y > 0))
                if (GetRgb(pixels, kGraphColumns, x, y) == kBlack) SetPixel(pixels, kGraphColumns, x, y, kGridGrey, 0);
    return true;
}

bool Bitmaps_WriteGraphHistogram(KmzArchive& archive, int graphChannel, const char* cellId, const char* stamp,
                                 std::span<const std::int32_t> counters, std::int32_t maximum) {
    if (cellId == nullptr || stamp == nullptr) return false;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kGraphColumns) * kGraphRows * 4);
    if (!Bitmaps_DrawGraphHistogram(counters, maximum, pixels.data())) return false;
    const std::string name = KmzEntry_GraphBitmap(graphChannel, cellId, stamp);
    return kmzWriteBitmapEntry(archive, name.c_str(), kGraphColumns, kGraphColumns * 4, kGraphRows, pixels.data());
}

bool Bitmaps_DrawValueDistribution(std::span<const std::int32_t> bins, std::int32_t maximum, double worst,
                                   double best, const KmzColourOf& colourOf, std::uint8_t* pixels) {
    if (bins.size() != static_cast<std::size_t>(kValueBins) || pixels == nullptr || !colourOf) return false;
    std::memset(pixels, 0, static_cast<std::size_t>(kValueBins) * kValueRows * 4);  // black, alpha 0
    for (int column = 0; column < kValueBins; ++column) {
        int height = kValueRows - 1;
        if (maximum >= 1)
            height = std::clamp(static_cast<int>(19.0 * bins[column] / maximum), 0, kValueRows - 1);
        // an empty bin still shows its bottom pixel
        const std::uint32_t colour = colourOf(worst + column * (best - worst) / (kValueBins - 1));
        for (int y = kValueRows - 1; y >= kValueRows - 1 - height; --y) SetPixel(pixels, kValueBins, column, y, colour, 0);
    }
    return true;
}

bool Bitmaps_WriteValueDistribution(KmzArchive& archive, int valueChannel, const char* cellId, const char* stamp,
                                    std::span<const std::int32_t> bins, std::int32_t maximum, double worst,
                                    double best, const KmzColourOf& colourOf) {
    if (cellId == nullptr || stamp == nullptr) return false;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kValueBins) * kValueRows * 4);
    if (!Bitmaps_DrawValueDistribution(bins, maximum, worst, best, colourOf, pixels.data())) return false;
    const std::string name = KmzEntry_ValueBitmap(valueChannel, cellId, stamp);
    return kmzWriteBitmapEntry(archive, name.c_str(), kValueBins, kValueBins * 4, kValueRows, pixels.data());
}

bool Bitmaps_WritePicture(KmzArchive& archive, KmzPicture picture, const char* stamp) {
    KmzPicturePixels drawn;
    if (stamp == nullptr || !Pictures_Draw(picture, drawn)) return false;
    const std::string name = KmzEntry_Picture(picture, stamp);
    return kmzWriteBitmapEntry(archive, name.c_str(), drawn.width, drawn.width * 4, drawn.height,
                               drawn.pixels.data());
}

KmzLegendCanvas::KmzLegendCanvas() = default;
KmzLegendCanvas::~KmzLegendCanvas() = default;

bool Bitmaps_LegendBegin(KmzLegendCanvas& canvas, std::span<const std::uint32_t> spotColours) {
    if (spotColours.size() != static_cast<std::size_t>(kLegendSpots) || !KmzCanvas_EnsureGui()) return false;
    auto images = std::make_unique<KmzLegendImages>();
    images->spots = QImage(kStripLeft + kLegendSpots * kSpotCell, kSpotCell, QImage::Format_RGB32);
    images->legend = QImage(kLegendWidth, kLegendHeight, QImage::Format_RGB32);
    if (images->spots.isNull() || images->legend.isNull()) return false;
    images->font = KmzCanvas_Font(11);

    images->spots.fill(Qt::white);  // the legend's white box shows around the spots
    QPainter painter(&images->spots);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int k = 0; k < kLegendSpots; ++k) {
        painter.setBrush(ToQColor(spotColours[k]));
        painter.drawEllipse(QRectF(kSpotCell * k + 11, 1, 28, 28));
    }
    painter.end();

    canvas.images = std::move(images);
    canvas.pixels.assign(static_cast<std::size_t>(kLegendWidth) * kLegendHeight * 4, 0);
    return true;
}

bool Bitmaps_DrawLegend(KmzLegendCanvas& canvas, const KmzLegendText& text, int spotSize) {
    if (!canvas.images || spotSize < 0 || spotSize > 2) return false;
    QImage& legend = canvas.images->legend;
    legend.fill(QColor(208, 208, 208));
    QPainter painter(&legend);
    painter.fillRect(QRect(5, 5, 310, 90), Qt::white);
    painter.setFont(canvas.images->font);
    painter.setPen(Qt::black);
    // Texts sit on the bottom line of their boxes; longer ones are cut at the box.
    painter.drawText(QRect(10, 5, 300, 20), Qt::AlignLeft | Qt::AlignBottom,
                     QString::fromLatin1(WithoutFolder(text.outputName)));
    painter.drawText(QRect(10, 25, 300, 20), Qt::AlignLeft | Qt::AlignBottom,
                     QString::fromLatin1(text.kindTitle + ": " + text.channelName));

    // The spots shrink by 8 pixels per size step and stay centred in their cells.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int side = kSpotCell - 8 * spotSize;
    for (int k = 0; k < kLegendSpots; ++k)
        painter.drawImage(QRect(kSpotCell * k + 10 + 4 * spotSize, 45 + 4 * spotSize, side, side),
                          canvas.images->spots, QRect(kStripLeft + kSpotCell * k, 0, kSpotCell, kSpotCell));

    DrawValue(painter, 10, Qt::AlignLeft, text.bad, text.decimals);
    if (text.showAverage) DrawValue(painter, 130, Qt::AlignHCenter, text.average, text.decimals);
    DrawValue(painter, 250, Qt::AlignRight, text.good, text.decimals);
    painter.end();

    for (int y = 0; y < kLegendHeight; ++y)
        std::memcpy(canvas.pixels.data() + static_cast<std::size_t>(y) * kLegendWidth * 4, legend.constScanLine(y),
                    static_cast<std::size_t>(kLegendWidth) * 4);
    for (std::size_t i = 3; i < canvas.pixels.size(); i += 4) canvas.pixels[i] = 255;
    return true;
}

bool Bitmaps_WriteLegend(KmzArchive& archive, KmzLegendCanvas& canvas, const char* layerPrefix, int channel,
                         const char* stamp, const KmzLegendText& text, int spotSize) {
    if (layerPrefix == nullptr || stamp == nullptr || !Bitmaps_DrawLegend(canvas, text, spotSize)) return false;
    const std::string name = KmzEntry_Legend(layerPrefix, channel, stamp);
    return kmzWriteBitmapEntry(archive, name.c_str(), kLegendWidth, kLegendWidth * 4, kLegendHeight,
                               canvas.pixels.data());
}
