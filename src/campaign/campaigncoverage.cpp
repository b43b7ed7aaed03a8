#include "campaign/campaigncoverage.h"

#include <cpl_conv.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "coverage/thresholds.h"
#include "platform/text.h"
#include "records/recordtypes.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kPerChannel = 7;  // n, min, max, mean, median, stddev, meeting the threshold

struct ColumnInfo {
    std::string column;
    int ratingKind = 0;
    bool level = false;
};

struct Drive {
    std::int64_t id = 0;
    std::string standard;  // UTF-8
    double mhz = 0.0;
    std::vector<std::string> channels;  // UTF-8
    std::string levelUnit;  // UTF-8, empty without level channel
    double impedance = 50.0;
    bool hasK = false;
    double k = 0.0;
};

std::string Latin1(const std::string& utf8) { return Text_Utf8ToLatin1(utf8); }

double Real(OGRFeature& f, int i) { return f.IsFieldSetAndNotNull(i) ? f.GetFieldAsDouble(i) : kNaN; }

bool ReadColumns(CampaignDb& db, std::map<std::string, ColumnInfo>& columns, std::string& error) {
    return Campaign_Query(db, "SELECT channel, column_name, rating_kind, level FROM sample_columns", [&](OGRFeature& f) {
        columns[f.GetFieldAsString(0)] = {f.GetFieldAsString(1), f.GetFieldAsInteger(2), f.GetFieldAsInteger(3) != 0};
        return true;
    }, error);
}

bool ReadDrives(CampaignDb& db, const CampaignSelection& selection, std::vector<Drive>& drives, std::string& error) {
    return Campaign_Query(
        db,
        "SELECT drive_id, standard, frequency_mhz, channels, level_unit, input_impedance_ohm, level_k_factor_db_m "
        "FROM drives WHERE " + Campaign_DriveCondition(selection) + " ORDER BY drive_id",
        [&](OGRFeature& f) {
            Drive d;
            d.id = f.GetFieldAsInteger64(0);
            d.standard = f.GetFieldAsString(1);
            d.mhz = f.GetFieldAsDouble(2);
            if (char** list = f.GetFieldAsStringList(3))
                for (; *list; ++list) d.channels.emplace_back(*list);
            d.levelUnit = f.IsFieldSetAndNotNull(4) ? f.GetFieldAsString(4) : "";
            d.impedance = f.GetFieldAsDouble(5);
            d.hasK = f.IsFieldSetAndNotNull(6);
            d.k = d.hasK ? f.GetFieldAsDouble(6) : 0.0;
            drives.push_back(std::move(d));
            return true;
        },
        error);
}

// The groups (standard and frequency) of the selected drives with their
// channels in order of appearance, and the files whose level facts convert a
// level threshold. groupColumns holds each group's channel columns.
bool BuildPlan(const std::vector<Drive>& drives, const std::map<std::string, ColumnInfo>& columns,
               const CampaignCoverageOptions& options, CoveragePlan& plan,
               std::vector<std::vector<std::string>>& groupColumns, std::string& error) {
    plan.options.cellSize = options.cellSize;
    plan.options.minSamples = options.minSamples;
    plan.options.keepStationary = options.keepStationary;
    plan.options.thresholds = options.thresholds;
    plan.options.withoutThreshold = options.withoutThreshold;
    std::set<std::string> units;
    for (const Drive& d : drives) {
        std::size_t g = 0;
        while (g < plan.groups.size() &&
               (plan.groups[g].standard != Latin1(d.standard) || plan.groups[g].frequencyMHz != d.mhz))
            ++g;
        if (g == plan.groups.size()) {
            CoverageGroup group;
            group.standard = Latin1(d.standard);
            group.frequencyMHz = d.mhz;
            group.frequencyText = Text_Format("%.6f MHz", d.mhz);
            plan.groups.push_back(std::move(group));
            groupColumns.emplace_back();
        }
        CoverageGroup& group = plan.groups[g];
        for (const std::string& name : d.channels) {
            const auto it = columns.find(name);
            if (it == columns.end()) continue;
            const std::string latin1 = Latin1(name);
            const bool known = std::any_of(group.channels.begin(), group.channels.end(),
                                           [&](const CoverageChannel& c) { return c.name == latin1; });
            if (known) continue;
            group.channels.push_back(Coverage_MakeChannel(group.standard, latin1, it->second.level,
                                                          it->second.ratingKind, options.minSamples));
            groupColumns[g].push_back(it->second.column);
        }
        CoverageFile file;
        file.group = static_cast<int>(g);
        file.entry.levelIndex = d.levelUnit.empty() ? -1 : 0;
        file.entry.inputNumber = d.impedance;
        file.entry.kFactor = d.k;
        file.entry.kFactorText = d.hasK ? Text_Format("%g", d.k) : "";
        group.files.push_back(plan.files.size());
        plan.files.push_back(std::move(file));
        if (!d.levelUnit.empty()) units.insert(d.levelUnit);
    }
    plan.levelUnit = units.empty() ? kKmzUnitDbuV : KmzLevel_ParseUnit(*units.begin());
    if (units.size() > 1) {
        // A level threshold has one unit; levels stored in several cannot all be judged against it.
        for (const std::string& text : options.thresholds) {
            ThresholdEntry entry;
            if (!Threshold_Parse(text, entry, error)) return false;
            for (const CoverageGroup& g : plan.groups)
                for (const CoverageChannel& c : g.channels)
                    if (c.level && Threshold_Names(entry.channel, c.name)) {
                        error = "The selected drives hold levels in different units (" + *units.begin() + ", " +
                                *std::next(units.begin()) +
                                "): select them by --standard or --frequency, or import them with one --unit.";
                        return false;
                    }
        }
    }
    return Coverage_ApplyThresholds(plan, error);
}

