#include "campaign/campaignimport.h"

#include <cpl_conv.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "campaign/filekey.h"
#include "export/gis/gisfields.h"
#include "platform/text.h"
#include "records/recording.h"

namespace {

// Two importers that bring the same new channel add its column one after the other.
constexpr const char* kColumnLock = "SELECT pg_advisory_xact_lock(7350302)";
constexpr int kCancelEvery = 1024;

const std::vector<std::string> kFixedColumns = {"fid",        "drive_id",      "sample_index", "file",
                                                "standard",   "frequency_mhz", "time_utc",     "gap_filled",
                                                "stationary", "speed_kmh",     "status",       "geom"};

std::string Utf8(std::string_view latin1) { return Text_Latin1ToUtf8(latin1); }

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Channel {
    std::string name;  // Latin-1, as the loader names it
    int ratingKind = 0;
    bool level = false;
};

// channel (UTF-8) -> column of the samples table
using ColumnMap = std::map<std::string, std::string>;

bool ReadColumns(CampaignDb& db, ColumnMap& columns, std::string& error) {
    columns.clear();
    return Campaign_Query(db, "SELECT channel, column_name FROM sample_columns", [&](OGRFeature& f) {
        columns[f.GetFieldAsString(0)] = f.GetFieldAsString(1);
        return true;
    }, error);
}

// Gives every channel a column of the samples table, adding the missing ones
// in a transaction of their own under a lock (schema changes never sit inside
// a file's transaction, where they would hold up every other importer).
bool EnsureColumns(CampaignDb& db, const std::vector<Channel>& channels, ColumnMap& columns, std::string& error) {
    auto missing = [&] {
        std::vector<Channel> m;
        for (const Channel& c : channels)
            if (!columns.count(Utf8(c.name))) m.push_back(c);
        return m;
    };
    if (missing().empty()) return true;
    if (!Campaign_Begin(db, error)) return false;
    bool ok = Campaign_Exec(db, kColumnLock, error) && ReadColumns(db, columns, error);
    const std::vector<Channel> add = ok ? missing() : std::vector<Channel>{};
    std::vector<std::string> taken = kFixedColumns, names;
    for (const auto& [channel, column] : columns) taken.push_back(column);
    for (const Channel& c : add) names.push_back(c.name);
    const std::vector<std::string> fields = Gis_UniqueFieldNames(names, taken);
    for (std::size_t i = 0; ok && i < add.size(); ++i) {
        const std::string channel = Utf8(add[i].name), column = Campaign_SqlName(fields[i]);
        ok = Campaign_Exec(db,
                           "INSERT INTO sample_columns (column_name, channel, rating_kind, level) VALUES (" +
                               Campaign_SqlText(fields[i]) + ", " + Campaign_SqlText(channel) + ", " +
                               std::to_string(add[i].ratingKind) + ", " + (add[i].level ? "TRUE" : "FALSE") + ")",
                           error) &&
             Campaign_Exec(db, "ALTER TABLE samples ADD COLUMN IF NOT EXISTS " + column + " double precision", error) &&
             Campaign_Exec(db, "COMMENT ON COLUMN samples." + column + " IS " + Campaign_SqlText(channel), error);
        if (ok) columns[channel] = fields[i];
    }
    if (ok && Campaign_Commit(db, error)) return true;
    Campaign_Rollback(db);
    return false;
}

// The loaded file and what its rows need.
struct LoadedFile {
    KmzDataSet data;
    std::vector<Channel> channels;
    std::vector<std::uint8_t> standing;  // left out of the statistics as standing still
    std::int64_t positioned = 0;
    double first = NAN, last = NAN;  // sample times, local
};

class FileProgress : public KmzLoadView {
public:
    FileProgress(CoverageProgress* p, std::size_t file, std::size_t files) : progress_(p) {
        if (progress_) progress_->showStep(Text_Format("File %zu of %zu", file + 1, files));
    }
    void showLoadLabel(const std::string&) override {}
    void setLoadProgress(int percent) override { set(percent / 2); }  // reading is the first half
    void set(int percent) {
        if (progress_ && percent != last_) progress_->setProgress(last_ = percent);
    }

private:
    CoverageProgress* progress_;
    int last_ = -1;
};

std::string OneLine(std::string m) {
    const std::string prefix = kKmzFailurePrefix;
    if (m.rfind(prefix, 0) == 0) m.erase(0, prefix.size());
    for (char& c : m)
        if (c == '\n') c = ' ';
    return m;
}

KmzLoadOutcome LoadFile(const CoveragePlan& plan, const CoverageFile& file, FileProgress& view,
                        const std::function<bool()>& cancelled, LoadedFile& out, std::string& error) {
    KmzSourceFile source;
    source.entry = file.entry;
    source.level = file.level;
    if (!KmzLoad_ReadHeaders({source}, plan.levelUnit, ".", out.data, error)) {
        error = OneLine(error);
        return KmzLoadOutcome::Failed;
    }
    KmzLoad_DropTracesAndTexts(out.data);
    const KmzLoadOutcome loaded = KmzLoad_ReadSamples(out.data, &view, cancelled);
    if (loaded != KmzLoadOutcome::Loaded) {
        error = loaded == KmzLoadOutcome::OutOfMemory ? kCoverageOutOfMemory : kCoverageNoSamples;
        return loaded;
    }
    for (const DtrValueDescriptor& v : out.data.values)
        out.channels.push_back({std::string(Text_View(v.longName)), v.displayKind, Text_View(v.name) == "Level"});
    const auto& samples = out.data.samples;
    out.standing = Coverage_StandingRepeats(Coverage_TrackSpeeds(samples, 0, samples.size()));
    for (const KmzSample& s : samples) {
        if (s.position != kKmzNoPosition) ++out.positioned;
        if (std::isnan(out.first) || s.time < out.first) out.first = s.time;
        if (std::isnan(out.last) || s.time > out.last) out.last = s.time;
    }
    return KmzLoadOutcome::Loaded;
}

std::string UtcLiteral(GisUtcClock& clock, double local) {
    return std::isfinite(local) ? Campaign_SqlText(Gis_UtcText(clock.toUtc(local))) : "NULL";
}

// The drive row, inserted unless a row of the same content is there; its id, or 0 when it was.
bool InsertDrive(CampaignDb& db, const CoveragePlan& plan, const CoverageFile& file, const CampaignFileKey& key,
                 const LoadedFile& loaded, std::int64_t& driveId, std::string& error) {
    const RecordFileEntry& e = file.entry;
    const CoverageGroup& g = plan.groups[static_cast<std::size_t>(file.group)];
    const KmzLoadedFile& lf = loaded.data.files.front();
    GisUtcClock clock;
    LocalDateTime created;
    const std::string antenna = Gis_InfoValue(lf.info, "Antenna", "Type");
    const bool hasLevel = e.levelIndex >= 0;
    const bool hasK = file.level.manualKFactorUsed || !e.kFactorText.empty();
    std::string channels = "ARRAY[";
    for (std::size_t i = 0; i < loaded.channels.size(); ++i)
        channels += (i ? ", " : "") + Campaign_SqlText(Utf8(loaded.channels[i].name));
    channels += "]::text[]";
    auto text = [](const std::string& latin1) { return Campaign_SqlText(Utf8(latin1)); };
    const std::vector<std::string> values = {
        Campaign_SqlText(key.sha256),
        std::to_string(key.size),
        text(BaseName(e.path)),
        text(e.path),
        text(e.description),
        text(e.standard),
        Campaign_SqlNumber(g.frequencyMHz),
        text(e.type),
        text(Gis_InfoValue(lf.info, "TV Analyzer", "Serial number")),
        text(Gis_InfoValue(lf.info, "TV Analyzer", "Firmware version")),
        text(e.input),
        antenna.empty() ? "NULL" : text(antenna),
        e.kFactorText.empty() ? "NULL" : Campaign_SqlNumber(e.kFactor),
        DateTime_ParseText(e.created, created) ? UtcLiteral(clock, DateTime_Make(created)) : "NULL",
        text(e.softwareVersion),
        hasLevel ? Campaign_SqlText(Utf8(KmzLevel_UnitName(plan.levelUnit))) : "NULL",
        hasLevel ? Campaign_SqlNumber(file.level.levelOffset) : "NULL",
        std::to_string(lf.sampleCount),
        std::to_string(lf.skippedSamples),
        std::to_string(loaded.positioned),
        UtcLiteral(clock, loaded.first),
        UtcLiteral(clock, loaded.last),
        Campaign_SqlNumber(e.inputNumber),
        hasK ? Campaign_SqlNumber(file.level.manualKFactorUsed ? file.level.manualKFactor : e.kFactor) : "NULL",
        channels,
    };
    std::string sql =
        "INSERT INTO drives (content_sha256, file_size, file, path, description, standard, frequency_mhz, "
        "analyzer_type, serial_number, firmware_version, input, antenna, k_factor_db_m, created_utc, "
        "software_version, level_unit, level_offset_db, sample_count, skipped_samples, positioned_samples, "
        "start_utc, end_utc, input_impedance_ohm, level_k_factor_db_m, channels) VALUES (";
    for (std::size_t i = 0; i < values.size(); ++i) sql += (i ? ", " : "") + values[i];
    sql += ") ON CONFLICT (content_sha256) DO NOTHING RETURNING drive_id";
    driveId = 0;
    return Campaign_Query(db, sql, [&](OGRFeature& f) {
        driveId = f.GetFieldAsInteger64(0);
        return false;
    }, error);
}

// Every positioned sample of the file as a row of the samples table.
bool WriteSamples(CampaignDb& db, const CoveragePlan& plan, const CoverageFile& file, const LoadedFile& loaded,
                  const ColumnMap& columns, std::int64_t driveId, FileProgress& view,
                  const std::function<bool()>& cancelled, std::string& error) {
    OGRLayer* layer = db.ds->GetLayerByName("samples");
    if (!layer) {
        error = "The database has no samples table: " + Campaign_LastError();
        return false;
    }
    OGRFeatureDefn* defn = layer->GetLayerDefn();
    auto field = [&](const char* name) { return defn->GetFieldIndex(name); };
    const int fDrive = field("drive_id"), fIndex = field("sample_index"), fFile = field("file"),
              fStandard = field("standard"), fFrequency = field("frequency_mhz"), fTime = field("time_utc"),
              fGap = field("gap_filled"), fStanding = field("stationary"), fSpeed = field("speed_kmh"),
              fStatus = field("status");
    std::vector<int> channelField;
    for (const Channel& c : loaded.channels) channelField.push_back(field(columns.at(Utf8(c.name)).c_str()));
    const KmzDataSet& data = loaded.data;
    std::vector<std::string> states;
    for (const auto& t : data.statusTexts) states.push_back(Utf8(t));
    const std::string name = Utf8(BaseName(file.entry.path)), standard = Utf8(file.entry.standard);
    const double mhz = plan.groups[static_cast<std::size_t>(file.group)].frequencyMHz;
    GisUtcClock clock;
    OGRFeatureUniquePtr f(OGRFeature::CreateFeature(defn));
    OGRPoint point;
    std::int32_t index = 0;
    for (std::size_t i = 0; i < data.samples.size(); ++i) {
        const KmzSample& s = data.samples[i];
        if (s.position == kKmzNoPosition) continue;
        if (index % kCancelEvery == 0) {
            if (cancelled && cancelled()) {
                error = "cancelled";
                return false;
            }
            view.set(50 + static_cast<int>(50 * index / std::max<std::int64_t>(1, loaded.positioned)));
        }
        point.setX(s.longitude);
        point.setY(s.latitude);
        f->SetFID(OGRNullFID);
        f->SetGeometry(&point);
        f->SetField(fDrive, static_cast<GIntBig>(driveId));
        f->SetField(fIndex, index++);
        f->SetField(fFile, name.c_str());
        f->SetField(fStandard, standard.c_str());
        f->SetField(fFrequency, mhz);
        const GisUtc t = clock.toUtc(s.time);
        f->SetField(fTime, t.year, t.month, t.day, t.hour, t.minute, static_cast<float>(t.second), 100);
        f->SetField(fGap, s.position == kKmzInterpolatedPosition ? 1 : 0);
        f->SetField(fStanding, loaded.standing[i] ? 1 : 0);
        if (s.speed >= 0.0) f->SetField(fSpeed, s.speed);
        else f->SetFieldNull(fSpeed);
        f->SetField(fStatus, states[static_cast<std::size_t>(s.status)].c_str());
        for (std::size_t c = 0; c < channelField.size(); ++c) {
            const double* e = data.valueEntry(i, c);
            if (e[0] == 1.0 && std::isfinite(e[1])) f->SetField(channelField[c], e[1]);
            else f->SetFieldNull(channelField[c]);
        }
        if (layer->CreateFeature(f.get()) != OGRERR_NONE) {
            error = Campaign_LastError();
            return false;
        }
    }
    return true;
}

bool ColumnsKnown(CampaignDb& db, const std::vector<Channel>& channels, const ColumnMap& columns) {
    OGRLayer* layer = db.ds->GetLayerByName("samples");
    if (!layer) return false;
    for (const Channel& c : channels)
        if (layer->GetLayerDefn()->GetFieldIndex(columns.at(Utf8(c.name)).c_str()) < 0) return false;
    return true;
}

}  // namespace

