#pragma once
// The map bitmaps of the KMZ export: per cell the graph histograms and value
// distributions shown in balloons (drawn pixel by pixel), one legend per layer
// (drawn on an off-screen canvas), and the spot, logo and colour-bar pictures.
// All go into the archive as 32-bit BMP entries. Pixels are handed around as
// rows top to bottom, four bytes per pixel: blue, green, red, alpha.
// Colours are 24-bit values 0xRRGGBB.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "export/kmz/pictures.h"
#include "export/kmz/zipio.h"

constexpr int kGraphColumns = 200;
constexpr int kGraphRows = 100;
constexpr int kValueBins = 50;
constexpr int kValueRows = 20;
constexpr int kLegendWidth = 320;
constexpr int kLegendHeight = 100;
constexpr int kLegendSpots = 10;

// The ramp of the graph histograms and of the colour bar beside them.
constexpr std::uint32_t kRampBlue = 0x3232FF;
constexpr std::uint32_t kRampGreen = 0x32FF32;
constexpr std::uint32_t kRampRed = 0xFF3232;

// The two-colour blend of the export: each channel the integer part of
// c1 + f (c2 - c1) + 0.5, with f clamped to 0..1.
std::uint32_t Bitmaps_Blend(std::uint32_t from, std::uint32_t to, double fraction);

// Graph histogram of a cell: counters holds kGraphRows x kGraphColumns
// counters, row 0 at the top, maximum is their largest. pixels receives
// kGraphColumns x kGraphRows pixels (alpha 0). False when counters has another size.
bool Bitmaps_DrawGraphHistogram(std::span<const std::int32_t> counters, std::int32_t maximum,
                                std::uint8_t* pixels);
// Writes KmzEntry_GraphBitmap (entrynames.h).
bool Bitmaps_WriteGraphHistogram(KmzArchive& archive, int graphChannel, const char* cellId, const char* stamp,
                                 std::span<const std::int32_t> counters, std::int32_t maximum);

// The class colour of a value on a channel's colour scale.
using KmzColourOf = std::function<std::uint32_t(double value)>;

// Value distribution of a cell: kValueBins bin counts with their maximum, the
// cell's worst and best value; a column of bin c is coloured as the value
// worst + c (best - worst) / 49. pixels receives kValueBins x kValueRows
// pixels (alpha 0). False when bins has another size.
bool Bitmaps_DrawValueDistribution(std::span<const std::int32_t> bins, std::int32_t maximum, double worst,
                                   double best, const KmzColourOf& colourOf, std::uint8_t* pixels);
// Writes KmzEntry_ValueBitmap.
bool Bitmaps_WriteValueDistribution(KmzArchive& archive, int valueChannel, const char* cellId, const char* stamp,
                                    std::span<const std::int32_t> bins, std::int32_t maximum, double worst,
                                    double best, const KmzColourOf& colourOf);

// Writes KmzEntry_Picture: the spot, the logo or the colour bar.
bool Bitmaps_WritePicture(KmzArchive& archive, KmzPicture picture, const char* stamp);

// The texts of one legend; all Latin-1.
struct KmzLegendText {
    std::string outputName;   // shown without its folder
    std::string kindTitle;    // "Worst", "Average", "Best"
    std::string channelName;  // display name with unit, "Speed [km/h]" for channel 0
    double bad = 0.0;
    double average = 0.0;
    double good = 0.0;
    int decimals = 1;
    bool showAverage = true;  // false for rating kind 3
};

struct KmzLegendImages;  // the Qt images behind the canvas (bitmaps.cpp)

// The spot strip and the legend canvas with its pixel buffer, made once for
// all legends of a conversion.
struct KmzLegendCanvas {
    std::unique_ptr<KmzLegendImages> images;
    std::vector<std::uint8_t> pixels;  // kLegendWidth x kLegendHeight x 4 bytes

    KmzLegendCanvas();
    ~KmzLegendCanvas();
    KmzLegendCanvas(const KmzLegendCanvas&) = delete;
    KmzLegendCanvas& operator=(const KmzLegendCanvas&) = delete;
};

// Draws the ten sample spots (the class colours of the values 0..9 on the
// scale bad 0, average 4.5, good 9) and prepares the canvas. False when
// there are not ten colours or no fonts can be had.
bool Bitmaps_LegendBegin(KmzLegendCanvas& canvas, std::span<const std::uint32_t> spotColours);
// Draws one legend into canvas.pixels (alpha 255); spotSize 0, 1 or 2.
bool Bitmaps_DrawLegend(KmzLegendCanvas& canvas, const KmzLegendText& text, int spotSize);
// Draws and writes KmzEntry_Legend.
bool Bitmaps_WriteLegend(KmzArchive& archive, KmzLegendCanvas& canvas, const char* layerPrefix, int channel,
                         const char* stamp, const KmzLegendText& text, int spotSize);
