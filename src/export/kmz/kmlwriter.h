#pragma once
// The KML documents of the map cells: balloon-style documents with the HTML
// tables of every cell, and the layer documents with one coloured placemark
// per cell. Every writer returns false when an archive write fails or when
// the user cancelled (tested between cells).
#include <string>
#include <vector>

#include "export/kmz/kmzexport.h"

// One style "BS_<index>" with the cell's balloon.
std::string Kml_BalloonStyle(const KmzExport& ex, int index, const MapCell& cell);
bool writeBalloonStyle(KmzExport& ex, int index, const MapCell& cell);

// "files/D_<tile path>_<stamp>.kml" with the styles of the cells that need
// one of their own (index = position in the list, from 1); no entry when every
// cell reuses a style.
bool writeStyleDocument(KmzExport& ex, const std::string& tilePath, const std::vector<MapCell>& cells);

// The placemark colour in KML order: alpha ("80" with interpolated positions,
// else "ff"), then blue, green, red; "c0c0c0" without a valid value.
std::string Kml_PlacemarkColour(const KmzExport& ex, const MapCell& cell, int kind, int channel);

// The folder of placemarks of one layer; region is empty for none.
bool writePlacemarkFolder(KmzExport& ex, const std::string& region, int spotSize, int kind, int channel,
                          const std::string& tilePath, const std::vector<MapCell>& cells);

// A whole layer document "files/<prefix><channel>_<tile path>_<stamp>.kml":
// header with documentName ("Doc ..."), links (ready KML text), the placemark
// folder with region, footer.
bool Kml_WriteLayerDocument(KmzExport& ex, int spotSize, int kind, int channel, const std::string& tilePath,
                            const std::string& documentName, const std::string& links, const std::string& region,
                            const std::vector<MapCell>& cells);

// Entry names of the archive.
std::string Kml_StyleEntry(const std::string& tilePath, const std::string& stamp);
std::string Kml_LayerFile(int spotSize, int kind, int channel, const std::string& tilePath, const std::string& stamp);

// Spot sizes: folder names, icon scales and placemark altitudes.
const char* Kml_SpotName(int spotSize);
double Kml_SpotScale(int spotSize);
double Kml_SpotAltitude(int spotSize);
// Value kinds: folder names and legend titles.
const char* Kml_KindName(int kind);
const char* Kml_KindTitle(int kind);
