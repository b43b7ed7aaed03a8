// Region tiling: the square area, the depth of the pyramid, cell and tile
// naming, the split rules, and the documents and links of the coarse levels
// and the tile tree.
#include <gtest/gtest.h>

#include <cmath>

#include "export/kmz/kmlwriter.h"
#include "export/kmz/tiling.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

KmzDataSet OnePoint(int samples) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    for (int i = 0; i < samples; ++i) AddSample(d, {.latitude = 48.0, .longitude = 11.0, .values = {30.0 + i}});
    return d;
}

std::string WriteArchive(KmzDataSet& d, const std::string& path, KmzScope scope, KmzWriteResult* out = nullptr) {
    MapArea area;
    std::string message;
    EXPECT_TRUE(Kmz_CheckLoaded(d, KmzLoadOutcome::Loaded, message, area)) << message;
    const KmzWriteResult r = Kmz_WriteArchive(d, Request(d, path, scope), area, nullptr, {});
    EXPECT_EQ(r.outcome, KmzOutcome::Success) << r.message;
    if (out) *out = r;
    return path;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(KmzArea, SamplesAtOnePointMakeAMetreSquareAndTheShallowestPyramid) {
    const MapArea a = MapArea_OfSamples(11.0, 11.0, 48.0, 48.0);
    EXPECT_NEAR(a.side, 0.00111, 0.00001);  // km
    EXPECT_DOUBLE_EQ(a.latitudeExtent, kKmzMinExtent);
    EXPECT_GT(a.longitudeExtent, kKmzMinExtent);  // widened to a square at 48 degrees north
    const KmzDepth depth = MapArea_Depth(a.side, 10.0);
    EXPECT_EQ(depth.levels, 1);
    EXPECT_EQ(depth.coarseLevels, 2);
    EXPECT_EQ(depth.rootTileId, "");
}

TEST(KmzArea, CrossingThe180DegreeMeridianKeepsTheAreaSmall) {
    const MapArea a = MapArea_OfSamples(-179.99, 179.98, -17.0, -16.99);
    EXPECT_NEAR(a.longitudeExtent, 0.03, 1e-9);
    EXPECT_NEAR(a.centreLongitude, 179.995, 1e-9);
    EXPECT_LT(a.side, 5.0);
    const MapBounds b = MapArea_Bounds(a);
    EXPECT_NEAR(b.west, 179.98, 1e-9);
    EXPECT_NEAR(b.east, -179.99, 1e-9);  // east of the meridian: negative
    // A point just east of the meridian lies in the eastern half.
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    AddSample(d, {.latitude = -16.991, .longitude = -179.99, .values = {1}});
    AddSample(d, {.latitude = -16.991, .longitude = 179.98, .values = {2}});
    TempDir dir;
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(dir.file("m.kmz").c_str(), kKmzBufferCapacity, archive, kKmzDeflateInline));
    KmzScope scope = KmzScope_Default(d);
    KmzEntrySink sink(archive, false);
    KmzExport ex(sink, d, scope);
    ex.area = a;
    ex.depth = MapArea_Depth(a.side, 10.0);
    KmzExport_Prepare(ex);
    std::vector<MapCell> cells{Kmz_RootCell(ex)};
    KmzQuadrantLists out;
    ASSERT_TRUE(Kmz_SplitCells(ex, cells, 1, out));
    ASSERT_EQ(out[0].size(), 1u);  // north-west: 179.98
    ASSERT_EQ(out[1].size(), 1u);  // north-east: -179.99
    EXPECT_EQ(out[1][0].samples, std::vector<std::int32_t>{0});
}

TEST(KmzArea, DepthLimits) {
    struct Case {
        double sideKm, zoom;
        int levels, coarse;
        std::size_t rootLength;
    };
    const Case cases[] = {
        {0.5, 10.0, 5, 6, 0},        // L + 1 <= 6: no detail tree
        {0.65, 10.0, 6, 6, 1},       // 65 cells: one more level than the coarse ones hold
        {100000.0, 2.5, 25, 6, 20},  // capped at 25
        {0.0005, 160.0, 1, 2, 0},    // at least 1
    };
    for (const auto& c : cases) {
        const KmzDepth d = MapArea_Depth(c.sideKm, c.zoom);
        EXPECT_EQ(d.levels, c.levels) << c.sideKm;
        EXPECT_EQ(d.coarseLevels, c.coarse) << c.sideKm;
        EXPECT_EQ(d.rootTileId, std::string(c.rootLength, '0')) << c.sideKm;
    }
}

