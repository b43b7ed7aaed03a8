#include <gtest/gtest.h>

#include "records/trackmap.h"

namespace {

constexpr MapColor kRed{255, 0, 0};

MapImage WhiteMap() {
    MapImage image;
    Map_Clear(image);
    return image;
}

int CountNonWhite(const MapImage& image) {
    int n = 0;
    for (int y = 0; y < kMapSize; ++y)
        for (int x = 0; x < kMapSize; ++x) n += Map_GetPixel(image, x, y) != kMapWhite;
    return n;
}

}  // namespace

TEST(TrackMap, PixelLayoutRunsFromNorthToSouth) {
    struct Row {
        int x, y, offset;
    } rows[] = {{0, 59, 0}, {59, 0, kMapBytes - 3}, {1, 58, 3 * 61}, {0, 0, 3 * 60 * 59}};
    for (const Row& r : rows) {
        MapImage image = WhiteMap();
        Map_SetPixel(image, r.x, r.y, MapColor{1, 2, 3});
        EXPECT_EQ(image[r.offset], 1) << r.x << "," << r.y;
        EXPECT_EQ(image[r.offset + 1], 2);
        EXPECT_EQ(image[r.offset + 2], 3);
        EXPECT_EQ(CountNonWhite(image), 1);
    }
}

TEST(TrackMap, OutsidePixelsAreSkippedAndReadWhite) {
    MapImage image = WhiteMap();
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {60, 0}, {0, 60}}) {
        Map_SetPixel(image, x, y, kMapBlack);
        EXPECT_EQ(Map_GetPixel(image, x, y), kMapWhite);
    }
    EXPECT_EQ(CountNonWhite(image), 0);
}

TEST(TrackMap, BlendStoresIntegerMeanPerChannel) {
    MapImage image = WhiteMap();
    Map_SetPixel(image, 4, 4, kMapBlack, true);
    EXPECT_EQ(Map_GetPixel(image, 4, 4), (MapColor{127, 127, 127}));
    Map_SetPixel(image, 5, 5, MapColor{10, 20, 31});
    Map_SetPixel(image, 5, 5, MapColor{1, 2, 4}, true);
    EXPECT_EQ(Map_GetPixel(image, 5, 5), (MapColor{5, 11, 17}));
}

TEST(TrackMap, LinesIncludeBothEndsAndAreConnected) {
    struct Row {
        int x0, y0, x1, y1, pixels;
    } rows[] = {
        {2, 5, 9, 5, 8},       // horizontal
        {9, 5, 2, 5, 8},       // reversed
        {3, 3, 10, 10, 8},     // diagonal
        {30, 30, 33, 50, 21},  // steep: one pixel per row
        {-10, 5, 10, 5, 11},   // partly outside: only 0..10 drawn
        {7, 7, 7, 7, 1},
    };
    for (const Row& r : rows) {
        MapImage image = WhiteMap();
        Map_DrawLine(image, r.x0, r.y0, r.x1, r.y1, kRed);
        EXPECT_EQ(CountNonWhite(image), r.pixels) << r.x0 << "," << r.y0 << " -> " << r.x1 << "," << r.y1;
        if (r.x0 >= 0) {
            EXPECT_EQ(Map_GetPixel(image, r.x0, r.y0), kRed);
        }
        EXPECT_EQ(Map_GetPixel(image, r.x1, r.y1), kRed);
    }
    // A steep line has exactly one pixel in every row it crosses.
    MapImage image = WhiteMap();
    Map_DrawLine(image, 30, 30, 33, 50, kRed);
    for (int y = 30; y <= 50; ++y) {
        int inRow = 0;
        for (int x = 0; x < kMapSize; ++x) inRow += Map_GetPixel(image, x, y) == kRed;
        EXPECT_EQ(inRow, 1) << "row " << y;
    }
}

TEST(TrackMap, DotIsThreeByThreeAndClippedAtTheEdge) {
    MapImage image = WhiteMap();
    Map_DrawDot(image, 5, 6, kMapBlack);
    EXPECT_EQ(CountNonWhite(image), 9);
    for (int y = 5; y <= 7; ++y)
        for (int x = 4; x <= 6; ++x) EXPECT_EQ(Map_GetPixel(image, x, y), kMapBlack);
    Map_Clear(image);
    Map_DrawDot(image, 0, 59, kMapBlack);
    EXPECT_EQ(CountNonWhite(image), 4);
}

TEST(TrackMap, CanShiftRefusesToPushDrawnPixelsOut) {
    struct Row {
        int px, py;  // the one non-white pixel, or -1 for none
        int dx, dy;
        bool can;
    } rows[] = {
        {-1, -1, 59, 0, true},   {-1, -1, 60, 0, false},  {-1, -1, 0, -60, false}, {-1, -1, -59, 59, true},
        {0, 10, 1, 0, false},    {0, 10, -1, 0, true},    {59, 10, -1, 0, false},  {59, 10, 1, 0, true},
        {10, 59, 0, -1, false},  {10, 59, 0, 1, true},    {10, 0, 0, 1, false},    {20, 20, 20, 0, true},
        {20, 20, 21, 0, false},  {20, 20, 0, -39, true},  {20, 20, 0, -40, false}, {20, 20, 0, 0, true},
    };
    for (const Row& r : rows) {
        MapImage image = WhiteMap();
        if (r.px >= 0) Map_SetPixel(image, r.px, r.py, kMapTrack);
        EXPECT_EQ(Map_CanShift(image, r.dx, r.dy), r.can)
            << "pixel " << r.px << "," << r.py << " shift " << r.dx << "," << r.dy;
    }
}

TEST(TrackMap, ShiftMovesPixelsAgainstTheShift) {
    MapImage image = WhiteMap();
    Map_SetPixel(image, 10, 20, kRed);
    Map_SetPixel(image, 1, 1, kMapBlack);  // pushed out by the shift
    Map_Shift(image, 3, -4);
    EXPECT_EQ(Map_GetPixel(image, 7, 24), kRed);
    EXPECT_EQ(Map_GetPixel(image, 10, 20), kMapWhite);
    EXPECT_EQ(CountNonWhite(image), 1);
}

TEST(TrackMap, ZoomOutShrinksToTheCentreKeepingDarkPixels) {
    MapImage image = WhiteMap();
    // Both in the block (0..1, 0..1): the result takes the darker value of each channel.
    Map_SetPixel(image, 0, 0, MapColor{255, 0, 255});
    Map_SetPixel(image, 1, 1, MapColor{0, 255, 255});
    Map_SetPixel(image, 59, 59, kMapTrack);
    Map_SetPixel(image, 30, 31, kRed);
    Map_ZoomOut(image);
    EXPECT_EQ(Map_GetPixel(image, 15, 15), (MapColor{0, 0, 255}));
    EXPECT_EQ(Map_GetPixel(image, 44, 44), kMapTrack);
    EXPECT_EQ(Map_GetPixel(image, 30, 30), kRed);
    EXPECT_EQ(CountNonWhite(image), 3);
}
