#include "export/gis/giswriter.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

#include "export/gis/gisfields.h"
#include "export/gis/gisstyle.h"
#include "platform/datetime.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "records/recording.h"

namespace {

constexpr const char* kGeometryColumn = "geom";
constexpr int kCancelEvery = 1024;  // features between two looks at the cancel flag

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Utf8(std::string_view latin1) { return Text_Latin1ToUtf8(latin1); }

std::string GdalMessage() {
    const char* m = CPLGetLastErrorMsg();
    std::string s = m && *m ? m : "unknown error";
    for (char& c : s)
        if (c == '\n') c = ' ';
    return s;
}

void RegisterOnce() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's messages stay quiet while we write; the last one becomes our error text.
struct QuietGdal {
    QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
    ~QuietGdal() { CPLPopErrorHandler(); }
};

struct FieldSpec {
    const char* name;
    OGRFieldType type;
    OGRFieldSubType subType = OFSTNone;
    int width = 0;
};

bool AddFields(OGRLayer* layer, const std::vector<FieldSpec>& fields, std::string& error) {
    for (const FieldSpec& f : fields) {
        OGRFieldDefn defn(f.name, f.type);
        defn.SetSubType(f.subType);
        defn.SetWidth(f.width);
        if (layer->CreateField(&defn) != OGRERR_NONE) {
            error = "Could not create the field " + std::string(f.name) + ": " + GdalMessage();
            return false;
        }
    }
    return true;
}

void SetReal(OGRFeature& f, int field, double v) {
    if (std::isfinite(v)) f.SetField(field, v);
    else f.SetFieldNull(field);
}

void SetText(OGRFeature& f, int field, const std::string& utf8) { f.SetField(field, utf8.c_str()); }

void SetUtc(OGRFeature& f, int field, const GisUtc& t) {
    f.SetField(field, t.year, t.month, t.day, t.hour, t.minute, static_cast<float>(t.second), 100);
}

// The export in progress: the dataset and what the layers share.
struct Writer {
    CoveragePlan& plan;
    GDALDatasetUniquePtr owned;
    GDALDataset* ds = nullptr;
    bool geoPackage = true;  // a GeoPackage or a database: transactions, every layer
    bool database = false;   // PostgreSQL: a table of the same name is replaced
    OGRSpatialReference wgs84;
    std::function<bool()> cancelled;
    CoverageProgress* progress = nullptr;  // the cells' share while they are written
    std::vector<GisLayerCount> counts;

    Writer(CoveragePlan& p) : plan(p) {
        wgs84.importFromEPSG(4326);
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);  // x longitude, y latitude
    }
    bool isCancelled() const { return cancelled && cancelled(); }

    OGRLayer* createLayer(const char* name, OGRwkbGeometryType type, const char* description, std::string& error) {
        CPLStringList options;
        if (database) {
            options.SetNameValue("FID", "fid");
            options.SetNameValue("OVERWRITE", "YES");
            if (type != wkbNone) {
                options.SetNameValue("GEOMETRY_NAME", kGeometryColumn);
                options.SetNameValue("SPATIAL_INDEX", "GIST");
            }
            options.SetNameValue("DESCRIPTION", description);
        } else if (geoPackage) {
            options.SetNameValue("FID", "fid");
            if (type != wkbNone) {
                options.SetNameValue("GEOMETRY_NAME", kGeometryColumn);
                options.SetNameValue("SPATIAL_INDEX", "YES");
            }
            options.SetNameValue("DESCRIPTION", description);
        } else {
            options.SetNameValue("RFC7946", "YES");
            options.SetNameValue("COORDINATE_PRECISION", "7");
            options.SetNameValue("WRITE_BBOX", "NO");
        }
        OGRLayer* layer = ds->CreateLayer(name, type == wkbNone ? nullptr : &wgs84, type, options.List());
        if (!layer) error = std::string("Could not create the layer ") + name + ": " + GdalMessage();
        return layer;
    }

