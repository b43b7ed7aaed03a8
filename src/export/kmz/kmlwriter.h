#pragma once
// The KML documents of the map cells: balloon-style documents with the HTML
// tables of every cell, and the layer documents with one coloured placemark
// per cell. Every writer returns false when an archive write fails or when
// the user cancelled (tested between cells).
#include <string>
#include <vector>

#include "export/kmz/kmzexport.h"

// Every layer document holds the balloon styles of its own placemarks, so
// that each document stands alone: a globe that reads documents one by one
// (a web globe resolves a style in another document outside the archive)
// shows the same balloons as one that reads the whole archive.
//
// The style id of the cell at position (from 1) of its list: "BS_<position>"
// for a style of its own, "D_<styleDoc>_BS_<styleIndex>" for the balloon of an
// ancestor, named after where that style appears first.
std::string Kml_StyleId(const MapCell& cell, int position);
// Whether the cell has a placemark (and so a style): figures of its own or inherited.
bool Kml_HasPlacemark(const MapCell& cell);

// One style with the cell's balloon.
std::string Kml_BalloonStyle(const KmzExport& ex, const std::string& id, const MapCell& cell);
bool writeBalloonStyle(KmzExport& ex, const std::string& id, const MapCell& cell);

// The styles of every placemark of the list, once each, into the open document.
bool writeDocumentStyles(KmzExport& ex, const std::vector<MapCell>& cells);

// The same styles as one text, formatted once for all the layer documents of
// a level or tile; false (and text empty) when it would pass budget bytes, and
// each document then formats its own.
bool Kml_FormatDocumentStyles(const KmzExport& ex, const std::vector<MapCell>& cells, std::size_t budget,
                              std::string& text);
constexpr std::size_t kKmlStylesBudget = 32u << 20;

// The placemark colour in KML order: alpha ("80" with interpolated positions,
// else "ff"), then blue, green, red; "c0c0c0" without a valid value.
std::string Kml_PlacemarkColour(const KmzExport& ex, const MapCell& cell, int kind, int channel);

// The folder of placemarks of one layer; region is empty for none.
bool writePlacemarkFolder(KmzExport& ex, const std::string& region, int spotSize, int kind, int channel,
                          const std::string& tilePath, const std::vector<MapCell>& cells);

// A whole layer document KmzEntry_Layer (entrynames.h):
// header with documentName ("Doc ..."), the styles of its placemarks (styles:
// as Kml_FormatDocumentStyles made them, or null to format them here), links
// (ready KML text), the placemark folder with region, footer.
bool Kml_WriteLayerDocument(KmzExport& ex, int spotSize, int kind, int channel, const std::string& tilePath,
                            const std::string& documentName, const std::string* styles, const std::string& links,
                            const std::string& region, const std::vector<MapCell>& cells);

// Spot sizes: folder names, icon scales and placemark altitudes.
const char* Kml_SpotName(int spotSize);
double Kml_SpotScale(int spotSize);
double Kml_SpotAltitude(int spotSize);
// Value kinds: folder names and legend titles.
const char* Kml_KindName(int kind);
const char* Kml_KindTitle(int kind);
