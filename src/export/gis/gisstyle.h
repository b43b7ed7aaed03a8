#pragma once
// QGIS styles that travel inside the data: QML documents as QGIS writes them,
// stored in the "layer_styles" table the way QGIS stores a layer's default
// style in a GeoPackage, so the layers open coloured without any setting.
#include <string>

// The cells: a categorized renderer on "class" with the KMZ map's colours
// (good green, acceptable yellow, poor red), insufficient grey and cells
// without threshold only outlined; the worst class is drawn last, so where
// the channels of a cell overlap its worst channel shows.
std::string Gis_CellsStyle();

// The samples: small dots, measured positions dark blue, filled-in positions
// grey.
std::string Gis_SamplesStyle();