std::string Meets(const std::string& column, const CoverageRule& rule) {
    const std::string t = Campaign_SqlNumber(rule.threshold);
    switch (rule.ratingKind) {
        case 1: return column + " <= " + t;
        case 2: return "abs(" + column + ") <= abs(" + t + ")";
        default: return column + " >= " + t;
    }
}

// One group's cells: per cell the positioned samples, those left out as
// standing, the counted samples and filled-in positions, per channel the
// aggregates, and the driven distance. The great-circle distance is written
// as the track's own (haversine on a 6371 km sphere), term for term.
std::string GroupSql(const CampaignSelection& selection, const CoveragePlan& plan, const CoverageGroup& group,
                     const std::vector<std::string>& columns) {
    const std::string size = std::to_string(plan.grid.cellSize);
    const std::string counted = plan.options.keepStationary ? "TRUE" : "NOT stationary";
    std::string names;
    for (const std::string& c : columns) names += ", " + Campaign_SqlName(c);
    std::string sql =
        "WITH s AS MATERIALIZED (SELECT drive_id, sample_index, ST_X(geom) AS lon, ST_Y(geom) AS lat, "
        "floor(ST_X(p) / " + size + ")::bigint AS cx, floor(ST_Y(p) / " + size + ")::bigint AS cy, "
        "gap_filled, " + counted + " AS counted, status = " + Campaign_SqlText(kStatusNoError) + " AS ok" + names +
        " FROM (SELECT *, ST_Transform(geom, " + std::to_string(plan.grid.zone.epsg()) + ") AS p FROM samples WHERE " +
        Campaign_SampleCondition(selection) + " AND standard = " + Campaign_SqlText(Text_Latin1ToUtf8(group.standard)) +
        " AND frequency_mhz = " + Campaign_SqlNumber(group.frequencyMHz) + ") q), "
        "agg AS (SELECT cx, cy, count(*) AS positioned, count(*) FILTER (WHERE NOT counted) AS left_out, "
        "count(*) FILTER (WHERE counted) AS samples, count(*) FILTER (WHERE counted AND gap_filled) AS gap";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string v = Campaign_SqlName(columns[c]);
        const std::string valid = " FILTER (WHERE counted AND ok AND " + v + " IS NOT NULL)";
        const CoverageRule& rule = group.channels[c].rule;
        // Every result column has a name of its own: GDAL fills a result's fields by name.
        const std::string k = std::to_string(c);
        sql += ", count(" + v + ")" + valid + " AS n_" + k + ", min(" + v + ")" + valid + " AS min_" + k + ", max(" + v +
               ")" + valid + " AS max_" + k + ", avg(" + v + ")" + valid + " AS mean_" + k +
               ", percentile_cont(0.5) WITHIN GROUP (ORDER BY " + v + ")" + valid + " AS median_" + k +
               ", stddev_samp(" + v + ")" + valid + " AS sd_" + k + ", " +
               (rule.hasThreshold ? "count(*) FILTER (WHERE counted AND ok AND " + Meets(v, rule) + ")" : "0") +
               " AS ok_" + k;
    }
    sql +=
        " FROM s GROUP BY cx, cy), "
        "steps AS (SELECT cx, cy, lag(cx) OVER w AS pcx, lag(cy) OVER w AS pcy, lon, lat, lag(lon) OVER w AS plon, "
        "lag(lat) OVER w AS plat, sample_index, lag(sample_index) OVER w AS pindex FROM s "
        "WINDOW w AS (PARTITION BY drive_id ORDER BY sample_index)), "
        "hav AS (SELECT cx, cy, pcx, pcy, greatest(0.0, least(1.0, "
        "sin((lat - plat) * pi() / 180.0 / 2.0) * sin((lat - plat) * pi() / 180.0 / 2.0) + "
        "cos(plat * pi() / 180.0) * cos(lat * pi() / 180.0) * sin((lon - plon) * pi() / 180.0 / 2.0) * "
        "sin((lon - plon) * pi() / 180.0 / 2.0))) AS a FROM steps WHERE pindex = sample_index - 1), "
        "km AS (SELECT cx, cy, pcx, pcy, 6371.0 * 2.0 * atan2(sqrt(a), sqrt(1.0 - a)) / 2.0 AS half FROM hav), "
        "dist AS (SELECT cx, cy, sum(half) AS km FROM (SELECT cx, cy, half FROM km UNION ALL "
        "SELECT pcx, pcy, half FROM km) h GROUP BY cx, cy) "
        "SELECT agg.*, dist.km FROM agg LEFT JOIN dist USING (cx, cy) ORDER BY cx, cy";
    return sql;
}