    // One transaction per layer where the format has them (GeoJSON has none).
    bool begin(std::string& error) {
        if (!geoPackage) return true;
        if (ds->StartTransaction(FALSE) == OGRERR_NONE) {
            inTransaction = true;
            return true;
        }
        error = "Could not start a transaction: " + GdalMessage();
        return false;
    }
    bool commit(std::string& error) {
        if (!geoPackage) return true;
        inTransaction = false;
        if (ds->CommitTransaction() == OGRERR_NONE) return true;
        error = "Could not write: " + GdalMessage();
        return false;
    }
    // After a failure: the open transaction is rolled back, nothing of it stays.
    void abort() {
        if (inTransaction) ds->RollbackTransaction();
        inTransaction = false;
    }
    bool inTransaction = false;
    bool add(OGRLayer* layer, OGRFeature& f, std::string& error) {
        f.SetFID(OGRNullFID);
        if (layer->CreateFeature(&f) == OGRERR_NONE) return true;
        error = std::string("Could not write to the layer ") + layer->GetName() + ": " + GdalMessage();
        return false;
    }
};

// A new layer with its fields inside its transaction. In a database the old
// table is dropped inside the same transaction, so that a reader sees either
// the old table or the whole new one.
OGRLayer* BeginLayer(Writer& w, const char* name, OGRwkbGeometryType type, const char* description,
                     const std::vector<FieldSpec>& fields, std::string& error) {
    if (w.database && !w.begin(error)) return nullptr;
    OGRLayer* layer = w.createLayer(name, type, description, error);
    if (!layer || !AddFields(layer, fields, error)) return nullptr;
    if (!w.database && !w.begin(error)) return nullptr;
    return layer;
}

// The samples layer, filled group by group while the analysis reads.
class SamplesLayer : public CoverageSampleSink {
public:
    explicit SamplesLayer(Writer& w) : w_(w) {}

    bool create(std::string& error) {
        layer_ = w_.createLayer("samples", wkbPoint, "Every positioned sample of the record files", error);
        if (!layer_) return false;
        const std::vector<FieldSpec> fixed = {
            {"file", OFTString},        {"standard", OFTString},         {"frequency_mhz", OFTReal},
            {"time_utc", OFTDateTime},  {"gap_filled", OFTInteger, OFSTBoolean},
            {"stationary", OFTInteger, OFSTBoolean},                     {"speed_kmh", OFTReal},
            {"status", OFTString}};
        if (!AddFields(layer_, fixed, error)) return false;
        std::vector<std::string> taken, names;
        for (const auto& f : fixed) taken.push_back(f.name);
        for (const auto& g : w_.plan.groups)
            for (const auto& c : g.channels)
                if (!channelField_.count(c.name)) {
                    channelField_[c.name] = -1;
                    names.push_back(c.name);
                }
        const auto fieldNames = Gis_UniqueFieldNames(names, taken);
        for (std::size_t i = 0; i < names.size(); ++i) {
            OGRFieldDefn defn(fieldNames[i].c_str(), OFTReal);
            defn.SetAlternativeName(Utf8(names[i]).c_str());
            if (layer_->CreateField(&defn) != OGRERR_NONE) {
                error = "Could not create the field " + fieldNames[i] + ": " + GdalMessage();
                return false;
            }
        }
        OGRFeatureDefn* defn = layer_->GetLayerDefn();
        for (std::size_t i = 0; i < names.size(); ++i) channelField_[names[i]] = defn->GetFieldIndex(fieldNames[i].c_str());
        return true;
    }

