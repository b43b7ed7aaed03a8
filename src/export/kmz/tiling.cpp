#include "export/kmz/tiling.h"

#include <algorithm>

#include "export/kmz/aggregation.h"
#include "export/kmz/entrynames.h"
#include "export/kmz/kmltext.h"
#include "export/kmz/kmlwriter.h"
#include "platform/text.h"

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(500);
constexpr int kTileMinPixels = kKmzCellPixels * kKmzTileGrid;       // 1280
constexpr int kTileMaxPixels = 2 * kKmzCellPixels * kKmzTileGrid;   // 2560

// Quadrant of a position relative to an area's centre; ties go east and north.
int QuadrantOf(const KmzSample& s, const MapArea& area) {
    const bool east = MapArea_Wrap(s.longitude - area.centreLongitude) >= 0.0;
    const bool north = s.latitude - area.centreLatitude >= 0.0;
    return (north ? 0 : 2) + (east ? 1 : 0);
}

void Progress(KmzExport& ex, int percent, bool always) {
    if (!ex.view) return;
    const auto now = std::chrono::steady_clock::now();
    if (!always && now - ex.lastProgress < kProgressInterval) return;
    ex.lastProgress = now;
    ex.view->setWriteProgress(percent);
}

template <typename Layer>
bool ForEachLayer(const KmzExport& ex, Layer layer) {
    for (int spot = 0; spot < kKmzSpotSizes; ++spot)
        for (int kind = 0; kind < kKmzKinds; ++kind) {
            if (!ex.scope.kinds[static_cast<std::size_t>(kind)]) continue;
            for (int channel : ex.channels)
                if (!layer(spot, kind, channel)) return false;
        }
    return true;
}

bool IsLeafTile(const std::string& tileId) {
    const std::size_t zero = tileId.find('0');
    return zero == std::string::npos || zero + 1 == tileId.size();
}

}  // namespace

MapCell Kmz_RootCell(const KmzExport& ex) {
    MapCell root;
    for (std::size_t i = 0; i < ex.data.samples.size(); ++i)
        if (ex.data.samples[i].position != kKmzNoPosition) root.samples.push_back(static_cast<std::int32_t>(i));
    root.area = ex.area;
    root.cellId.assign(static_cast<std::size_t>(ex.depth.levels), '0');
    return root;
}

bool Kmz_SplitCells(KmzExport& ex, std::vector<MapCell>& cells, int gridSize, KmzQuadrantLists& out) {
    for (auto& list : out) list.clear();
    const int half = gridSize / 2;
    for (std::size_t n = 0; n < cells.size(); ++n) {
        if (ex.isCancelled()) return false;
        MapCell& parent = cells[n];
        if (parent.samples.empty()) continue;
        if (parent.styleDoc.empty() && !aggregateCell(ex, parent)) return false;
        if (parent.cellId.find('0') == std::string::npos) {
            parent.samples = {};
            continue;
        }

        std::array<MapCell, 4> children;
        for (int q = 0; q < 4; ++q) {
            children[q].area = MapArea_Quadrant(parent.area, q);
            children[q].cellId = MapArea_ChildId(parent.cellId, kKmzQuadrants[q]);
        }
        int list = 0;
        if (gridSize > 1) {
            const bool east = parent.x > half, south = parent.y > half;
            list = (south ? 2 : 0) + (east ? 1 : 0);
            const int x0 = east ? 2 * (parent.x - half) - 1 : 2 * parent.x - 1;
            const int y0 = south ? 2 * (parent.y - half) - 1 : 2 * parent.y - 1;
            for (int q = 0; q < 4; ++q) {
                children[q].x = x0 + q % 2;
                children[q].y = y0 + q / 2;
            }
        }
        for (std::int32_t index : parent.samples)
            children[QuadrantOf(ex.data.samples[static_cast<std::size_t>(index)], parent.area)].samples.push_back(index);

        for (int q = 0; q < 4; ++q) {
            MapCell& child = children[q];
            if (child.samples.size() != parent.samples.size()) continue;
            // All samples went one way: the child shows exactly its parent's figures
            // and balloon, which its documents repeat, so they need no other document.
            child.statistics = parent.statistics;
            child.graphValidity = parent.graphValidity;
            child.parameterValidity = parent.parameterValidity;
            child.parameterTexts = parent.parameterTexts;
            child.status = parent.status;
            child.sampleCount = parent.sampleCount;
            child.interpolated = parent.interpolated;
            if (!parent.styleDoc.empty()) {
                child.styleDoc = parent.styleDoc;
                child.styleIndex = parent.styleIndex;
                child.styleCell = parent.styleCell;
            } else {
                child.styleDoc = MapArea_StyleDocOf(parent.cellId, ex.depth.rootTileId);
                child.styleIndex = static_cast<int>(n + 1);
                child.styleCell = parent.cellId;
            }
        }
        parent.samples = {};
        for (int q = 0; q < 4; ++q) {
            if (children[q].samples.empty()) continue;
            out[static_cast<std::size_t>(gridSize > 1 ? list : q)].push_back(std::move(children[q]));
        }
    }
    return true;
}

