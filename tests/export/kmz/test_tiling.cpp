// Region tiling: the square area, the depth of the pyramid, cell and tile
// naming, the split rules, and the documents and links of the coarse levels
// and the tile tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "export/kmz/kmlwriter.h"
#include "export/kmz/tiling.h"
#include "records/fileio.h"
#include "records/recordfixture.h"
#include "synthrecord.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

KmzDataSet OnePoint(int samples) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    for (int i = 0; i < samples; ++i) AddSample(d, {.latitude = 48.0, .longitude = 11.0, .values = {30.0 + i}});
    return d;
}

std::string WriteArchive(KmzDataSet& d, const std::string& path, KmzScope scope, KmzWriteResult* out = nullptr) {
    const MapArea area = CheckedArea(d);
    const KmzWriteResult r = Kmz_WriteArchive(d, Request(d, path, scope), area, nullptr, {});
    EXPECT_EQ(r.outcome, KmzOutcome::Success) << r.message;
    if (out) *out = r;
    return path;
}

// The longitudes of the samples recorded with a fix, as the record file holds them.
std::vector<double> RecordedLongitudes(const std::string& path) {
    RecordFile file;
    std::vector<RecordSample> samples;
    std::vector<double> out;
    ReadTestSamples(path, file, samples);
    for (const RecordSample& s : samples)
        if (s.head.gps.gpsFix == 1) out.push_back(s.head.gps.longitude);
    return out;
}

double Element(const std::string& text, const std::string& name) {
    const auto found = Between(text, "<" + name + ">", "</" + name + ">");
    return found.empty() ? std::nan("") : std::atof(found.front().c_str());
}

// Degrees east of west, 0 .. 360.
double EastOf(double west, double longitude) {
    const double d = std::fmod(longitude - west, 360.0);
    return d < 0.0 ? d + 360.0 : d;
}

// Splits the root cell down to the finest level; calls check with every cell of that level.
void ForEachFinestCell(KmzDataSet& d, const MapArea& area, const std::string& archivePath,
                       const std::function<void(const MapCell&)>& check) {
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(archivePath.c_str(), kKmzBufferCapacity, archive, kKmzDeflateInline));
    KmzScope scope = KmzScope_Default(d);
    std::fill(scope.graphs.begin(), scope.graphs.end(), 0);  // no histograms: only the geometry counts here
    KmzEntrySink sink(archive, false);
    KmzExport ex(sink, d, scope);
    ex.area = area;
    ex.depth = MapArea_Depth(area.side, scope.zoomMetres);
    ex.stamp = "S";
    KmzExport_Prepare(ex);
    std::vector<MapCell> level{Kmz_RootCell(ex)};
    KmzQuadrantLists out;
    while (!level.empty()) {
        for (const MapCell& cell : level)
            if (cell.cellId.find('0') == std::string::npos) check(cell);
        ASSERT_TRUE(Kmz_SplitCells(ex, level, 1, out));
        level.clear();
        for (auto& list : out)
            for (MapCell& cell : list) level.push_back(std::move(cell));
    }
    sink.cancel();
    kmzAbortArchive(archive);
}

}  // namespace

TEST(KmzArea, SamplesAtOnePointMakeAMetreSquareAndTheShallowestPyramid) {
    const MapArea a = MapArea_OfArc(MapArea_CoveringArc({11.0, 11.0}), 48.0, 48.0);
    EXPECT_NEAR(a.side, 0.00111, 0.00001);  // km
    EXPECT_DOUBLE_EQ(a.latitudeExtent, kKmzMinExtent);
    EXPECT_GT(a.longitudeExtent, kKmzMinExtent);  // widened to a square at 48 degrees north
    const KmzDepth depth = MapArea_Depth(a.side, 10.0);
    EXPECT_EQ(depth.levels, 1);
    EXPECT_EQ(depth.coarseLevels, 2);
    EXPECT_EQ(depth.rootTileId, "");
}

TEST(KmzArea, CrossingThe180DegreeMeridianKeepsTheAreaSmall) {
    const MapArea a = MapArea_OfArc(MapArea_CoveringArc({-179.99, 179.98}), -17.0, -16.99);
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
    ExportBench bench(std::move(d));
    KmzExport& ex = *bench.ex;
    ex.area = a;
    ex.depth = MapArea_Depth(a.side, 10.0);
    std::vector<MapCell> cells{Kmz_RootCell(ex)};
    KmzQuadrantLists out;
    ASSERT_TRUE(Kmz_SplitCells(ex, cells, 1, out));
    ASSERT_EQ(out[0].size(), 1u);  // north-west: 179.98
    ASSERT_EQ(out[1].size(), 1u);  // north-east: -179.99
    EXPECT_EQ(out[1][0].samples, std::vector<std::int32_t>{0});
}