    bool writeSamples(const CoverageSamples& s, std::string& error) override {
        OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer_->GetLayerDefn()));
        OGRPoint point;
        const std::string standard = Utf8(s.group.standard);
        std::vector<int> fields;
        for (const auto& c : s.group.channels) fields.push_back(channelField_.at(c.name));
        std::vector<std::string> states;
        for (const auto& t : s.data.statusTexts) states.push_back(Utf8(t));
        std::size_t begin = 0;
        for (std::size_t k = 0; k < s.fileEnd.size(); ++k) {
            const std::string file = Utf8(BaseName(s.plan.files[s.group.files[k]].entry.path));
            for (std::size_t i = begin; i < s.fileEnd[k]; ++i) {
                const KmzSample& sample = s.data.samples[i];
                if (sample.position == kKmzNoPosition) continue;
                if (++written_ % kCancelEvery == 0 && w_.isCancelled()) {
                    error = kGisAborted;
                    return false;
                }
                point.setX(sample.longitude);
                point.setY(sample.latitude);
                f->SetGeometry(&point);
                SetText(*f, 0, file);
                SetText(*f, 1, standard);
                f->SetField(2, s.group.frequencyMHz);
                SetUtc(*f, 3, clock_.toUtc(sample.time));
                f->SetField(4, sample.position == kKmzInterpolatedPosition ? 1 : 0);
                f->SetField(5, s.leftOut[i] ? 1 : 0);
                SetReal(*f, 6, sample.speed >= 0.0 ? sample.speed : NAN);
                SetText(*f, 7, states[static_cast<std::size_t>(sample.status)]);
                for (int field : fields) f->SetFieldNull(field);
                for (std::size_t c = 0; c < fields.size(); ++c) {
                    const double* e = s.data.valueEntry(i, c);
                    if (e[0] == 1.0) SetReal(*f, fields[c], e[1]);
                }
                if (!w_.add(layer_, *f, error)) return false;
                ++count_;
            }
            begin = s.fileEnd[k];
        }
        return true;
    }

    std::int64_t count() const { return count_; }

private:
    Writer& w_;
    OGRLayer* layer_ = nullptr;
    std::map<std::string, int> channelField_;
    GisUtcClock clock_;
    std::int64_t written_ = 0, count_ = 0;
};

bool WriteCells(Writer& w, std::string& error) {
    OGRLayer* layer = BeginLayer(w, "cells", wkbPolygon, "Coverage statistics per cell, frequency and channel",
                                 {{"cell_id", OFTString}, {"standard", OFTString}, {"frequency_mhz", OFTReal},
                                  {"channel", OFTString}, {"samples", OFTInteger}, {"gap_filled", OFTInteger},
                                  {"n", OFTInteger}, {"min", OFTReal}, {"max", OFTReal}, {"mean", OFTReal},
                                  {"median", OFTReal}, {"stddev", OFTReal}, {"threshold", OFTReal},
                                  {"share_ok", OFTReal}, {"sigma_db", OFTReal}, {"location_probability", OFTReal},
                                  {"class", OFTString}},
                                 error);
    if (!layer) return false;
    OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    std::int64_t count = 0;
    const std::int64_t rows = std::max<std::int64_t>(1, w.plan.cellRows());
    std::int64_t nextReport = 0;
    for (const CoverageGroup& g : w.plan.groups) {
        const std::string standard = Utf8(g.standard);
        for (const CoverageCell& cell : g.cells) {
            if (w.isCancelled()) {
                error = kGisAborted;
                return false;
            }
            // The rest of the file (drives, summary, spatial index) is quick: the cells are most of the step.
            if (w.progress && count >= nextReport) {
                w.progress->setProgress(static_cast<int>(90 * count / rows));
                nextReport = count + 1024;
            }
            OGRPolygon polygon;
            OGRLinearRing ring;
            const auto corners = Grid_CellCorners(w.plan.grid, cell.index);
            for (int k = 0; k <= 4; ++k) ring.addPoint(corners[k % 4].longitude, corners[k % 4].latitude);
            polygon.addRing(&ring);
            const std::string id = Grid_CellId(w.plan.grid, cell.index);
            for (std::size_t c = 0; c < g.channels.size(); ++c) {
                const CoverageChannel& ch = g.channels[c];
                const ChannelStatistics& s = cell.channels[c];
                f->SetGeometry(&polygon);
                SetText(*f, 0, id);
                SetText(*f, 1, standard);
                f->SetField(2, g.frequencyMHz);
                SetText(*f, 3, Utf8(ch.name));
                f->SetField(4, cell.samples);
                f->SetField(5, cell.gapFilled);
                f->SetField(6, s.n);
                SetReal(*f, 7, s.min);
                SetReal(*f, 8, s.max);
                SetReal(*f, 9, s.mean);
                SetReal(*f, 10, s.median);
                SetReal(*f, 11, s.stddev);
                SetReal(*f, 12, ch.rule.hasThreshold ? ch.rule.threshold : NAN);
                SetReal(*f, 13, s.shareOk);
                SetReal(*f, 14, s.sigma);
                SetReal(*f, 15, s.locationProbability);
                if (s.cls == CoverageClass::None) f->SetFieldNull(16);
                else SetText(*f, 16, Coverage_ClassName(s.cls));
                if (!w.add(layer, *f, error)) return false;
                ++count;
            }
        }
    }
    w.counts.push_back({"cells", count});
    return w.commit(error);
}

