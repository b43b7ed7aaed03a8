// fieldtrace-cli campaign --db PG:"..." --import FILE... | --coverage | --list:
// the record files of a fleet in a PostgreSQL + PostGIS database. Import
// puts each file in as one transaction (a file already there adds nothing);
// coverage lets the database aggregate every selected sample into cells and
// writes the cells and coverage_summary tables (and with -o a GeoPackage);
// list prints the drives as JSON.
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "args.h"
#include "campaign/campaigncoverage.h"
#include "campaign/campaignimport.h"
#include "campaign/campaignlist.h"
#include "commands.h"
#include "coverageargs.h"
#include "interrupt.h"
#include "platform/text.h"
#include "stepview.h"

namespace {

const char* kHelp =
    "usage: fieldtrace-cli campaign --db PG:\"dbname=... host=... user=...\" --import FILE.dtr... [options]\n"
    "       fieldtrace-cli campaign --db PG:\"...\" --coverage [-o OUT.gpkg] [options]\n"
    "       fieldtrace-cli campaign --db PG:\"...\" --list [selection]\n"
    "A campaign archive in PostgreSQL with PostGIS: the samples and drives of every\n"
    "record file of a fleet, and their coverage computed by the database.\n"
    "The password comes from PGPASSWORD or ~/.pgpass, never from the command line.\n"
    "  --db PG:TEXT               the database as GDAL names it (libpq keywords or a URI)\n"
    "  --import FILE...           add record files, each in one transaction; a file whose\n"
    "                             content is in the database already adds nothing\n"
    "    --unit UNIT              common level unit of the files given: dBuV/m, dBm, dBmV or\n"
    "                             dBuV (default: as the KMZ level page proposes it; import a\n"
    "                             campaign with one unit so its levels can be judged together)\n"
    "    --manual-kfactor N=K     manual K-factor in dB/m for file N (1-based; dBuV/m only)\n"
    "    --level-offset N=DB      manual level offset in dB for file N\n"
    "  --coverage                 compute the cells and coverage_summary of the selection in\n"
    "                             the database and store them as its tables cells and\n"
    "                             coverage_summary (replaced each time)\n"
    "    -o, --out FILE.gpkg      also write them, with the drives, to a GeoPackage\n"
    "    --overwrite              replace an existing FILE (only once the new one is complete)\n"
    "    --cell-size M            25, 50, 100 (default) or 200\n"
    "    --threshold \"CHANNEL=VALUE [UNIT]\"   as fieldtrace-cli export takes it, repeatable\n"
    "    --no-threshold CHANNEL   judge CHANNEL without threshold (drops its default), repeatable\n"
    "    --min-samples N          valid samples a cell needs to be classed (default 5)\n"
    "    --keep-stationary        keep samples taken standing still\n"
    "  --list                     print the drives of the selection as JSON\n"
    "Selection (coverage and list):\n"
    "  --from TIME, --to TIME     ISO 8601 (2026-05-01, 2026-05-01T10:00, ...Z or +02:00);\n"
    "                             without a zone local time of this machine (TZ); --to is\n"
    "                             exclusive, a date alone means the whole of that day\n"
    "  --standard NAME            \"DVB-T / DVB-H\" (any case)\n"
    "  --frequency MHZ            474\n"
    "Exit status 0 on success, 1 on failure, 2 for a bad command line, 130 when cancelled.\n";

using nlohmann::ordered_json;

bool ReadSelection(CliArgs& args, CampaignSelection& selection, std::string& error) {
    for (const char* name : {"from", "to"}) {
        if (!args.has(name)) continue;
        double t = 0.0;
        if (!Campaign_ParseTime(args.get(name), std::string(name) == "to", t)) {
            error = std::string("--") + name + " must be an ISO 8601 date or time, e.g. 2026-05-01T10:00";
            return false;
        }
        (std::string(name) == "from" ? selection.fromUtc : selection.toUtc) = t;
    }
    selection.standard = args.get("standard");
    if (args.has("frequency")) {
        selection.frequencyMHz = args.number("frequency", 0.0);
        if (!args.ok()) {
            error = args.error();
            return false;
        }
    }
    return true;
}

int Import(CampaignDb& db, CliArgs& args) {
    CampaignImportOptions options;
    if (args.has("unit")) {
        options.levelUnit = KmzLevel_ParseUnit(args.get("unit"));
        if (options.levelUnit < 0) return Cli_Usage("campaign", "--unit must be dBuV/m, dBm, dBmV or dBuV");
    }
    if (int status = Cli_ReadManualLevels("campaign", args, args.positional().size() + 1, options.manual)) return status;
    // --import takes the first file as its value; the others are positional.
    std::vector<std::string> files = {args.get("import")};
    files.insert(files.end(), args.positional().begin(), args.positional().end());
    CliStepView progress;
    InterruptCatcher catcher;
    std::vector<CampaignFileResult> results;
    std::string error;
    const CampaignImportOutcome outcome =
        Campaign_Import(db, files, options, &progress, [] { return Cli_Interrupted(); }, results, error);
    progress.end(outcome == CampaignImportOutcome::Done);
    std::int64_t imported = 0, already = 0, samples = 0, failed = 0;
    for (const CampaignFileResult& r : results) {
        switch (r.state) {
            case CampaignFileState::Imported:
                std::printf("%s: imported, %lld samples\n", r.path.c_str(), static_cast<long long>(r.samples));
                ++imported;
                samples += r.samples;
                break;
            case CampaignFileState::AlreadyThere:
                std::printf("%s: already in the database, nothing added\n", r.path.c_str());
                ++already;
                break;
            case CampaignFileState::Failed:
                if (outcome != CampaignImportOutcome::Failed) std::fprintf(stderr, "%s\n", r.message.c_str());
                ++failed;
                break;
        }
    }
    std::fflush(stdout);
    if (outcome == CampaignImportOutcome::Cancelled || outcome == CampaignImportOutcome::Failed) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return outcome == CampaignImportOutcome::Cancelled ? 130 : 1;
    }
    std::printf("Imported %lld file%s (%lld samples); %lld already in the database", static_cast<long long>(imported),
                imported == 1 ? "" : "s", static_cast<long long>(samples), static_cast<long long>(already));
    if (failed) std::printf("; %lld not imported", static_cast<long long>(failed));
    std::printf(".\n");
    return outcome == CampaignImportOutcome::Done ? 0 : 1;
}