// Reads one group's cells and judges them; the summary counts cells and
// distance by class as the file export does.
bool RunGroup(CampaignDb& db, const CampaignSelection& selection, CoveragePlan& plan, CoverageGroup& group,
              const std::vector<std::string>& columns, std::string& error) {
    const std::size_t channels = group.channels.size();
    std::vector<std::pair<CellIndex, double>> distance;  // km per cell, over every positioned cell
    const bool ok = Campaign_Query(db, GroupSql(selection, plan, group, columns), [&](OGRFeature& f) {
        const CellIndex index{f.GetFieldAsInteger64(0), f.GetFieldAsInteger64(1)};
        group.positionedSamples += f.GetFieldAsInteger64(2);
        group.stationarySkipped += f.GetFieldAsInteger64(3);
        const int kmField = 6 + kPerChannel * static_cast<int>(channels);
        if (f.IsFieldSetAndNotNull(kmField)) distance.push_back({index, f.GetFieldAsDouble(kmField)});
        if (f.GetFieldAsInteger64(4) == 0) return true;  // only samples standing still: no cell
        CoverageCell cell;
        cell.index = index;
        cell.samples = static_cast<std::int32_t>(f.GetFieldAsInteger64(4));
        cell.gapFilled = static_cast<std::int32_t>(f.GetFieldAsInteger64(5));
        for (std::size_t c = 0; c < channels; ++c) {
            const int at = 6 + kPerChannel * static_cast<int>(c);
            ChannelStatistics s;
            s.n = f.GetFieldAsInteger(at);
            s.min = Real(f, at + 1);
            s.max = Real(f, at + 2);
            s.mean = Real(f, at + 3);
            s.median = Real(f, at + 4);
            s.stddev = Real(f, at + 5);
            Coverage_Judge(s, static_cast<std::size_t>(f.GetFieldAsInteger64(at + 6)), group.channels[c].rule);
            cell.channels.push_back(s);
        }
        group.cells.push_back(std::move(cell));
        return true;
    }, error);
    if (!ok) return false;
    group.summary.assign(channels, CoverageChannelSummary{});
    for (const CoverageCell& cell : group.cells)
        for (std::size_t c = 0; c < channels; ++c) ++group.summary[c].cells[static_cast<std::size_t>(cell.channels[c].cls)];
    for (const auto& [index, km] : distance) {
        const auto it = std::lower_bound(group.cells.begin(), group.cells.end(), index,
                                         [](const CoverageCell& c, const CellIndex& i) { return c.index < i; });
        const bool found = it != group.cells.end() && it->index == index;
        for (std::size_t c = 0; c < channels; ++c)
            group.summary[c].distanceKm[static_cast<std::size_t>(found ? it->channels[c].cls : CoverageClass::None)] += km;
    }
    return true;
}

// The zone of the centre of the recorded positions (longitudes averaged on the circle).
bool ChooseGrid(CampaignDb& db, const CampaignSelection& selection, CoveragePlan& plan, std::string& error) {
    std::int64_t recorded = 0, any = 0;
    double lat = 0.0, sx = 0.0, sy = 0.0;
    if (!Campaign_Query(db,
                        "SELECT count(*) AS selected, count(*) FILTER (WHERE NOT gap_filled) AS recorded, "
                        "avg(ST_Y(geom)) FILTER (WHERE NOT gap_filled) AS lat, "
                        "sum(cos(radians(ST_X(geom)))) FILTER (WHERE NOT gap_filled) AS sx, "
                        "sum(sin(radians(ST_X(geom)))) FILTER (WHERE NOT gap_filled) AS sy FROM samples WHERE " +
                            Campaign_SampleCondition(selection),
                        [&](OGRFeature& f) {
                            any = f.GetFieldAsInteger64(0);
                            recorded = f.GetFieldAsInteger64(1);
                            lat = f.GetFieldAsDouble(2);
                            sx = f.GetFieldAsDouble(3);
                            sy = f.GetFieldAsDouble(4);
                            return false;
                        },
                        error))
        return false;
    if (any == 0 || recorded == 0) {
        error = any == 0 ? kCampaignNoMatch : kCoverageNoPosition;
        return false;
    }
    constexpr double kDegree = 3.14159265358979323846 / 180.0;
    plan.grid.cellSize = plan.options.cellSize;
    plan.grid.zone = Utm_ZoneOf(lat, std::atan2(sy, sx) / kDegree);
    plan.gridChosen = true;
    return true;
}

}  // namespace

