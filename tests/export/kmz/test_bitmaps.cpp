// The map bitmaps: histogram and distribution pixels follow their colour rules
// exactly; legends put the spots, texts and values where a viewer expects
// them; pictures are usable icons; every bitmap lands in the archive as a BMP
// of the right size, bottom row first.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "export/kmz/bitmaps.h"
#include "support/testsupport.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

Rgba PixelAt(const std::uint8_t* pixels, int width, int x, int y) {
    const std::uint8_t* p = pixels + (static_cast<std::size_t>(y) * width + x) * 4;
    return {p[2], p[1], p[0], p[3]};
}

Rgba Opaque(std::uint32_t rgb, int alpha) {
    return {static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb & 0xFF), alpha};
}

TEST(Bitmaps, BlendRoundsEachChannelAndClampsTheFraction) {
    EXPECT_EQ(Bitmaps_Blend(kRampBlue, kRampGreen, 0.0), kRampBlue);
    EXPECT_EQ(Bitmaps_Blend(kRampBlue, kRampGreen, 1.0), kRampGreen);
    EXPECT_EQ(Bitmaps_Blend(kRampBlue, kRampGreen, 0.5), 0x329999u);  // 152.5 rounds up on both sides
    EXPECT_EQ(Bitmaps_Blend(kRampBlue, kRampGreen, -3.0), kRampBlue);
    EXPECT_EQ(Bitmaps_Blend(kRampGreen, kRampRed, 7.0), kRampRed);
    EXPECT_EQ(Bitmaps_Blend(0x000000, 0xFFFFFF, 0.25), 0x404040u);  // 63.75 + 0.5 -> 64
}