bool WriteDrives(Writer& w, std::string& error) {
    OGRLayer* layer = w.createLayer("drives", wkbNone, "One row per record file with its header", error);
    if (!layer) return false;
    if (!AddFields(layer, {{"file", OFTString}, {"path", OFTString}, {"description", OFTString},
                           {"standard", OFTString}, {"frequency_mhz", OFTReal}, {"analyzer_type", OFTString},
                           {"serial_number", OFTString}, {"firmware_version", OFTString}, {"input", OFTString},
                           {"antenna", OFTString}, {"k_factor_db_m", OFTReal}, {"created_utc", OFTDateTime},
                           {"software_version", OFTString}, {"level_unit", OFTString},
                           {"level_offset_db", OFTReal}, {"sample_count", OFTInteger64},
                           {"skipped_samples", OFTInteger64}},
                   error) ||
        !w.begin(error))
        return false;
    OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    GisUtcClock clock;
    for (const CoverageFile& file : w.plan.files) {
        const RecordFileEntry& e = file.entry;
        const CoverageGroup& g = w.plan.groups[static_cast<std::size_t>(file.group)];
        SetText(*f, 0, Utf8(BaseName(e.path)));
        SetText(*f, 1, Utf8(e.path));
        SetText(*f, 2, Utf8(e.description));
        SetText(*f, 3, Utf8(e.standard));
        f->SetField(4, g.frequencyMHz);
        SetText(*f, 5, Utf8(e.type));
        SetText(*f, 6, Utf8(Gis_InfoValue(file.info, "TV Analyzer", "Serial number")));
        SetText(*f, 7, Utf8(Gis_InfoValue(file.info, "TV Analyzer", "Firmware version")));
        SetText(*f, 8, Utf8(e.input));
        const std::string antenna = Gis_InfoValue(file.info, "Antenna", "Type");
        if (antenna.empty()) f->SetFieldNull(9);
        else SetText(*f, 9, Utf8(antenna));
        SetReal(*f, 10, e.kFactorText.empty() ? NAN : e.kFactor);
        LocalDateTime created;
        if (DateTime_ParseText(e.created, created)) SetUtc(*f, 11, clock.toUtc(DateTime_Make(created)));
        else f->SetFieldNull(11);
        SetText(*f, 12, Utf8(e.softwareVersion));
        if (e.levelIndex < 0) {
            f->SetFieldNull(13);
            f->SetFieldNull(14);
        } else {
            SetText(*f, 13, Utf8(KmzLevel_UnitName(w.plan.levelUnit)));
            f->SetField(14, file.level.levelOffset);
        }
        f->SetField(15, static_cast<GIntBig>(file.samples));
        f->SetField(16, static_cast<GIntBig>(file.skipped));
        if (!w.add(layer, *f, error)) return false;
    }
    w.counts.push_back({"drives", static_cast<std::int64_t>(w.plan.files.size())});
    return w.commit(error);
}