TEST(KmzTileNames, StyleDocumentsProgressAndChildren) {
    EXPECT_EQ(MapArea_ChildId("0000", '6'), "6000");
    EXPECT_EQ(MapArea_ChildId("2480", '8'), "2488");
    EXPECT_EQ(MapArea_ChildId("2468", '2'), "2468");
    EXPECT_EQ(MapArea_LevelPath("000", 2), "000-000");
    EXPECT_EQ(MapArea_LevelPath("", 0), "-0");
    struct Case {
        const char *cell, *root, *doc;
    };
    const Case cases[] = {
        {"00000000", "000", "000-0"},      // the root: coarse level 0
        {"24600000", "000", "000-0000"},   // three digits set: coarse level 3
        {"24682400", "000", "000"},        // six digits: the root tile
        {"24682460", "000", "200"},        // seven: the tile named by its first digit
        {"40", "", "-00"},                 // one-point area: level 1
    };
    for (const auto& c : cases) EXPECT_EQ(MapArea_StyleDocOf(c.cell, c.root), c.doc) << c.cell;
    EXPECT_EQ(MapArea_TileProgress("000"), 0);
    EXPECT_EQ(MapArea_TileProgress("200"), 20);   // 25 of 124
    EXPECT_EQ(MapArea_TileProgress("888"), 100);
}

TEST(KmzSplit, CentreLineSamplesGoNorthEastAndGridPlacesFollowTheParent) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    AddSample(d, {.latitude = 48.0, .longitude = 11.0, .values = {1}});  // exactly the centre
    AddSample(d, {.latitude = 47.9, .longitude = 10.9, .values = {2}});  // south-west
    TempDir dir;
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(dir.file("s.kmz").c_str(), kKmzBufferCapacity, archive, kKmzDeflateInline));
    KmzScope scope = KmzScope_Default(d);
    KmzEntrySink sink(archive, false);
    KmzExport ex(sink, d, scope);
    ex.stamp = "S";
    ex.depth = {4, 5, ""};
    KmzExport_Prepare(ex);
    MapCell parent;
    parent.area = {10.0, 1.0, 1.0, 11.0, 48.0};
    parent.cellId = "2000";
    parent.x = 2;  // the north-east quarter of a 2 x 2 grid
    parent.y = 1;
    parent.samples = {0, 1};
    std::vector<MapCell> cells{parent};
    KmzQuadrantLists out;
    ASSERT_TRUE(Kmz_SplitCells(ex, cells, 2, out));
    EXPECT_TRUE(out[0].empty() && out[2].empty() && out[3].empty());
    ASSERT_EQ(out[1].size(), 2u);  // both children go to the parent's quadrant list, north-east first
    EXPECT_EQ(out[1][0].cellId, "2400");
    EXPECT_EQ(out[1][0].samples, std::vector<std::int32_t>{0});
    EXPECT_EQ(out[1][0].x, 2);
    EXPECT_EQ(out[1][0].y, 1);
    EXPECT_EQ(out[1][1].cellId, "2600");
    EXPECT_EQ(out[1][1].x, 1);
    EXPECT_EQ(out[1][1].y, 2);
    EXPECT_DOUBLE_EQ(out[1][0].area.centreLongitude, 11.25);
    EXPECT_DOUBLE_EQ(out[1][0].area.centreLatitude, 48.25);
    EXPECT_TRUE(cells[0].aggregated);
    EXPECT_TRUE(cells[0].samples.empty());  // released
}

TEST(KmzSplit, AChildHoldingAllSamplesReusesItsParentsStyle) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    AddSample(d, {.latitude = 47.9, .longitude = 10.9, .values = {1}});
    AddSample(d, {.latitude = 47.8, .longitude = 10.8, .values = {2}});
    TempDir dir;
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(dir.file("s.kmz").c_str(), kKmzBufferCapacity, archive, kKmzDeflateInline));
    KmzScope scope = KmzScope_Default(d);
    KmzEntrySink sink(archive, false);
    KmzExport ex(sink, d, scope);
    ex.stamp = "S";
    ex.depth = {4, 5, ""};
    KmzExport_Prepare(ex);
    MapCell other, parent, inherited;
    other.cellId = parent.cellId = inherited.cellId = "2000";
    other.area = parent.area = inherited.area = {10.0, 1.0, 1.0, 11.0, 48.0};
    parent.samples = {0, 1};
    inherited.samples = {0, 1};
    inherited.styleDoc = "-00";
    inherited.styleIndex = 7;
    std::vector<MapCell> cells{other, parent, inherited};  // the parent is second in its list
    KmzQuadrantLists out;
    ASSERT_TRUE(Kmz_SplitCells(ex, cells, 1, out));
    ASSERT_EQ(out[2].size(), 2u);
    const MapCell& child = out[2][0];
    EXPECT_EQ(child.cellId, "2600");
    EXPECT_EQ(child.styleDoc, "-00");  // the parent's coarse level 1
    EXPECT_EQ(child.styleIndex, 2);
    EXPECT_FALSE(child.aggregated);
    EXPECT_EQ(child.sampleCount, 2);
    EXPECT_DOUBLE_EQ(child.statistics[1].best, 2.0);
    const MapCell& grandchild = out[2][1];  // of a parent that reused a style itself
    EXPECT_EQ(grandchild.styleDoc, "-00");
    EXPECT_EQ(grandchild.styleIndex, 7);
    EXPECT_FALSE(cells[2].aggregated);  // a cell with a style to reuse is not aggregated again
}

