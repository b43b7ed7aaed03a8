#include "records/trackmap.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool Inside(int x, int y) { return x >= 0 && x < kMapSize && y >= 0 && y < kMapSize; }

// Rows are stored from north to south, so y = 59 is the first row.
int Offset(int x, int y) { return 3 * (kMapSize * (kMapSize - 1 - y) + x); }

bool IsWhite(const MapImage& image, int x, int y) { return Map_GetPixel(image, x, y) == kMapWhite; }

// A shift of a whole image width or more moves every pixel out (written without abs(), which overflows at INT_MIN).
bool ShiftsAllOut(int dx, int dy) {
    return dx <= -kMapSize || dx >= kMapSize || dy <= -kMapSize || dy >= kMapSize;
}

}  // namespace

void Map_Clear(MapImage& image) { image.fill(255); }

MapColor Map_GetPixel(const MapImage& image, int x, int y) {
    if (!Inside(x, y)) return kMapWhite;
    const int o = Offset(x, y);
    return {image[o], image[o + 1], image[o + 2]};
}

void Map_SetPixel(MapImage& image, int x, int y, MapColor color, bool blend) {
    if (!Inside(x, y)) return;
    const int o = Offset(x, y);
    if (blend) {
        image[o] = static_cast<std::uint8_t>((image[o] + color.r) / 2);
        image[o + 1] = static_cast<std::uint8_t>((image[o + 1] + color.g) / 2);
        image[o + 2] = static_cast<std::uint8_t>((image[o + 2] + color.b) / 2);
    } else {
        image[o] = color.r;
        image[o + 1] = color.g;
        image[o + 2] = color.b;
    }
}

void Map_DrawLine(MapImage& image, int x0, int y0, int x1, int y1, MapColor color, bool blend) {
    // Bresenham over the whole line; pixels outside the image are skipped by Map_SetPixel.
    // Coordinates far outside are clamped first so the walk stays short and cannot overflow.
    const int limit = 4 * kMapSize;
    x0 = std::clamp(x0, -limit, limit);
    y0 = std::clamp(y0, -limit, limit);
    x1 = std::clamp(x1, -limit, limit);
    y1 = std::clamp(y1, -limit, limit);
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        Map_SetPixel(image, x0, y0, color, blend);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Map_DrawDot(MapImage& image, int x, int y, MapColor color) {
    for (int row = y - 1; row <= y + 1; ++row) Map_DrawLine(image, x - 1, row, x + 1, row, color);
}

bool Map_CanShift(const MapImage& image, int dx, int dy) {
    if (ShiftsAllOut(dx, dy)) return false;
    // Old pixel (x, y) moves to (x - dx, y - dy): every pixel that would land outside must be white.
    for (int y = 0; y < kMapSize; ++y) {
        for (int x = 0; x < kMapSize; ++x) {
            if (Inside(x - dx, y - dy)) continue;
            if (!IsWhite(image, x, y)) return false;
        }
    }
    return true;
}

void Map_ZoomOut(MapImage& image) {
    MapImage result;
    Map_Clear(result);
    const int half = kMapSize / 2;
    for (int i = 0; i < half; ++i) {
        for (int j = 0; j < half; ++j) {
            // Per channel minimum of the 2 x 2 block, so dark track pixels survive the shrink.
            MapColor c = Map_GetPixel(image, 2 * i, 2 * j);
            for (int k = 1; k < 4; ++k) {
                const MapColor o = Map_GetPixel(image, 2 * i + (k & 1), 2 * j + (k >> 1));
                c = {std::min(c.r, o.r), std::min(c.g, o.g), std::min(c.b, o.b)};
            }
            Map_SetPixel(result, half / 2 + i, half / 2 + j, c);
        }
    }
    image = result;
}

void Map_Shift(MapImage& image, int dx, int dy) {
    MapImage result;
    Map_Clear(result);
    if (ShiftsAllOut(dx, dy)) {
        image = result;
        return;
    }
    for (int y = 0; y < kMapSize; ++y) {
        for (int x = 0; x < kMapSize; ++x) Map_SetPixel(result, x - dx, y - dy, Map_GetPixel(image, x, y));
    }
    image = result;
}
