// The GIS writer read back through GDAL: the layers, their rows against the
// analysis they came from, the styles QGIS loads, and what is left on disk
// after a failure, a cancel or an existing target.
#include <gtest/gtest.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <string>
#include <vector>

#include "export/gis/gisfields.h"
#include "export/gis/giswriter.h"
#include "platform/text.h"
#include "support/testsupport.h"
#include "synthrecord.h"

namespace {

std::string Generate(const TempDir& dir, long long samples, std::uint64_t seed, double mhz, const char* description,
                     std::vector<std::pair<long long, long long>> noFix = {}) {
    SynthRecordOptions o;
    o.samples = samples;
    o.seed = seed;
    o.frequencyMHz = mhz;
    o.description = description;
    o.outputDirectory = dir.path();
    o.noFixStretches = std::move(noFix);
    o.badStatusShare = 0.05;
    std::string path, error;
    EXPECT_TRUE(Synth_WriteRecordFile(o, path, error)) << error;
    return path;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    return names;
}

bool Analyse(const std::vector<std::string>& files, CoveragePlan& plan, std::vector<std::string> thresholds = {}) {
    CoverageOptions options;
    options.thresholds = std::move(thresholds);
    std::string error;
    const bool ok = Coverage_Open(files, options, plan, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

GDALDatasetUniquePtr Open(const std::string& path) {
    return GDALDatasetUniquePtr(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
}

TEST(GisFields, DisplayNamesBecomePlainFieldNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Level [dB\xB5V/m]", "level_dbuv_m"},
        {"BER before Reed Solomon [10-6]", "ber_before_reed_solomon_10_6"},
        {"MER RMS [dB]", "mer_rms_db"},
        {"  ", "value"},
        {"1st Layer", "v_1st_layer"},
        {"Layer A \xE4rger", "layer_a_rger"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(out, Gis_FieldName(in)) << in;
    EXPECT_EQ((std::vector<std::string>{"status_2", "level", "level_2"}),
              Gis_UniqueFieldNames({"Status", "Level", "LEVEL"}, {"status"}));
}

TEST(GisFields, LocalTimesTurnToUtcWithTheirDaylightSaving) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    GisUtcClock clock;
    // Seconds since 1900 in local time: 2026-06-01 10:00:00.25 and 2026-01-15 10:00:00.
    const double summer = (46172.0 * 86400.0) + 10 * 3600 + 0.25;
    const double winter = (46035.0 * 86400.0) + 10 * 3600;
    const GisUtc s = clock.toUtc(summer), w = clock.toUtc(winter);
    EXPECT_EQ(2026, s.year);
    EXPECT_EQ(6, s.month);
    EXPECT_EQ(1, s.day);
    EXPECT_EQ(8, s.hour);
    EXPECT_DOUBLE_EQ(0.25, s.second);
    EXPECT_EQ(1, w.month);
    EXPECT_EQ(15, w.day);
    EXPECT_EQ(9, w.hour);
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

TEST(GisExport, GeoPackageHoldsEveryLayerAsAnalysed) {
    TempDir dir;
    const std::vector<std::string> files = {Generate(dir, 400, 1, 474, "A", {{100, 30}}), Generate(dir, 300, 2, 474, "B"),
                                            Generate(dir, 300, 3, 482, "C")};
    CoveragePlan plan;
    ASSERT_TRUE(Analyse(files, plan, {"Level=60 dB\xC2\xB5V"}));
    const std::string out = dir.file("coverage.gpkg");
    // The shares shown while the cells are written, the longest step of a large analysis.
    struct : CoverageProgress {
        std::string step;
        std::vector<int> cells;
        void showStep(const std::string& label) override { step = label; }
        void setProgress(int percent) override {
            if (step == "Writing the cells and tables") cells.push_back(percent);
        }
    } progress;
    const GisExportResult r = Gis_Export(plan, {out, "", false}, &progress, {});
    ASSERT_EQ(GisOutcome::Success, r.outcome) << r.message;
    EXPECT_NE(std::string::npos, r.message.find("samples 1000, cells ")) << r.message;
    ASSERT_EQ(2u, plan.groups.size());
    ASSERT_GT(plan.cellRows(), 1024);
    EXPECT_TRUE(std::is_sorted(progress.cells.begin(), progress.cells.end()));
    EXPECT_TRUE(std::any_of(progress.cells.begin(), progress.cells.end(), [](int p) { return p > 0 && p < 100; }))
        << "the bar stood still while the cells were written";
    ASSERT_FALSE(progress.cells.empty());
    EXPECT_EQ(progress.cells.back(), 100);

    auto ds = Open(out);
    ASSERT_TRUE(ds);
    OGRLayer* samples = ds->GetLayerByName("samples");
    OGRLayer* cells = ds->GetLayerByName("cells");
    OGRLayer* drives = ds->GetLayerByName("drives");
    OGRLayer* summary = ds->GetLayerByName("coverage_summary");
    OGRLayer* styles = ds->GetLayerByName("layer_styles");
    ASSERT_TRUE(samples && cells && drives && summary && styles);
    EXPECT_EQ(1000, samples->GetFeatureCount());
    EXPECT_EQ(plan.cellRows(), cells->GetFeatureCount());
    EXPECT_EQ(3, drives->GetFeatureCount());
    EXPECT_EQ(wkbPoint, wkbFlatten(samples->GetGeomType()));
    EXPECT_EQ(wkbPolygon, wkbFlatten(cells->GetGeomType()));

    // The filled-in stretch of the first file is marked.
    samples->SetAttributeFilter("gap_filled = 1");
    EXPECT_EQ(30, samples->GetFeatureCount());

    // Every cell row carries the analysis' figures, NULL where there is none.
    std::size_t checked = 0;
    for (const CoverageGroup& g : plan.groups)
        for (const CoverageCell& c : g.cells)
            for (std::size_t k = 0; k < g.channels.size(); k += 3) {
                const std::string id = Grid_CellId(plan.grid, c.index);
                cells->SetAttributeFilter(("cell_id = '" + id + "' AND frequency_mhz = " + std::to_string(g.frequencyMHz) +
                                           " AND channel = '" + Text_Latin1ToUtf8(g.channels[k].name) + "'")
                                              .c_str());
                OGRFeatureUniquePtr f(cells->GetNextFeature());
                ASSERT_TRUE(f) << id;
                const ChannelStatistics& s = c.channels[k];
                EXPECT_EQ(s.n, f->GetFieldAsInteger("n"));
                EXPECT_EQ(c.samples, f->GetFieldAsInteger("samples"));
                for (const auto& [field, v] : std::vector<std::pair<const char*, double>>{
                         {"median", s.median}, {"stddev", s.stddev}, {"share_ok", s.shareOk},
                         {"location_probability", s.locationProbability}}) {
                    const int i = f->GetFieldIndex(field);
                    if (std::isnan(v)) EXPECT_TRUE(f->IsFieldNull(i)) << field;
                    else EXPECT_EQ(v, f->GetFieldAsDouble(i)) << field;
                }
                const char* cls = Coverage_ClassName(s.cls);
                if (*cls) EXPECT_STREQ(cls, f->GetFieldAsString("class"));
                else EXPECT_TRUE(f->IsFieldNull(f->GetFieldIndex("class")));
                ++checked;
            }
    EXPECT_GT(checked, 100u);

    // The default styles QGIS looks for: one per layer, marked as default.
    styles->SetAttributeFilter("useAsDefault = 1 AND f_geometry_column = 'geom'");
    std::vector<std::string> styled;
    for (auto& f : *styles) {
        styled.emplace_back(f->GetFieldAsString("f_table_name"));
        EXPECT_NE(nullptr, std::strstr(f->GetFieldAsString("styleQML"), "categorizedSymbol"));
    }
    EXPECT_EQ((std::vector<std::string>{"cells", "samples"}), styled);
}

TEST(GisExport, GeoJsonHoldsTheCellsWithSevenDecimals) {
    TempDir dir;
    CoveragePlan plan;
    ASSERT_TRUE(Analyse({Generate(dir, 200, 4, 474, "A")}, plan));
    const std::string out = dir.file("cells.geojson");
    const GisExportResult r = Gis_Export(plan, {out, "", false}, nullptr, {});
    ASSERT_EQ(GisOutcome::Success, r.outcome) << r.message;
    ASSERT_EQ(1u, r.layers.size());
    EXPECT_EQ(plan.cellRows(), r.layers[0].features);
    const auto bytes = ReadWholeFile(out);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(std::string::npos, text.find("\"crs\""));  // RFC 7946: WGS 84 only, no crs member
    // No coordinate with more than seven decimals.
    const auto at = text.find("\"coordinates\"");
    ASSERT_NE(std::string::npos, at);
    const std::string coords = text.substr(at, text.find('}', at) - at);
    for (std::size_t dot = coords.find('.'); dot != std::string::npos; dot = coords.find('.', dot + 1)) {
        std::size_t digits = 0;
        while (dot + 1 + digits < coords.size() && std::isdigit(static_cast<unsigned char>(coords[dot + 1 + digits])))
            ++digits;
        EXPECT_LE(digits, 7u) << coords.substr(dot - 4, 20);
    }
}

// Failures and cancels leave nothing; an existing target survives them.
TEST(GisExport, NothingIsLeftBehind) {
    TempDir dir, out;
    CoveragePlan plan;
    ASSERT_TRUE(Analyse({Generate(dir, 3000, 5, 474, "A")}, plan));

    // Cancelled while the samples are written.
    int asked = 0;
    GisExportResult r = Gis_Export(plan, {out.file("x.gpkg"), "", false}, nullptr, [&] { return ++asked > 2; });
    EXPECT_EQ(GisOutcome::Cancelled, r.outcome);
    EXPECT_EQ(kGisAborted, r.message);
    EXPECT_TRUE(Names(out.path()).empty());

    // An existing target is refused, and kept.
    WriteWholeFile(out.file("old.gpkg"), {'o', 'l', 'd'});
    r = Gis_Export(plan, {out.file("old.gpkg"), "", false}, nullptr, {});
    EXPECT_EQ(GisOutcome::Failure, r.outcome);
    EXPECT_NE(std::string::npos, r.message.find("exists already")) << r.message;
    r = Gis_Export(plan, {out.file("old.gpkg"), "", true}, nullptr, [&] { return true; });
    EXPECT_EQ(GisOutcome::Cancelled, r.outcome);
    EXPECT_EQ(3u, ReadWholeFile(out.file("old.gpkg")).size());
    r = Gis_Export(plan, {out.file("old.gpkg"), "", true}, nullptr, {});
    EXPECT_EQ(GisOutcome::Success, r.outcome) << r.message;
    EXPECT_GT(ReadWholeFile(out.file("old.gpkg")).size(), 3u);
    EXPECT_EQ(std::vector<std::string>{"old.gpkg"}, Names(out.path()));

    for (const std::string& bad : {out.file("x.shp"), out.file("no/such/x.gpkg"), out.path(), std::string("/proc/x.gpkg")}) {
        r = Gis_Export(plan, {bad, "", false}, nullptr, {});
        EXPECT_EQ(GisOutcome::Failure, r.outcome) << bad;
        EXPECT_EQ(std::string::npos, r.message.find('\n')) << r.message;
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_EQ(std::vector<std::string>{"old.gpkg"}, Names(out.path()));
}

}  // namespace
