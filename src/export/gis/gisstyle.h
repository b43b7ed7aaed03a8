#pragma once
// QGIS styles that travel inside the data: QML documents as QGIS writes them,
// stored in the "layer_styles" table the way QGIS stores a layer's default
// style in a GeoPackage, so the layers open coloured without any setting.
#include <cstdint>
#include <string>

#include "coverage/cellstats.h"

// The cells: a categorized renderer on "class" with the KMZ map's colours
// (good green, acceptable yellow, poor red), insufficient grey and cells
// without threshold only outlined; the worst class is drawn last, so where
// the channels of a cell overlap its worst channel shows.
std::string Gis_CellsStyle();

// The samples: small dots, measured positions dark blue, filled-in positions
// grey.
std::string Gis_SamplesStyle();

// The fill of a class as the cells style draws it (0xRRGGBB): the KMZ map's
// good, average and bad colours, insufficient grey; cells without threshold
// are only outlined (Gis_OutlineColour). Every picture of the classes uses these.
std::uint32_t Gis_ClassColour(CoverageClass c);
std::uint32_t Gis_OutlineColour();
// The opacity of the filled classes (QGIS draws them over its map).
inline constexpr double kGisClassOpacity = 0.75;
// The samples: measured positions, filled-in positions.
std::uint32_t Gis_SampleColour(bool filledIn);
