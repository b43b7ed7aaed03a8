#pragma once
// The artwork of the KMZ export: the spot every placemark shows (a white disc
// that the placemark's icon colour tints), the logo overlay, and the colour bar
// beside the graph histograms.
#include <cstdint>
#include <vector>

enum KmzPicture { PICTURE_SPOT, PICTURE_LOGO, PICTURE_INTENSITY };

struct KmzPicturePixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // rows top to bottom; blue, green, red, alpha (the picture's mask)
};

// Draws a picture; false when it cannot be drawn (the logo needs fonts).
bool Pictures_Draw(KmzPicture picture, KmzPicturePixels& out);
