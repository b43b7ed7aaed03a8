#pragma once
// The names of a KMZ archive's entries, and so the references between them.
//
// Every entry lies in the archive's root, beside "doc.kml". A reference from
// one entry to another (a network link, an icon, a legend, a balloon image)
// is the bare name of its target, which is at the same time that entry's name
// from the root. Readers disagree on what a relative reference is resolved
// against: the document that holds it (the KML rule), the archive's main
// document, or nothing at all (a web globe looks the text up among the entry
// names). With a single folder all of them find the same entry, at any depth
// of links.
//
// Every name but "doc.kml" ends in the export stamp, which keeps the names of
// two exports apart.
#include <string>

#include "export/kmz/pictures.h"

inline constexpr const char* kKmzRootDocument = "doc.kml";

// "<prefix><channel>_<tile path>_<stamp>.kml": the placemarks of one layer.
std::string KmzEntry_Layer(int spotSize, int kind, int channel, const std::string& tilePath, const std::string& stamp);
// "root_<stamp>.kml": the folder tree and the links to the levels.
std::string KmzEntry_Navigation(const std::string& stamp);
// "doc_<stamp>.kml": the last entry, a copy of "doc.kml" for readers that open
// the last KML entry of the archive's root instead of the first.
std::string KmzEntry_RootCopy(const std::string& stamp);
// "V<channel>_<cell id>_<stamp>.bmp": a cell's value distribution.
std::string KmzEntry_ValueBitmap(int channel, const std::string& cellId, const std::string& stamp);
// "G<graph>_<cell id>_<stamp>.bmp": a cell's graph histogram.
std::string KmzEntry_GraphBitmap(int graph, const std::string& cellId, const std::string& stamp);
// "<prefix><channel>_<stamp>.bmp": the legend of one layer.
std::string KmzEntry_Legend(const std::string& layerPrefix, int channel, const std::string& stamp);
// "spot_<stamp>.bmp", "logo_<stamp>.bmp", "intensity_<stamp>.bmp".
std::string KmzEntry_Picture(KmzPicture picture, const std::string& stamp);