CampaignImportOutcome Campaign_Import(CampaignDb& db, const std::vector<std::string>& paths,
                                      const CampaignImportOptions& options, CoverageProgress* progress,
                                      const std::function<bool()>& cancelled, std::vector<CampaignFileResult>& results,
                                      std::string& error) {
    results.clear();
    CampaignQuietGdal quiet;
    CoverageOptions coverage;
    coverage.levelUnit = options.levelUnit;
    coverage.manual = options.manual;
    CoveragePlan plan;
    if (!Coverage_Open(paths, coverage, plan, error)) return CampaignImportOutcome::Failed;
    if (!Campaign_EnsureSchema(db, error)) return CampaignImportOutcome::Failed;
    ColumnMap columns;
    if (!ReadColumns(db, columns, error)) return CampaignImportOutcome::Failed;
    // Rows go to the server as one COPY stream per file.
    CPLSetThreadLocalConfigOption("PG_USE_COPY", "YES");

    bool anyFailed = false;
    // A database failure ends the import: the file in hand is reported with it.
    auto stop = [&](CampaignFileResult& r, const std::string& why) {
        r.message = error;
        results.push_back(r);
        error = why + error;
        return CampaignImportOutcome::Failed;
    };
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        const CoverageFile& file = plan.files[i];
        CampaignFileResult r;
        r.path = file.entry.path;
        FileProgress view(progress, i, plan.files.size());
        CampaignFileKey key;
        if (!Campaign_FileKey(file.entry.path, key, r.message)) {
            results.push_back(r);
            anyFailed = true;
            continue;
        }
        bool present = false;
        if (!Campaign_Query(db, "SELECT 1 FROM drives WHERE content_sha256 = " + Campaign_SqlText(key.sha256),
                            [&](OGRFeature&) { return present = true, false; }, error))
            return stop(r, "The import stopped at " + r.path + ": ");
        if (present) {
            r.state = CampaignFileState::AlreadyThere;
            results.push_back(r);
            continue;
        }
        LoadedFile loaded;
        const KmzLoadOutcome load = LoadFile(plan, file, view, cancelled, loaded, r.message);
        if (load == KmzLoadOutcome::Cancelled) {
            error = "The import was cancelled before " + r.path + "; the files before it are in the database.";
            return CampaignImportOutcome::Cancelled;
        }
        if (load != KmzLoadOutcome::Loaded) {
            r.message = r.path + ": " + r.message;
            results.push_back(r);
            anyFailed = true;
            continue;
        }
        if (!EnsureColumns(db, loaded.channels, columns, error) ||
            (!ColumnsKnown(db, loaded.channels, columns) && !Campaign_Reopen(db, error)))
            return stop(r, "The import stopped at " + r.path + ": ");

        std::int64_t driveId = 0;
        if (!Campaign_Begin(db, error) || !InsertDrive(db, plan, file, key, loaded, driveId, error) ||
            (driveId != 0 && !WriteSamples(db, plan, file, loaded, columns, driveId, view, cancelled, error)) ||
            !Campaign_Commit(db, error)) {
            Campaign_Rollback(db);
            if (cancelled && cancelled()) {
                error = "The import was cancelled in " + r.path +
                        ", which was not imported; the files before it are in the database.";
                return CampaignImportOutcome::Cancelled;
            }
            return stop(r, "The import of " + r.path + " failed and nothing of it was stored: ");
        }
        view.set(100);
        // Another importer took the same file a moment earlier.
        r.state = driveId != 0 ? CampaignFileState::Imported : CampaignFileState::AlreadyThere;
        r.samples = driveId != 0 ? loaded.positioned : 0;
        results.push_back(r);
    }
    return anyFailed ? CampaignImportOutcome::FilesFailed : CampaignImportOutcome::Done;
}
