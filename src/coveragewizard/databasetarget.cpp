#include "coveragewizard/databasetarget.h"

#include <set>

#include "campaign/campaignimport.h"
#include "campaign/campaignlist.h"
#include "export/kmz/levelconfig.h"
#include "platform/text.h"

namespace {

std::string Plural(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool Open(const std::string& connection, CampaignDb& db, std::string& error) {
    return Campaign_Open(CoverageDb_WithConnectTimeout(connection, kCoverageConnectTimeoutSeconds), db, error);
}

// The level units the campaign's drives hold (UTF-8); none for a new campaign.
bool CampaignLevelUnits(CampaignDb& db, std::set<std::string>& units, std::string& error) {
    bool present = false;
    if (!Campaign_Query(db, "SELECT to_regclass('drives')::text AS t",
                        [&](OGRFeature& f) { return present = f.IsFieldSetAndNotNull(0), false; }, error))
        return false;
    if (!present) return true;
    return Campaign_Query(db, "SELECT DISTINCT level_unit FROM drives WHERE level_unit IS NOT NULL",
                          [&](OGRFeature& f) { return units.insert(f.GetFieldAsString(0)), true; }, error);
}

}  // namespace

std::string CoverageDb_WithConnectTimeout(const std::string& text, int seconds) {
    if (text.find("connect_timeout") != std::string::npos) return text;
    const std::string option = "connect_timeout=" + std::to_string(seconds);
    const std::string body = text.size() > 3 ? text.substr(3) : std::string();
    if (body.rfind("postgresql://", 0) == 0 || body.rfind("postgres://", 0) == 0)
        return text + (text.find('?') == std::string::npos ? "?" : "&") + option;
    return text + " " + option;
}

bool CoverageDb_Test(const std::string& connection, std::string& message) {
    CampaignDb db;
    if (!Open(connection, db, message)) return false;
    std::string name, server, postgis;
    const bool read = Campaign_Query(
        db,
        "SELECT current_database() AS db, current_setting('server_version') AS server, extversion AS postgis "
        "FROM pg_extension WHERE extname = 'postgis'",
        [&](OGRFeature& f) {
            name = f.GetFieldAsString("db");
            server = f.GetFieldAsString("server");
            server = server.substr(0, server.find(' '));  // "15.8", without the packager's note
            postgis = f.GetFieldAsString("postgis");
            return false;
        },
        message);
    std::vector<CampaignDrive> drives;
    if (!read || !Campaign_ListDrives(db, {}, drives, message)) {
        message = "Connected, but the database could not be read: " + message;
        return false;
    }
    message = "Connected to " + name + " (PostgreSQL " + server + ", PostGIS " + postgis + "); " +
              (drives.empty() ? std::string("the campaign holds no drive yet.")
                              : "the campaign holds " + Plural(static_cast<long long>(drives.size()), "drive", "drives") + ".");
    return true;
}

CoverageDbResult CoverageDb_Run(const CoverageDbRequest& request, CoverageProgress* progress,
                                const std::function<bool()>& cancelled, const std::function<void()>& beforeCoverage) {
    CoverageDbResult result;
    if (progress) progress->showStep("Connecting to the database");
    CampaignDb db;
    if (!Open(request.connection, db, result.message)) return result;
    result.connected = true;

    // Levels in another unit than the campaign's could not be judged with them
    // against one threshold: refused before anything is imported.
    std::set<std::string> units;
    if (!CampaignLevelUnits(db, units, result.message)) return result;
    const std::string unit = Text_Latin1ToUtf8(KmzLevel_UnitName(request.levelUnit) ? KmzLevel_UnitName(request.levelUnit) : "");
    if (!units.empty() && !units.count(unit)) {
        std::string list;
        for (const std::string& u : units) list += (list.empty() ? "" : ", ") + u;
        result.message = "The campaign's levels are in " + list + ": choose " +
                         (units.size() == 1 ? *units.begin() : std::string("one of them")) +
                         " as the common level unit, so that these drives can be judged with them. Nothing was imported.";
        return result;
    }

    CampaignImportOptions import;
    import.levelUnit = request.levelUnit;
    std::vector<CampaignFileResult> files;
    std::string error;
    const CampaignImportOutcome outcome = Campaign_Import(db, request.paths, import, progress, cancelled, files, error);
    long long imported = 0, already = 0, samples = 0;
    std::string failed;
    for (const CampaignFileResult& f : files) {
        if (f.state == CampaignFileState::Imported) ++imported, samples += f.samples;
        if (f.state == CampaignFileState::AlreadyThere) ++already;
        if (f.state == CampaignFileState::Failed && outcome == CampaignImportOutcome::FilesFailed)
            failed += (failed.empty() ? "" : "\n") + f.message;
    }
    if (outcome == CampaignImportOutcome::Failed || outcome == CampaignImportOutcome::Cancelled) {
        result.message = error;
        return result;
    }
    const std::string importText = "Imported " + Plural(imported, "file", "files") + " (" +
                                   Plural(samples, "sample", "samples") + "); " + std::to_string(already) +
                                   " already in the database.";
    if (outcome == CampaignImportOutcome::FilesFailed) {
        // The coverage waits until every marked file is in: it would not be what the user asked for.
        result.message = importText + " Not imported, so the coverage was not computed:\n" + failed;
        return result;
    }
    if (cancelled && cancelled()) {
        result.message = importText + " The coverage was cancelled before it started.";
        return result;
    }
    if (beforeCoverage) beforeCoverage();
    if (progress) progress->showStep("Computing the coverage of the campaign in the database");
    CoveragePlan plan;
    if (!Campaign_Coverage(db, request.coverage, plan, progress, error)) {
        result.message = importText + " " + error;
        return result;
    }
    std::vector<CampaignDrive> drives;
    Campaign_ListDrives(db, {}, drives, error);
    long long summaries = 0;
    for (const CoverageGroup& g : plan.groups) summaries += static_cast<long long>(g.channels.size());
    result.ok = true;
    result.message = importText + " The coverage of the campaign (" +
                     Plural(static_cast<long long>(drives.size()), "drive", "drives") +
                     ") is in the database: cells " + std::to_string(plan.cellRows()) + ", coverage_summary " +
                     std::to_string(summaries) + ".";
    return result;
}