TEST(Bitmaps, HistogramColoursCountsOnTheRampAndGreysOnlyTheEmptyGrid) {
    std::vector<std::int32_t> counters(kGraphColumns * kGraphRows, 0);
    auto at = [&](int x, int y) -> std::int32_t& { return counters[y * kGraphColumns + x]; };
    // maximum 10, half 5
    at(1, 1) = 1;
    at(2, 1) = 3;   // (3 - 1) / (5 - 1) of the way to green
    at(3, 1) = 5;   // green
    at(4, 1) = 7;   // (7 - 5) / (10 - 5) of the way to red
    at(5, 1) = 10;  // red
    at(20, 50) = 4;  // on the grid: stays coloured
    at(21, 40) = 2;  // on the grid row
    std::vector<std::uint8_t> pixels(kGraphColumns * kGraphRows * 4);
    ASSERT_TRUE(Bitmaps_DrawGraphHistogram(counters, 10, pixels.data()));

    struct Row {
        int x, y;
        Rgba expected;
    };
    const Row rows[] = {
        {1, 1, Opaque(kRampBlue, 0)},
        {2, 1, Opaque(Bitmaps_Blend(kRampBlue, kRampGreen, 0.5), 0)},
        {3, 1, Opaque(kRampGreen, 0)},
        {4, 1, Opaque(Bitmaps_Blend(kRampGreen, kRampRed, 0.4), 0)},
        {5, 1, Opaque(kRampRed, 0)},
        {20, 50, Opaque(Bitmaps_Blend(kRampBlue, kRampGreen, 0.75), 0)},
        {21, 40, Opaque(Bitmaps_Blend(kRampBlue, kRampGreen, 0.25), 0)},
        {6, 1, {0, 0, 0, 0}},         // empty, off the grid
        {0, 0, {0, 0, 0, 0}},         // column 0 and row 0 are no grid lines
        {20, 0, {50, 50, 50, 0}},     // grid columns 20 .. 180
        {180, 99, {50, 50, 50, 0}},
        {199, 80, {50, 50, 50, 0}},   // grid rows 20 .. 80
        {199, 99, {0, 0, 0, 0}},
        {100, 90, {50, 50, 50, 0}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PixelAt(pixels.data(), kGraphColumns, row.x, row.y), row.expected) << row.x << "," << row.y;

    std::vector<std::int32_t> tooFew(kGraphColumns * kGraphRows - 1, 0);
    EXPECT_FALSE(Bitmaps_DrawGraphHistogram(tooFew, 1, pixels.data()));
}

// With a maximum counter of 1 nothing but blue columns on black and the grey grid.
TEST(Bitmaps, HistogramWithMaximumOneIsBlueOnBlack) {
    std::vector<std::int32_t> counters(kGraphColumns * kGraphRows, 0);
    for (int x = 0; x < kGraphColumns; x += 3)
        for (int y = 99; y >= 60; --y) counters[y * kGraphColumns + x] = 1;
    std::vector<std::uint8_t> pixels(kGraphColumns * kGraphRows * 4);
    ASSERT_TRUE(Bitmaps_DrawGraphHistogram(counters, 1, pixels.data()));
    for (int y = 0; y < kGraphRows; ++y) {
        for (int x = 0; x < kGraphColumns; ++x) {
            const Rgba c = PixelAt(pixels.data(), kGraphColumns, x, y);
            const bool grid = (x % 20 == 0 && x > 0) || (y % 20 == 0 && y > 0);
            const Rgba expected = counters[y * kGraphColumns + x] == 1 ? Opaque(kRampBlue, 0)
                                  : grid                               ? Rgba{50, 50, 50, 0}
                                                                       : Rgba{0, 0, 0, 0};
            ASSERT_EQ(c, expected) << x << "," << y;
        }
    }
}

TEST(Bitmaps, DistributionBarsScaleToTheFullestBin) {
    std::array<std::int32_t, kValueBins> bins{};
    bins[0] = 20;  // full: rows 19 .. 0
    bins[1] = 10;  // 19 * 10 / 20 = 9.5 -> 9: rows 19 .. 10
    bins[2] = 1;   // 0.95 -> 0: the bottom pixel only
    // bins[3..] empty: still their bottom pixel
    std::vector<double> asked;
    auto colourOf = [&](double v) {
        asked.push_back(v);
        return v < 45.0 ? 0xFF0000u : 0x00FF00u;
    };
    std::vector<std::uint8_t> pixels(kValueBins * kValueRows * 4, 0xAA);
    ASSERT_TRUE(Bitmaps_DrawValueDistribution(bins, 20, 40.0, 89.0, colourOf, pixels.data()));

    ASSERT_EQ(asked.size(), static_cast<std::size_t>(kValueBins));
    for (int c = 0; c < kValueBins; ++c) EXPECT_DOUBLE_EQ(asked[c], 40.0 + c) << c;  // worst + c (best - worst) / 49

    auto columnHeight = [&](int column) {
        int coloured = 0;
        for (int y = 0; y < kValueRows; ++y)
            if (PixelAt(pixels.data(), kValueBins, column, y) != Rgba{0, 0, 0, 0}) ++coloured;
        return coloured;
    };
    EXPECT_EQ(columnHeight(0), 20);
    EXPECT_EQ(columnHeight(1), 10);
    EXPECT_EQ(PixelAt(pixels.data(), kValueBins, 1, 10), Opaque(0xFF0000, 0));
    EXPECT_EQ(PixelAt(pixels.data(), kValueBins, 1, 9), (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(columnHeight(2), 1);
    EXPECT_EQ(columnHeight(30), 1);
    EXPECT_EQ(PixelAt(pixels.data(), kValueBins, 30, 19), Opaque(0x00FF00, 0));

    // all bins empty: every column full height
    std::array<std::int32_t, kValueBins> none{};
    ASSERT_TRUE(Bitmaps_DrawValueDistribution(none, 0, 40.0, 89.0, colourOf, pixels.data()));
    EXPECT_EQ(columnHeight(0), 20);
    EXPECT_EQ(columnHeight(49), 20);

    std::array<std::int32_t, kValueBins - 1> short_{};
    EXPECT_FALSE(Bitmaps_DrawValueDistribution(short_, 1, 0, 1, colourOf, pixels.data()));
}

// All values of the cell equal: the two middle bins at full height in that value's colour.
TEST(Bitmaps, DistributionOfEqualValuesShowsTwoMiddleColumns) {
    std::array<std::int32_t, kValueBins> bins{};
    bins[24] = 1;
    bins[25] = 1;
    std::vector<std::uint8_t> pixels(kValueBins * kValueRows * 4);
    auto colourOf = [](double v) { return v == 52.5 ? 0x12AB34u : 0xFFFFFFu; };
    ASSERT_TRUE(Bitmaps_DrawValueDistribution(bins, 1, 52.5, 52.5, colourOf, pixels.data()));
    for (int column : {24, 25})
        for (int y = 0; y < kValueRows; ++y)
            EXPECT_EQ(PixelAt(pixels.data(), kValueBins, column, y), Opaque(0x12AB34, 0)) << column << "," << y;
    EXPECT_EQ(PixelAt(pixels.data(), kValueBins, 23, 18), (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(PixelAt(pixels.data(), kValueBins, 23, 19), Opaque(0x12AB34, 0));
}

TEST(Bitmaps, PicturesAreUsableIcons) {
    KmzPicturePixels spot;
    ASSERT_TRUE(Pictures_Draw(PICTURE_SPOT, spot));
    ASSERT_GT(spot.width, 8);
    ASSERT_EQ(spot.pixels.size(), static_cast<std::size_t>(spot.width) * spot.height * 4);
    const Rgba centre = PixelAt(spot.pixels.data(), spot.width, spot.width / 2, spot.height / 2);
    EXPECT_EQ(centre, (Rgba{255, 255, 255, 255}));  // white takes the icon colour unchanged
    EXPECT_EQ(PixelAt(spot.pixels.data(), spot.width, 0, 0).a, 0);
    bool softEdge = false;  // somewhere along the middle row the alpha is neither 0 nor 255
    for (int x = 0; x < spot.width; ++x) {
        const int a = PixelAt(spot.pixels.data(), spot.width, x, spot.height / 2).a;
        softEdge = softEdge || (a > 0 && a < 255);
    }
    EXPECT_TRUE(softEdge);

    KmzPicturePixels bar;
    ASSERT_TRUE(Pictures_Draw(PICTURE_INTENSITY, bar));
    EXPECT_EQ(PixelAt(bar.pixels.data(), bar.width, 0, 0), Opaque(kRampRed, 255));  // maximum on top
    EXPECT_EQ(PixelAt(bar.pixels.data(), bar.width, bar.width - 1, bar.height - 1), Opaque(kRampBlue, 255));
    const Rgba middle = PixelAt(bar.pixels.data(), bar.width, 0, bar.height / 2);
    EXPECT_GT(middle.g, 200);
    EXPECT_LT(middle.r, 100);

    KmzPicturePixels logo;
    ASSERT_TRUE(Pictures_Draw(PICTURE_LOGO, logo));
    int transparent = 0, opaque = 0, light = 0;
    for (std::size_t i = 0; i < logo.pixels.size(); i += 4) {
        transparent += logo.pixels[i + 3] == 0;
        opaque += logo.pixels[i + 3] >= 200;
        light += logo.pixels[i] > 200 && logo.pixels[i + 1] > 200 && logo.pixels[i + 2] > 200;
    }
    EXPECT_GT(transparent, 0);  // rounded corners
    EXPECT_GT(opaque, static_cast<int>(logo.pixels.size() / 4 / 2));
    EXPECT_GT(light, 100);  // the white lettering
}

const std::array<std::uint32_t, kLegendSpots> kSpotColours = {0xFF0000, 0xFF3300, 0xFF6600, 0xFF9900, 0xFFCC00,
                                                                0xFFFF00, 0xCCFF00, 0x99FF00, 0x66FF00, 0x00FF00};

// Dark (text) pixels inside a rectangle of the legend.
int DarkPixels(const std::vector<std::uint8_t>& pixels, int left, int top, int width, int height,
               int* minX = nullptr, int* maxX = nullptr) {
    int count = 0;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            const Rgba c = PixelAt(pixels.data(), kLegendWidth, x, y);
            if (c.r + c.g + c.b < 300) {
                ++count;
                if (minX != nullptr && (count == 1 || x < *minX)) *minX = x;
                if (maxX != nullptr && (count == 1 || x > *maxX)) *maxX = x;
            }
        }
    }
    return count;
}

class LegendTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Bitmaps_LegendBegin(canvas, kSpotColours)); }
    KmzLegendCanvas canvas;
    KmzLegendText text{"/records/north/2024-05-01 Route 7.dtr", "Worst", "Level [dB\xB5V/m]", 40.0, 50.0, 60.0, 1, true};
};

