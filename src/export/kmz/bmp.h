#pragma once
// Uncompressed 32-bit BMP layout of the archive's bitmap entries: a 14-byte
// file header and a 40-byte information header, all little-endian, then the
// pixel rows bottom row first (a positive height).
#include <cstdint>

constexpr int kBmpHeaderBytes = 54;

// Fills the two headers for width x height pixels of bytesPerRow bytes each.
// False (header untouched) unless width and height are positive, a row holds
// at least width four-byte pixels, and the image size fits the 32-bit fields.
bool Bmp_MakeHeader(int width, int bytesPerRow, int height, std::uint8_t header[kBmpHeaderBytes]);

// Reverses the order of the rows in place: row i swaps with row height - 1 - i.
void Bmp_ReverseRows(std::uint8_t* pixels, int bytesPerRow, int height);