bool WriteSummary(Writer& w, std::string& error) {
    OGRLayer* layer = BeginLayer(
        w, "coverage_summary", wkbNone, "Cells and driven distance by class",
        {{"standard", OFTString}, {"frequency_mhz", OFTReal}, {"channel", OFTString},
         {"threshold", OFTReal}, {"threshold_source", OFTString}, {"cell_size_m", OFTInteger},
         {"grid_epsg", OFTInteger}, {"cells", OFTInteger64}, {"cells_good", OFTInteger64},
         {"cells_acceptable", OFTInteger64}, {"cells_poor", OFTInteger64},
         {"cells_insufficient", OFTInteger64}, {"cells_unclassified", OFTInteger64},
         {"distance_km", OFTReal}, {"distance_good_km", OFTReal},
         {"distance_acceptable_km", OFTReal}, {"distance_poor_km", OFTReal},
         {"distance_insufficient_km", OFTReal}, {"distance_unclassified_km", OFTReal},
         {"covered_cell_share", OFTReal}, {"covered_distance_share", OFTReal},
         {"positioned_samples", OFTInteger64}, {"stationary_samples_left_out", OFTInteger64}},
        error);
    if (!layer) return false;
    OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    std::int64_t count = 0;
    constexpr CoverageClass order[] = {CoverageClass::Good, CoverageClass::Acceptable, CoverageClass::Poor,
                                       CoverageClass::Insufficient, CoverageClass::None};
    for (const CoverageGroup& g : w.plan.groups) {
        for (std::size_t c = 0; c < g.channels.size(); ++c) {
            const CoverageChannel& ch = g.channels[c];
            const CoverageChannelSummary& s = g.summary[c];
            SetText(*f, 0, Utf8(g.standard));
            f->SetField(1, g.frequencyMHz);
            SetText(*f, 2, Utf8(ch.name));
            SetReal(*f, 3, ch.rule.hasThreshold ? ch.rule.threshold : NAN);
            if (ch.thresholdSource.empty()) f->SetFieldNull(4);
            else SetText(*f, 4, ch.thresholdSource);
            f->SetField(5, w.plan.grid.cellSize);
            f->SetField(6, w.plan.grid.zone.epsg());
            f->SetField(7, static_cast<GIntBig>(s.cellsTotal()));
            for (int k = 0; k < 5; ++k) f->SetField(8 + k, static_cast<GIntBig>(s.cells[static_cast<std::size_t>(order[k])]));
            f->SetField(13, s.distanceTotalKm());
            for (int k = 0; k < 5; ++k) f->SetField(14 + k, s.distanceKm[static_cast<std::size_t>(order[k])]);
            SetReal(*f, 19, s.coveredCellShare());
            SetReal(*f, 20, s.coveredDistanceShare());
            f->SetField(21, static_cast<GIntBig>(g.positionedSamples));
            f->SetField(22, static_cast<GIntBig>(g.stationarySkipped));
            if (!w.add(layer, *f, error)) return false;
            ++count;
        }
    }
    w.counts.push_back({"coverage_summary", count});
    return w.commit(error);
}

// The default styles, in the table and with the columns QGIS uses for them.
bool WriteStyles(Writer& w, bool withSamples, std::string& error) {
    OGRLayer* layer = w.ds->CreateLayer("layer_styles", nullptr, wkbNone,
                                        CPLStringList().SetNameValue("FID", "id").List());
    if (!layer) {
        error = "Could not create the layer layer_styles: " + GdalMessage();
        return false;
    }
    if (!AddFields(layer, {{"f_table_catalog", OFTString, OFSTNone, 256}, {"f_table_schema", OFTString, OFSTNone, 256},
                           {"f_table_name", OFTString, OFSTNone, 256}, {"f_geometry_column", OFTString, OFSTNone, 256},
                           {"styleName", OFTString, OFSTNone, 30}, {"styleQML", OFTString}, {"styleSLD", OFTString},
                           {"useAsDefault", OFTInteger, OFSTBoolean}, {"description", OFTString},
                           {"owner", OFTString, OFSTNone, 30}, {"ui", OFTString, OFSTNone, 30},
                           {"update_time", OFTDateTime}},
                   error) ||
        !w.begin(error))
        return false;
    const std::time_t now = static_cast<std::time_t>(std::time(nullptr));
    std::tm utc{};
    gmtime_r(&now, &utc);
    const struct {
        const char* table;
        std::string qml;
        const char* description;
    } styles[] = {{"cells", Gis_CellsStyle(), "Coverage classes in the KMZ map's colours"},
                  {"samples", Gis_SamplesStyle(), "Measured and filled-in positions"}};
    OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    for (const auto& s : styles) {
        if (!withSamples && std::string(s.table) == "samples") continue;
        SetText(*f, 0, "");
        SetText(*f, 1, "");
        SetText(*f, 2, s.table);
        SetText(*f, 3, kGeometryColumn);
        SetText(*f, 4, s.table);
        SetText(*f, 5, s.qml);
        SetText(*f, 6, "");
        f->SetField(7, 1);
        SetText(*f, 8, s.description);
        SetText(*f, 9, "");
        f->SetFieldNull(10);
        f->SetField(11, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                    static_cast<float>(utc.tm_sec), 100);
        if (!w.add(layer, *f, error)) return false;
    }
    return w.commit(error);
}