TEST_F(LegendTest, FrameSpotsAndTextsSitWhereTheyBelong) {
    ASSERT_TRUE(Bitmaps_DrawLegend(canvas, text, 0));
    const auto& px = canvas.pixels;
    ASSERT_EQ(px.size(), static_cast<std::size_t>(kLegendWidth) * kLegendHeight * 4);
    for (std::size_t i = 3; i < px.size(); i += 4) ASSERT_EQ(px[i], 255) << i / 4;
    // grey margin, white box
    EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 0, 0), (Rgba{208, 208, 208, 255}));
    EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 4, 50), (Rgba{208, 208, 208, 255}));
    EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 315, 50), (Rgba{208, 208, 208, 255}));
    EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 319, 99), (Rgba{208, 208, 208, 255}));
    EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 5, 5), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 314, 94), (Rgba{255, 255, 255, 255}));
    // spot k centred in its cell, in its colour
    for (int k = 0; k < kLegendSpots; ++k)
        EXPECT_EQ(PixelAt(px.data(), kLegendWidth, 30 * k + 25, 60), Opaque(kSpotColours[k], 255)) << k;
    // the name line and the title line, each on the bottom of its 20-pixel box
    EXPECT_GT(DarkPixels(px, 10, 5, 300, 20), 50);
    EXPECT_EQ(DarkPixels(px, 10, 5, 300, 5), 0);
    EXPECT_GT(DarkPixels(px, 10, 25, 300, 20), 50);
    EXPECT_EQ(DarkPixels(px, 10, 25, 300, 5), 0);
    // values: bad at the left, average centred, good at the right of their boxes
    int minX = 0, maxX = 0;
    ASSERT_GT(DarkPixels(px, 10, 80, 60, 14, &minX, &maxX), 10);
    EXPECT_LT(minX, 14);
    EXPECT_LT(maxX, 45);
    ASSERT_GT(DarkPixels(px, 130, 80, 60, 14, &minX, &maxX), 10);
    EXPECT_NEAR((minX + maxX) / 2.0, 160.0, 3.0);
    ASSERT_GT(DarkPixels(px, 250, 80, 60, 14, &minX, &maxX), 10);
    EXPECT_GT(minX, 275);
    EXPECT_GT(maxX, 305);
}