int Coverage(CampaignDb& db, CliArgs& args, const CampaignSelection& selection) {
    CoverageOptions judging;
    if (int status = CoverageArgs_ReadJudging("campaign", args, judging)) return status;
    CampaignCoverageOptions options;
    options.cellSize = judging.cellSize;
    options.minSamples = judging.minSamples;
    options.keepStationary = judging.keepStationary;
    options.thresholds = judging.thresholds;
    options.withoutThreshold = judging.withoutThreshold;
    options.selection = selection;
    GisExportRequest request;
    std::string error;
    if (args.has("out")) {
        request.path = args.get("out");
        request.overwrite = args.has("overwrite");
        request.driver = kGisGeoPackage;
        if (Gis_DriverForPath(request.path) != kGisGeoPackage) {
            std::fprintf(stderr, "The output '%s' must end in .gpkg.\n", request.path.c_str());
            return 1;
        }
        if (!Gis_CheckTarget(request, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    CliStepView progress;
    CoveragePlan plan;
    const bool ok = Campaign_Coverage(db, options, plan, &progress, error);
    progress.end(ok);
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::int64_t summaries = 0;
    for (const CoverageGroup& g : plan.groups) summaries += static_cast<std::int64_t>(g.channels.size());
    std::printf("Coverage computed in the database (cells %lld, coverage_summary %lld).\n",
                static_cast<long long>(plan.cellRows()), static_cast<long long>(summaries));
    if (!args.has("out")) return 0;
    const GisExportResult result = Campaign_WriteGeoPackage(db, plan, selection, request);
    if (result.outcome != GisOutcome::Success) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        return 1;
    }
    std::printf("%s\n", result.message.c_str());
    return 0;
}

int List(CampaignDb& db, const CampaignSelection& selection) {
    std::vector<CampaignDrive> drives;
    std::string error;
    if (!Campaign_ListDrives(db, selection, drives, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    ordered_json list = ordered_json::array();
    for (const CampaignDrive& d : drives)
        list.push_back(ordered_json{{"id", d.id},
                                    {"file", d.file},
                                    {"path", d.path},
                                    {"description", d.description},
                                    {"analyzerType", d.analyzerType},
                                    {"serialNumber", d.serialNumber},
                                    {"standard", d.standard},
                                    {"frequencyMHz", d.frequencyMHz},
                                    {"startUtc", d.startUtc},
                                    {"endUtc", d.endUtc},
                                    {"samples", d.samples},
                                    {"positionedSamples", d.positionedSamples},
                                    {"skippedSamples", d.skippedSamples},
                                    {"importedUtc", d.importedUtc},
                                    {"sha256", d.sha256}});
    std::printf("%s\n", ordered_json{{"drives", list}}.dump(2).c_str());
    return 0;
}

}  // namespace

int Cli_Campaign(int argc, char** argv) {
    CliArgs args(argc, argv,
                 {"db", "import", "out", "cell-size", "threshold", "no-threshold", "unit", "min-samples", "manual-kfactor",
                  "level-offset", "from", "to", "standard", "frequency"},
                 {"help", "coverage", "list", "keep-stationary", "overwrite"});
    if (!args.ok()) return Cli_Usage("campaign", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    const int modes = (args.has("import") ? 1 : 0) + (args.has("coverage") ? 1 : 0) + (args.has("list") ? 1 : 0);
    if (modes != 1) return Cli_Usage("campaign", "expected one of --import FILE..., --coverage or --list");
    if (!args.has("db")) return Cli_Usage("campaign", "expected --db PG:\"dbname=... host=... user=...\"");
    if (!args.has("import") && !args.positional().empty())
        return Cli_Usage("campaign", "unexpected argument '" + args.positional().front() + "'");
    std::string error;
    if (!Campaign_CheckConnection(args.get("db"), error)) return Cli_Usage("campaign", error);
    CampaignSelection selection;
    if (!ReadSelection(args, selection, error)) return Cli_Usage("campaign", error);

    CampaignDb db;
    if (!Campaign_Open(args.get("db"), db, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (args.has("import")) return Import(db, args);
    if (args.has("coverage")) return Coverage(db, args, selection);
    return List(db, selection);
}