// The samples to the layer and then to the request's other reader.
class BothSinks : public CoverageSampleSink {
public:
    BothSinks(CoverageSampleSink* first, CoverageSampleSink* second) : first_(first), second_(second) {}
    bool writeSamples(const CoverageSamples& samples, std::string& error) override {
        return (!first_ || first_->writeSamples(samples, error)) && (!second_ || second_->writeSamples(samples, error));
    }

private:
    CoverageSampleSink* first_;
    CoverageSampleSink* second_;
};

std::string CountsText(const std::vector<GisLayerCount>& counts) {
    std::string text;
    for (const auto& c : counts) {
        if (!text.empty()) text += ", ";
        text += c.layer + " " + std::to_string(c.features);
    }
    return text;
}

}  // namespace

std::string Gis_DriverForPath(const std::string& path) {
    const std::string base = Lower(BaseName(path));
    auto ends = [&](const char* ext) {
        const std::string e = ext;
        return base.size() > e.size() && base.compare(base.size() - e.size(), e.size(), e) == 0;
    };
    if (ends(".gpkg")) return kGisGeoPackage;
    if (ends(".geojson") || ends(".json")) return kGisGeoJson;
    return {};
}

bool Gis_CheckTarget(const GisExportRequest& request, std::string& error) {
    const std::string driver = request.driver.empty() ? Gis_DriverForPath(request.path) : request.driver;
    if (driver != kGisGeoPackage && driver != kGisGeoJson) {
        error = "The output '" + request.path + "' must end in .gpkg or .geojson.";
        return false;
    }
    return Platform_CheckNewFile(request.path, request.overwrite, error);
}