TEST_F(LegendTest, SmallerSpotSizesShrinkTheSpotsInPlace) {
    // the disc of 28 pixels in a 30-pixel cell scaled to a square of 30 - 8 s
    for (const int size : {0, 1, 2}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(Bitmaps_DrawLegend(canvas, text, size));
        const int k = 3;
        // the spot colour has no blue, so the missing blue measures its coverage
        double sumX = 0, sumY = 0, coloured = 0;
        for (int y = 45; y < 75; ++y) {
            for (int x = 30 * k + 10; x < 30 * k + 40; ++x) {
                const double cover = (255 - PixelAt(canvas.pixels.data(), kLegendWidth, x, y).b) / 255.0;
                coloured += cover;
                sumX += cover * (x + 0.5);
                sumY += cover * (y + 0.5);
            }
        }
        const double radius = 14.0 * (30 - 8 * size) / 30.0;
        EXPECT_NEAR(coloured, 3.14159 * radius * radius, 0.08 * 3.14159 * radius * radius);
        EXPECT_NEAR(sumX / coloured, 30 * k + 25.0, 0.3);
        EXPECT_NEAR(sumY / coloured, 60.0, 0.3);
        EXPECT_EQ(PixelAt(canvas.pixels.data(), kLegendWidth, 30 * k + 25, 60), Opaque(kSpotColours[k], 255));
    }
    EXPECT_FALSE(Bitmaps_DrawLegend(canvas, text, 3));
}

// Rating kind 3 shows only the bad and the good value.
TEST_F(LegendTest, LegendWithoutAverageLeavesTheMiddleEmpty) {
    text.showAverage = false;
    text.bad = 0.0;
    text.good = 1.0;
    text.decimals = 0;
    ASSERT_TRUE(Bitmaps_DrawLegend(canvas, text, 1));
    EXPECT_EQ(DarkPixels(canvas.pixels, 70, 80, 180, 14), 0);
    EXPECT_GT(DarkPixels(canvas.pixels, 10, 80, 60, 14), 5);
    EXPECT_GT(DarkPixels(canvas.pixels, 250, 80, 60, 14), 5);
}

TEST(Legend, RefusesAStripWithoutTenColours) {
    KmzLegendCanvas canvas;
    EXPECT_FALSE(Bitmaps_LegendBegin(canvas, std::span<const std::uint32_t>(kSpotColours.data(), 9)));
    KmzLegendText text;
    EXPECT_FALSE(Bitmaps_DrawLegend(canvas, text, 0));
}

