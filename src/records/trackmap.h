#pragma once
// The 60 x 60 pixel track map: plain RGB pixels, rows from north to south.
// Pixel (x, y), y growing northwards, lies at byte 3 * (60 * (59 - y) + x).
#include <array>
#include <cstdint>

constexpr int kMapSize = 60;
constexpr int kMapBytes = kMapSize * kMapSize * 3;

struct MapColor {
    std::uint8_t r, g, b;
    bool operator==(const MapColor&) const = default;
};

constexpr MapColor kMapWhite{255, 255, 255};
constexpr MapColor kMapBlack{0, 0, 0};
constexpr MapColor kMapTrack{0, 0, 255};
constexpr MapColor kMapGrid{200, 200, 200};

using MapImage = std::array<std::uint8_t, kMapBytes>;

void Map_Clear(MapImage& image);  // all white
MapColor Map_GetPixel(const MapImage& image, int x, int y);  // white outside
// Pixels outside the image are skipped. blend stores the per-channel integer mean of old and new.
void Map_SetPixel(MapImage& image, int x, int y, MapColor color, bool blend = false);
void Map_DrawLine(MapImage& image, int x0, int y0, int x1, int y1, MapColor color, bool blend = false);
void Map_DrawDot(MapImage& image, int x, int y, MapColor color);  // 3 x 3 pixels
bool Map_CanShift(const MapImage& image, int dx, int dy);
void Map_ZoomOut(MapImage& image);
void Map_Shift(MapImage& image, int dx, int dy);