TEST(KmzArea, CoveringArcIsTheComplementOfTheWidestGap) {
    struct Case {
        const char* story;
        std::vector<double> longitudes;
        double west, extent;
    };
    const Case cases[] = {
        {"nothing", {}, 0.0, 0.0},
        {"one longitude", {11.0}, 11.0, 0.0},
        {"an ordinary drive", {11.2, 10.9, 11.0}, 10.9, 0.3},
        // The sliver between the two samples nearest the meridian would be 0.02 wide.
        {"a drive across the meridian", {179.97, -179.99, 179.99, -179.97, 180.0}, 179.97, 0.06},
        {"the meridian itself at -180", {-180.0, 179.5}, 179.5, 0.5},
        {"two gaps of 170 degrees", {-170.0, 0.0, 170.0}, 0.0, 190.0},
        {"half the globe either way: no crossing", {0.0, 180.0}, 0.0, 180.0},
    };
    for (const Case& c : cases) {
        const LongitudeArc arc = MapArea_CoveringArc(c.longitudes);
        EXPECT_NEAR(arc.west, c.west, 1e-9) << c.story;
        EXPECT_NEAR(arc.extent, c.extent, 1e-9) << c.story;
    }
}

TEST(KmzArea, EverySampleLiesInsideTheMapAndNextToItsPlacemark) {
    struct Case {
        const char* story;
        double longitude;
        std::vector<std::pair<long long, long long>> noFix;
        bool acrossTheMeridian;
    };
    const Case cases[] = {
        {"a loop across the meridian, started east of it", 179.99, {}, true},
        {"a loop across the meridian, started west of it", -179.995, {}, true},
        {"five minutes without fix at the start", 11.575, {{0, 270}}, false},
        {"across the meridian without fix at both ends", 179.995, {{0, 150}, {450, 150}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.story);
        TempDir dir;
        SynthRecordOptions o;
        o.samples = 600;
        o.originLatitude = -17.0;
        o.originLongitude = c.longitude;
        o.noFixStretches = c.noFix;
        o.outputDirectory = dir.path();
        std::string record, error;
        ASSERT_TRUE(Synth_WriteRecordFile(o, record, error)) << error;

        // The generator writes longitudes on the map only, on both sides of the meridian.
        const std::vector<double> recorded = RecordedLongitudes(record);
        ASSERT_FALSE(recorded.empty());
        const auto [lowest, highest] = std::minmax_element(recorded.begin(), recorded.end());
        EXPECT_GE(*lowest, -180.0);
        EXPECT_LE(*highest, 180.0);
        if (c.acrossTheMeridian) {
            EXPECT_TRUE(*lowest < -179.0 && *highest > 179.0);
        }

        KmzDataSet d;
        MapArea area;
        std::string message;
        ASSERT_TRUE(LoadRecordFiles({record}, d, area, message)) << message;
        EXPECT_LT(area.side, 20.0);  // a drive of a few kilometres, not the globe
        KmzScope scope = KmzScope_Default(d);
        scope.values.assign(scope.values.size(), 0);
        scope.values[1] = 1;
        const std::string archive = dir.file("a.kmz");
        ASSERT_EQ(Kmz_WriteArchive(d, Request(d, archive, scope), area, nullptr, {}).outcome, KmzOutcome::Success);
        const auto entries = ReadArchive(archive);
        const Entry* doc = Find(entries, "doc.kml");
        ASSERT_NE(doc, nullptr);

        // The box of the root region (printed with six decimals) holds every sample.
        const double north = Element(doc->bytes, "north"), south = Element(doc->bytes, "south");
        const double east = Element(doc->bytes, "east"), west = Element(doc->bytes, "west");
        const double width = EastOf(west, east);
        EXPECT_LT(width, 1.0);
        int outside = 0, positioned = 0;
        for (const KmzSample& s : d.samples) {
            if (s.position == kKmzNoPosition) continue;
            ++positioned;
            const bool inside = s.latitude <= north + 1e-6 && s.latitude >= south - 1e-6 &&
                                (EastOf(west, s.longitude) <= width + 1e-6 || EastOf(west, s.longitude) >= 360.0 - 1e-6);
            if (!inside) ++outside;
        }
        EXPECT_EQ(positioned, 600);  // the stretches without fix were filled in
        EXPECT_EQ(outside, 0);

        // A placemark of the finest level sits at its cell's centre: within one cell of each of its samples.
        int finest = 0, far = 0;
        ForEachFinestCell(d, area, dir.file("cells.kmz"), [&](const MapCell& cell) {
            ++finest;
            for (std::int32_t i : cell.samples) {
                const KmzSample& s = d.samples[static_cast<std::size_t>(i)];
                const double dLon = std::fabs(MapArea_Wrap(s.longitude - cell.area.centreLongitude));
                const double dLat = std::fabs(s.latitude - cell.area.centreLatitude);
                if (dLon > cell.area.longitudeExtent || dLat > cell.area.latitudeExtent) ++far;
            }
        });
        EXPECT_GT(finest, 10);
        EXPECT_EQ(far, 0);
    }
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
    ExportBench bench(std::move(d));
    KmzExport& ex = *bench.ex;
    ex.depth = {4, 5, ""};
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
    ExportBench bench(std::move(d));
    KmzExport& ex = *bench.ex;
    ex.depth = {4, 5, ""};
    MapCell other, parent, inherited;
    other.cellId = parent.cellId = inherited.cellId = "2000";
    other.area = parent.area = inherited.area = {10.0, 1.0, 1.0, 11.0, 48.0};
    parent.samples = {0, 1};
    inherited.samples = {0, 1};
    inherited.styleDoc = "-00";
    inherited.styleIndex = 7;
    inherited.styleCell = "4000";
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
    // Its documents repeat the parent's balloon: every figure of it, and the bitmaps of the parent.
    EXPECT_EQ(child.styleCell, "2000");
    ASSERT_EQ(child.status.size(), 1u);
    EXPECT_DOUBLE_EQ(child.status[0].share, 100.0);
    const MapCell& grandchild = out[2][1];  // of a parent that reused a style itself
    EXPECT_EQ(grandchild.styleDoc, "-00");
    EXPECT_EQ(grandchild.styleIndex, 7);
    EXPECT_EQ(grandchild.styleCell, "4000");
    EXPECT_FALSE(cells[2].aggregated);  // a cell with a style to reuse is not aggregated again
}

TEST(KmzTiling, OnePointArchiveHasTwoLevelsAndTheChildReusesTheRootStyle) {
    KmzDataSet d = OnePoint(12);  // enough values for a distribution bitmap
    TempDir dir;
    WriteArchive(d, dir.file("p.kmz"), KmzScope_Default(d));
    const auto entries = ReadArchive(dir.file("p.kmz"));
    ASSERT_FALSE(entries.empty());
    for (const auto& e : entries) EXPECT_NE(e.name.rfind("D_", 0), 0u) << e.name;  // no style documents
    const Entry* level0 = Find(entries, "BW1_-0_0123456789ABCDEF.kml");
    const Entry* level1 = Find(entries, "BW1_-00_0123456789ABCDEF.kml");
    ASSERT_NE(level0, nullptr);
    ASSERT_NE(level1, nullptr);
    EXPECT_NE(level0->bytes.find("<styleUrl>#BS_1</styleUrl>"), std::string::npos);
    // The child holds a copy of the root's balloon, named after where it stands first, the
    // root cell's bitmaps and all.
    EXPECT_NE(level1->bytes.find("<styleUrl>#D_-0_BS_1</styleUrl>"), std::string::npos);
    const auto own = Between(level0->bytes, "<Style id=\"BS_1\">", "</Style>");
    const auto copy = Between(level1->bytes, "<Style id=\"D_-0_BS_1\">", "</Style>");
    ASSERT_EQ(own.size(), 1u);
    ASSERT_EQ(copy.size(), 1u);
    EXPECT_EQ(copy[0], own[0]);
    EXPECT_NE(copy[0].find("src=\"V1_0_0123456789ABCDEF.bmp\""), std::string::npos) << copy[0];
    // The one cell of level 1 is the north-east child of the root.
    EXPECT_NE(level1->bytes.find("<Placemark id=\"-00_1_(4)_0123456789ABCDEF\">"), std::string::npos);

    const Entry* nav = Find(entries, "root_0123456789ABCDEF.kml");
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
    const Entry* root = Find(entries, "SA1_00_0123456789ABCDEF.kml");
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root->bytes.find("<name>Doc SA1_00</name>"), std::string::npos);
    // The diagonal runs south-west to north-east: only those two child tiles exist.
    EXPECT_EQ(Count(root->bytes, "<NetworkLink>"), 2);
    EXPECT_NE(root->bytes.find("<href>SA1_60_0123456789ABCDEF.kml</href>"), std::string::npos);
    EXPECT_NE(root->bytes.find("<href>SA1_40_0123456789ABCDEF.kml</href>"), std::string::npos);
    EXPECT_NE(root->bytes.find("<minLodPixels>1280</minLodPixels>\n<maxLodPixels>2560</maxLodPixels>"), std::string::npos);
    const Entry* leaf = Find(entries, "SA1_40_0123456789ABCDEF.kml");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(Count(leaf->bytes, "<NetworkLink>"), 0);
    EXPECT_NE(leaf->bytes.find("<minLodPixels>1280</minLodPixels>\n<maxLodPixels>-1</maxLodPixels>"), std::string::npos);
    EXPECT_EQ(Find(entries, "SA1_20_0123456789ABCDEF.kml"), nullptr);
    // Every tile is written after the pictures.
    std::size_t intensity = 0, layer = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == "intensity_0123456789ABCDEF.bmp") intensity = i;
        if (entries[i].name == "BW0_40_0123456789ABCDEF.kml") layer = i;
    }
    EXPECT_LT(intensity, layer);
    EXPECT_TRUE(UnresolvedLinks(entries).empty());
    EXPECT_TRUE(UnresolvedImages(entries).empty());
}