namespace {

// The file lifecycle both exports share: the dataset under a temporary name
// beside the target, the layers written by fill, the file closed and renamed
// when complete; on a failure or cancel the temporary file is removed.
GisExportResult WriteFile(CoveragePlan& plan, const GisExportRequest& request, CoverageProgress* progress,
                          const std::function<bool()>& cancelled,
                          const std::function<bool(Writer&, std::string&)>& fill) {
    GisExportResult result;
    std::string error;
    if (!Gis_CheckTarget(request, error)) {
        result.outcome = GisOutcome::Failure;
        result.message = error;
        return result;
    }
    RegisterOnce();
    QuietGdal quiet;
    // The file is ours alone until it is renamed: SQLite need not wait for the disk after every commit.
    CPLSetThreadLocalConfigOption("OGR_SQLITE_SYNCHRONOUS", "OFF");
    const std::string driverName = request.driver.empty() ? Gis_DriverForPath(request.path) : request.driver;
    const std::string temporary = Platform_TemporaryNameBeside(request.path);
    Writer w(plan);
    w.cancelled = cancelled;
    w.progress = progress;
    w.geoPackage = driverName == kGisGeoPackage;

    auto fail = [&](const std::string& message) {
        w.owned.reset();
        std::remove(temporary.c_str());
        const bool userCancelled = cancelled && cancelled();
        result.outcome = userCancelled ? GisOutcome::Cancelled : GisOutcome::Failure;
        result.message = userCancelled ? kGisAborted : message;
        result.layers.clear();
        return result;
    };

    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.c_str());
    if (!driver) return fail("GDAL has no " + driverName + " driver.");
    w.owned.reset(driver->Create(temporary.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    w.ds = w.owned.get();
    if (!w.ds) return fail("Could not create '" + request.path + "': " + GdalMessage());
    if (!fill(w, error)) return fail(error);
    // Closing writes what GDAL still holds (the spatial indexes, GeoJSON's end).
    CPLErrorReset();
    w.owned.reset();
    if (progress) progress->setProgress(100);
    if (CPLGetLastErrorType() == CE_Failure) return fail("Could not write '" + request.path + "': " + GdalMessage());
    if (cancelled && cancelled()) return fail(kGisAborted);
    if (request.beforeRename && !request.beforeRename(error)) return fail(error);
    if (std::rename(temporary.c_str(), request.path.c_str()) != 0)
        return fail("Could not rename the finished file to '" + request.path + "'.");
    result.layers = w.counts;
    result.message = "Coverage written to " + request.path + " (" + CountsText(w.counts) + ").";
    return result;
}

}  // namespace

GisExportResult Gis_Export(CoveragePlan& plan, const GisExportRequest& request, CoverageProgress* progress,
                           const std::function<bool()>& cancelled) {
    GisExportResult result = WriteFile(plan, request, progress, cancelled, [&](Writer& w, std::string& error) {
        SamplesLayer samples(w);
        if (w.geoPackage && (!samples.create(error) || !w.begin(error))) return false;
        BothSinks sinks(w.geoPackage ? &samples : nullptr, request.alsoSamples);
        const CoverageOutcome run = Coverage_Run(plan, &sinks, progress, cancelled, error);
        if (run != CoverageOutcome::Done) return false;
        if (w.geoPackage) {
            if (!w.commit(error)) return false;
            w.counts.push_back({"samples", samples.count()});
        }
        if (progress) {
            progress->showStep(w.geoPackage ? "Writing the cells and tables" : "Writing the cells");
            progress->setProgress(0);
        }
        if (!WriteCells(w, error)) return false;
        return !w.geoPackage || (WriteDrives(w, error) && WriteSummary(w, error) && WriteStyles(w, true, error));
    });
    if (result.outcome != GisOutcome::Success) return result;
    const std::int64_t skipped = plan.skippedSamples();
    if (skipped == 1) result.message += " 1 damaged sample was skipped.";
    else if (skipped > 1) result.message += " " + std::to_string(skipped) + " damaged samples were skipped.";
    return result;
}

GisExportResult Gis_ExportComputed(CoveragePlan& plan, const GisExportRequest& request, const GisLayerWriter& addLayers) {
    GisExportRequest gpkg = request;
    gpkg.driver = kGisGeoPackage;
    if (Gis_DriverForPath(request.path) != kGisGeoPackage) {
        GisExportResult result;
        result.outcome = GisOutcome::Failure;
        result.message = "The output '" + request.path + "' must end in .gpkg.";
        return result;
    }
    return WriteFile(plan, gpkg, nullptr, {}, [&](Writer& w, std::string& error) {
        if (!WriteCells(w, error) || !WriteSummary(w, error)) return false;
        if (addLayers && !addLayers(*w.ds, w.counts, error)) return false;
        return WriteStyles(w, false, error);
    });
}

bool Gis_WriteResultTables(GDALDataset& ds, CoveragePlan& plan, std::vector<GisLayerCount>& counts,
                           std::string& error) {
    RegisterOnce();
    QuietGdal quiet;
    Writer w(plan);
    w.ds = &ds;
    w.database = std::string(ds.GetDriverName()) == kGisPostgres;
    if (WriteCells(w, error) && WriteSummary(w, error)) {
        counts.insert(counts.end(), w.counts.begin(), w.counts.end());
        return true;
    }
    w.abort();
    return false;
}