// The conversion draws on its worker thread; two threads drawing at once (the
// first of them possibly creating the application object) get the same picture.
TEST(Legend, WorkerThreadsDrawTheSameLegend) {
    std::vector<std::uint8_t> results[2];
    bool ok[2] = {false, false};
    auto draw = [&](int i) {
        KmzLegendCanvas canvas;
        KmzLegendText text{"a.dtr", "Best", "Speed [km/h]", 120.0, 60.0, 0.0, 1, true};
        ok[i] = Bitmaps_LegendBegin(canvas, kSpotColours) && Bitmaps_DrawLegend(canvas, text, 1);
        results[i] = canvas.pixels;
    };
    std::thread a(draw, 0), b(draw, 1);
    a.join();
    b.join();
    ASSERT_TRUE(ok[0] && ok[1]);
    EXPECT_TRUE(results[0] == results[1]);
    EXPECT_GT(DarkPixels(results[0], 10, 25, 300, 20), 50);
}

TEST(Bitmaps, EntriesLandInTheArchiveAsBmpsOfTheirSize) {
    TempDir dir;
    const std::string path = dir.file("bitmaps.kmz");
    const char* stamp = "40E5A1C3D2B10000";
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive));

    std::vector<std::int32_t> counters(kGraphColumns * kGraphRows, 0);
    for (int x = 0; x < kGraphColumns; ++x) counters[x] = 1;  // the top row only
    ASSERT_TRUE(Bitmaps_WriteGraphHistogram(archive, 2, "0246", stamp, counters, 1));
    std::array<std::int32_t, kValueBins> bins{};
    bins[0] = 5;
    ASSERT_TRUE(Bitmaps_WriteValueDistribution(archive, 3, "0246", stamp, bins, 5, 1.0, 2.0,
                                               [](double) { return 0x102030u; }));
    KmzLegendCanvas canvas;
    ASSERT_TRUE(Bitmaps_LegendBegin(canvas, kSpotColours));
    const KmzLegendText text{"x.dtr", "Average", "MER [dB]", 20.0, 25.0, 30.0, 2, true};
    ASSERT_TRUE(Bitmaps_WriteLegend(archive, canvas, "MA", 4, stamp, text, 1));
    for (KmzPicture picture : {PICTURE_SPOT, PICTURE_LOGO, PICTURE_INTENSITY})
        ASSERT_TRUE(Bitmaps_WritePicture(archive, picture, stamp));
    ASSERT_TRUE(kmzCloseArchive(archive));

    struct Expect {
        std::string name;
        int width, height;  // 0: any
    };
    const std::string s = stamp;
    const Expect entries[] = {{"G2_0246_" + s + ".bmp", 200, 100}, {"V3_0246_" + s + ".bmp", 50, 20},
                              {"MA4_" + s + ".bmp", 320, 100},     {"spot_" + s + ".bmp", 0, 0},
                              {"logo_" + s + ".bmp", 0, 0},        {"intensity_" + s + ".bmp", 0, 0}};
    const std::vector<Entry> stored = ReadArchive(path);
    for (const Expect& e : entries) {
        SCOPED_TRACE(e.name);
        const Entry* bmp = Find(stored, e.name);
        ASSERT_NE(bmp, nullptr);
        EXPECT_EQ(BmpProblem(*bmp), "");
        if (e.width != 0) {
            EXPECT_EQ(U32(bmp->bytes, 18), static_cast<std::uint32_t>(e.width));
            EXPECT_EQ(U32(bmp->bytes, 22), static_cast<std::uint32_t>(e.height));
        }
    }
    // the histogram's top row is stored last; its bottom row first
    const std::string& graph = Find(stored, entries[0].name)->bytes;
    const std::size_t lastRow = 54 + 99u * 800;
    EXPECT_EQ(static_cast<std::uint8_t>(graph[lastRow + 4]), 0xFF);  // blue of (50, 50, 255)
    EXPECT_EQ(static_cast<std::uint8_t>(graph[54 + 4]), 0x00);      // black bottom row
    // the legend is opaque, the histograms are not
    const std::string& legend = Find(stored, entries[2].name)->bytes;
    EXPECT_EQ(static_cast<std::uint8_t>(legend[54 + 3]), 255);
    EXPECT_EQ(static_cast<std::uint8_t>(graph[lastRow + 7]), 0);
}

}  // namespace