bool Campaign_Coverage(CampaignDb& db, const CampaignCoverageOptions& options, CoveragePlan& plan,
                       CoverageProgress* progress, std::string& error) {
    plan = CoveragePlan{};
    CampaignQuietGdal quiet;
    if (!Grid_IsCellSize(options.cellSize)) {
        error = "The cell size must be 25, 50, 100 or 200 m.";
        return false;
    }
    bool present = false;
    if (!Campaign_Query(db, "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND tablename = 'samples'",
                        [&](OGRFeature&) { return present = true, false; }, error))
        return false;
    if (!present) {
        error = kCampaignEmpty;
        return false;
    }
    std::map<std::string, ColumnInfo> columns;
    std::vector<Drive> drives;
    std::vector<std::vector<std::string>> groupColumns;
    if (!ReadColumns(db, columns, error) || !ReadDrives(db, options.selection, drives, error)) return false;
    if (drives.empty()) {
        error = kCampaignNoMatch;
        return false;
    }
    if (!BuildPlan(drives, columns, options, plan, groupColumns, error)) return false;
    // JIT compiling the aggregation costs seconds and saves nothing on a scan like this one (the planner
    // prices ST_Transform high); the sorts of the percentiles stay in memory.
    if (!Campaign_Exec(db, "SET jit = off", error) || !Campaign_Exec(db, "SET work_mem = '256MB'", error)) return false;
    if (progress) progress->showStep("Choosing the grid");
    if (!ChooseGrid(db, options.selection, plan, error)) return false;
    CPLSetThreadLocalConfigOption("PG_USE_COPY", "YES");
    for (std::size_t g = 0; g < plan.groups.size(); ++g) {
        if (progress) {
            progress->showStep(Text_Format("Frequency %zu of %zu: cells in the database", g + 1, plan.groups.size()));
            progress->setProgress(0);
        }
        if (!RunGroup(db, options.selection, plan, plan.groups[g], groupColumns[g], error)) return false;
    }
    // A drive of the span whose samples all lie outside it leaves its group empty.
    for (std::size_t g = plan.groups.size(); g-- > 0;)
        if (plan.groups[g].positionedSamples == 0) plan.groups.erase(plan.groups.begin() + static_cast<std::ptrdiff_t>(g));
    if (progress) progress->showStep("Writing the cells and the summary into the database");
    std::vector<GisLayerCount> counts;
    if (!Gis_WriteResultTables(*db.ds, plan, counts, error)) {
        error = "Could not write the coverage into the database: " + error;
        return false;
    }
    return true;
}

GisExportResult Campaign_WriteGeoPackage(CampaignDb& db, CoveragePlan& plan, const CampaignSelection& selection,
                                         const GisExportRequest& request) {
    CampaignQuietGdal quiet;
    return Gis_ExportComputed(plan, request, [&](GDALDataset& ds, std::vector<GisLayerCount>& counts, std::string& error) {
        const std::string sql =
            "SELECT file, path, description, standard, frequency_mhz, analyzer_type, serial_number, "
            "firmware_version, input, antenna, k_factor_db_m, created_utc, software_version, level_unit, "
            "level_offset_db, sample_count, skipped_samples, positioned_samples, start_utc, end_utc, content_sha256 "
            "FROM drives WHERE " + Campaign_DriveCondition(selection) + " ORDER BY drive_id";
        OGRLayer* drives = db.ds->ExecuteSQL(sql.c_str(), nullptr, nullptr);
        if (!drives) {
            error = "Could not read the drives: " + Campaign_LastError();
            return false;
        }
        const char* options[] = {"FID=fid", "DESCRIPTION=One row per record file of the campaign", nullptr};
        OGRLayer* copy = ds.CopyLayer(drives, "drives", const_cast<char**>(options));
        const std::int64_t n = copy ? copy->GetFeatureCount() : 0;
        db.ds->ReleaseResultSet(drives);
        if (!copy) {
            error = "Could not write the drives: " + Campaign_LastError();
            return false;
        }
        counts.push_back({"drives", n});
        return true;
    });
}