bool Kmz_WriteCoarseLevels(KmzExport& ex, std::vector<MapCell>& next) {
    std::vector<MapCell> level;
    level.push_back(Kmz_RootCell(ex));
    const int coarse = ex.depth.coarseLevels;
    KmzQuadrantLists out;
    for (int k = 0; k < coarse; ++k) {
        const int grid = 1 << k;
        if (!Kmz_SplitCells(ex, level, grid, out)) return false;
        next.clear();
        for (int q = 0; q < 4; ++q)
            for (MapCell& cell : out[static_cast<std::size_t>(q)]) {
                if (q % 2 == 1) cell.x += grid;
                if (q >= 2) cell.y += grid;
                next.push_back(std::move(cell));
            }
        const std::string path = MapArea_LevelPath(ex.depth.rootTileId, k);
        std::string styles;
        const bool formatted = Kml_FormatDocumentStyles(ex, level, kKmlStylesBudget, styles);
        const bool written = ForEachLayer(ex, [&](int spot, int kind, int channel) {
            const std::string name =
                Text_Format("Doc %s%d_%s_%s", Kmz_LayerPrefix(spot, kind).c_str(), channel, path.c_str(), ex.stamp.c_str());
            return Kml_WriteLayerDocument(ex, spot, kind, channel, path, name, formatted ? &styles : nullptr, "", "",
                                          level);
        });
        if (!written) return false;
        level = std::move(next);
        next.clear();
        Progress(ex, (k + 1) * 100 / coarse, true);
    }
    next = std::move(level);
    return true;
}

bool Kmz_WriteTileTree(KmzExport& ex, const MapArea& area, const std::string& tileId, std::vector<MapCell>& cells) {
    KmzQuadrantLists out;
    if (!Kmz_SplitCells(ex, cells, kKmzTileGrid, out)) return false;
    const bool leaf = IsLeafTile(tileId);
    const std::string region = formatRegion(area, kTileMinPixels, leaf ? -1 : kTileMaxPixels);
    std::string styles;
    const bool formatted = Kml_FormatDocumentStyles(ex, cells, kKmlStylesBudget, styles);
    const bool written = ForEachLayer(ex, [&](int spot, int kind, int channel) {
        std::string links;
        if (!leaf)
            for (int q = 0; q < 4; ++q) {
                if (out[static_cast<std::size_t>(q)].empty()) continue;
                const std::string child = MapArea_ChildId(tileId, kKmzQuadrants[q]);
                links += formatNetworkLink("", MapArea_Quadrant(area, q), kTileMinPixels, -1,
                                           KmzEntry_Layer(spot, kind, channel, child, ex.stamp));
            }
        const std::string name = Text_Format("Doc %s%d_%s", Kmz_LayerPrefix(spot, kind).c_str(), channel, tileId.c_str());
        return Kml_WriteLayerDocument(ex, spot, kind, channel, tileId, name, formatted ? &styles : nullptr, links, region,
                                      cells);
    });
    if (!written) return false;
    cells = {};
    Progress(ex, MapArea_TileProgress(tileId), false);
    for (int q = 0; q < 4; ++q) {
        auto& list = out[static_cast<std::size_t>(q)];
        if (list.empty()) continue;
        if (!Kmz_WriteTileTree(ex, MapArea_Quadrant(area, q), MapArea_ChildId(tileId, kKmzQuadrants[q]), list))
            return false;
        list = {};
    }
    return true;
}

std::string Kmz_NavigationLinks(const KmzExport& ex, int spotSize, int kind, int channel) {
    std::string links;
    const std::string& root = ex.depth.rootTileId;
    if (!root.empty()) links += formatNetworkLink("", ex.area, -1, -1, KmzEntry_Layer(spotSize, kind, channel, root, ex.stamp));
    const int coarse = ex.depth.coarseLevels;
    for (int k = 0; k < coarse; ++k) {
        const int minPixels = k == 0 ? -1 : kKmzCellPixels << k;
        const int maxPixels = k == coarse - 1 && root.empty() ? -1 : kKmzCellPixels << (k + 1);
        links += formatNetworkLink("", ex.area, minPixels, maxPixels,
                                   KmzEntry_Layer(spotSize, kind, channel, MapArea_LevelPath(root, k), ex.stamp));
    }
    return links;
}
