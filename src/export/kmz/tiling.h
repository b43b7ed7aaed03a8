#pragma once
// Region tiling of the KMZ map: a pyramid of square grids over the map area.
// A few coarse levels each cover the whole area; below them a quadtree of
// tiles holds the finer cells, each tile's documents loaded by the globe
// viewer only when its region is large enough on screen. Every cell that
// holds samples becomes one placemark per layer.
#include <array>
#include <string>
#include <vector>

#include "export/kmz/kmzexport.h"

using KmzQuadrantLists = std::array<std::vector<MapCell>, 4>;  // north-west, north-east, south-west, south-east

// The root cell: every sample with a position, over the whole area, id L zeros.
MapCell Kmz_RootCell(const KmzExport& ex);

// Splits a cell list whose grid is gridSize x gridSize into the four quadrant
// lists of the next level, aggregating every cell that has no style to reuse.
// The cells keep their figures; their sample lists are released.
bool Kmz_SplitCells(KmzExport& ex, std::vector<MapCell>& cells, int gridSize, KmzQuadrantLists& out);

// Conversion step 1: the coarse levels 0..K-1, starting from the root cell.
// next receives the cell list of level K for the tile tree.
bool Kmz_WriteCoarseLevels(KmzExport& ex, std::vector<MapCell>& next);

// Conversion step 2: the tile with its documents, then its children.
bool Kmz_WriteTileTree(KmzExport& ex, const MapArea& area, const std::string& tileId, std::vector<MapCell>& cells);

// The links of one layer of the navigation document: to the detail tree's
// root tile (when there is one) and to every coarse level.
std::string Kmz_NavigationLinks(const KmzExport& ex, int spotSize, int kind, int channel);