TEST(KmzTiling, OnePointArchiveHasTwoLevelsAndTheChildReusesTheRootStyle) {
    KmzDataSet d = OnePoint(3);
    TempDir dir;
    WriteArchive(d, dir.file("p.kmz"), KmzScope_Default(d));
    const auto entries = ReadArchive(dir.file("p.kmz"));
    ASSERT_FALSE(entries.empty());
    EXPECT_NE(Find(entries, "files/D_-0_0123456789ABCDEF.kml"), nullptr);
    EXPECT_EQ(Find(entries, "files/D_-00_0123456789ABCDEF.kml"), nullptr);  // every cell reuses its parent's style
    const Entry* level1 = Find(entries, "files/BW1_-00_0123456789ABCDEF.kml");
    ASSERT_NE(level1, nullptr);
    EXPECT_NE(level1->bytes.find("<styleUrl>D_-0_0123456789ABCDEF.kml#BS_1</styleUrl>"), std::string::npos);
    // The one cell of level 1 is the north-east child of the root.
    EXPECT_NE(level1->bytes.find("<Placemark id=\"-00_1_(4)_0123456789ABCDEF\">"), std::string::npos);

    const Entry* nav = Find(entries, "files/root_0123456789ABCDEF.kml");
    ASSERT_NE(nav, nullptr);
    const std::string& n = nav->bytes;
    const std::size_t link0 = n.find("<href>BW1_-0_0123456789ABCDEF.kml</href>");
    const std::size_t link1 = n.find("<href>BW1_-00_0123456789ABCDEF.kml</href>");
    ASSERT_NE(link0, std::string::npos);
    ASSERT_NE(link1, std::string::npos);
    // Level 0 from -1 to 40 pixels, the last level from 40 pixels without end.
    EXPECT_NE(n.rfind("<minLodPixels>-1</minLodPixels>\n<maxLodPixels>40</maxLodPixels>", link0), std::string::npos);
    const std::string last = "<Lod><minLodPixels>40</minLodPixels>\n<maxLodPixels>-1</maxLodPixels>";
    EXPECT_EQ(n.substr(n.rfind("<Lod>", link1), last.size()), last);
    // Two links per layer (speed and MER, three spot sizes): no link to a detail tree.
    EXPECT_EQ(Count(n, "<NetworkLink>"), 12);
    EXPECT_TRUE(UnresolvedLinks(entries).empty());
    EXPECT_TRUE(XmlProblems(entries).empty()) << XmlProblems(entries);
}

TEST(KmzTiling, DetailTreeTilesLinkTheirChildrenAndLeavesHaveNoUpperLimit) {
    // Samples on a diagonal of about 3 km: L = 7 at 10 m, so a root tile "00" and tiles of one more level.
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    for (int i = 0; i < 200; ++i)
        AddSample(d, {.latitude = 48.0 + i * 0.0001, .longitude = 11.0 + i * 0.00015, .values = {20.0 + i % 7}});
    TempDir dir;
    KmzScope scope = KmzScope_Default(d);
    scope.kinds = {true, true, false};
    WriteArchive(d, dir.file("t.kmz"), scope);
    const auto entries = ReadArchive(dir.file("t.kmz"));
    const MapArea a = MapArea_OfDataSet(d);
    const KmzDepth depth = MapArea_Depth(a.side, 10.0);
    ASSERT_EQ(depth.rootTileId, "00");
    const Entry* root = Find(entries, "files/SA1_00_0123456789ABCDEF.kml");
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root->bytes.find("<name>Doc SA1_00</name>"), std::string::npos);
    // The diagonal runs south-west to north-east: only those two child tiles exist.
    EXPECT_EQ(Count(root->bytes, "<NetworkLink>"), 2);
    EXPECT_NE(root->bytes.find("<href>SA1_60_0123456789ABCDEF.kml</href>"), std::string::npos);
    EXPECT_NE(root->bytes.find("<href>SA1_40_0123456789ABCDEF.kml</href>"), std::string::npos);
    EXPECT_NE(root->bytes.find("<minLodPixels>1280</minLodPixels>\n<maxLodPixels>2560</maxLodPixels>"), std::string::npos);
    const Entry* leaf = Find(entries, "files/SA1_40_0123456789ABCDEF.kml");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(Count(leaf->bytes, "<NetworkLink>"), 0);
    EXPECT_NE(leaf->bytes.find("<minLodPixels>1280</minLodPixels>\n<maxLodPixels>-1</maxLodPixels>"), std::string::npos);
    EXPECT_EQ(Find(entries, "files/SA1_20_0123456789ABCDEF.kml"), nullptr);
    // Every tile is written after the pictures, style document first.
    std::size_t intensity = 0, style = 0, layer = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == "files/intensity_0123456789ABCDEF.bmp") intensity = i;
        if (entries[i].name == "files/D_40_0123456789ABCDEF.kml") style = i;
        if (entries[i].name == "files/BW0_40_0123456789ABCDEF.kml") layer = i;
    }
    EXPECT_LT(intensity, style);
    EXPECT_LT(style, layer);
    EXPECT_TRUE(UnresolvedLinks(entries).empty());
    EXPECT_TRUE(UnresolvedImages(entries).empty());
}
