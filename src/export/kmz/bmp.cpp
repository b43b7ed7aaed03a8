#include "export/kmz/bmp.h"

#include <algorithm>
#include <cstring>

namespace {

void PutUint16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutUint32(std::uint8_t* p, std::uint32_t v) {
    PutUint16(p, v);
    PutUint16(p + 2, v >> 16);
}

}  // namespace

bool Bmp_MakeHeader(int width, int bytesPerRow, int height, std::uint8_t header[kBmpHeaderBytes]) {
    if (width <= 0 || height <= 0) return false;
    if (bytesPerRow / 4 < width) return false;
    const std::int64_t imageSize = static_cast<std::int64_t>(bytesPerRow) * height;
    if (imageSize > INT32_MAX - kBmpHeaderBytes) return false;

    std::memset(header, 0, kBmpHeaderBytes);
    // file header
    header[0] = 'B';
    header[1] = 'M';
    PutUint32(header + 2, static_cast<std::uint32_t>(kBmpHeaderBytes + imageSize));
    PutUint32(header + 10, kBmpHeaderBytes);  // pixel offset; bytes 6..9 reserved, zero
    // information header; compression, resolutions and colour counts stay zero
    PutUint32(header + 14, 40);
    PutUint32(header + 18, static_cast<std::uint32_t>(width));
    PutUint32(header + 22, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
    PutUint16(header + 26, 1);                                   // planes
    PutUint16(header + 28, 32);                                  // bits per pixel
    PutUint32(header + 34, static_cast<std::uint32_t>(imageSize));
    return true;
}

void Bmp_ReverseRows(std::uint8_t* pixels, int bytesPerRow, int height) {
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(pixels + static_cast<std::size_t>(top) * bytesPerRow,
                         pixels + static_cast<std::size_t>(top + 1) * bytesPerRow,
                         pixels + static_cast<std::size_t>(bottom) * bytesPerRow);
    }
}
