// fieldtrace-cli export FILE... -o OUT.gpkg|OUT.geojson: coverage verification
// of record files. Every valid, positioned sample is binned into square cells
// of a metric grid per frequency; each cell gets its statistics and, against
// the planning thresholds, its location probability and class. A GeoPackage
// holds the layers samples, cells, drives and coverage_summary with QGIS
// styles; GeoJSON holds the cells. Ctrl-C leaves no file behind.
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "coverageargs.h"
#include "coverage/coverage.h"
#include "export/gis/giswriter.h"
#include "platform/text.h"

namespace {

const char* kHelpHead =
    "usage: fieldtrace-cli export FILE.dtr... -o OUT.gpkg|OUT.geojson [options]\n"
    "Coverage verification: bins every valid, positioned sample of every value channel\n"
    "into square cells per standard and frequency and computes per cell n, min, max,\n"
    "mean, median, stddev, the share of samples meeting the channel's threshold, the\n"
    "location probability of the level and a class (good >= 95 %, acceptable >= 70 %,\n"
    "poor, insufficient below the minimum sample count). A GeoPackage holds the layers\n"
    "samples, cells, drives and coverage_summary and opens coloured in QGIS; GeoJSON\n"
    "(RFC 7946) holds the cells.\n"
    "  -o, --out FILE             .gpkg or .geojson to write (must not exist)\n"
    "  --overwrite                replace an existing FILE (only once the new one is complete)\n";
const char* kHelpTail =
    "  --stats                    print timings and peak memory on stderr\n"
    "Prints the final message; exit status 0 on success, 1 on failure, 2 for a bad\n"
    "command line, 130 when cancelled with Ctrl-C (no file is left behind).\n";

}  // namespace

int Cli_Export(int argc, char** argv) {
    std::set<std::string> values = CoverageArgs_ValueOptions(), flags = CoverageArgs_FlagOptions();
    values.insert("out");
    flags.insert({"help", "overwrite", "stats"});
    CliArgs args(argc, argv, values, flags);
    if (!args.ok()) return Cli_Usage("export", args.error());
    if (args.has("help")) {
        std::fputs(kHelpHead, stdout);
        std::fputs(kCoverageOptionsHelp, stdout);
        std::fputs(kHelpTail, stdout);
        return 0;
    }
    if (args.positional().empty()) return Cli_Usage("export", "expected at least one record file");
    if (!args.has("out")) return Cli_Usage("export", "expected -o OUT.gpkg or -o OUT.geojson");

    CoverageOptions options;
    if (int status = CoverageArgs_Read("export", args, options)) return status;

    GisExportRequest request;
    request.path = args.get("out");
    request.overwrite = args.has("overwrite");
    std::string error;
    if (!Gis_CheckTarget(request, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    CoveragePlan plan;
    if (int status = CoverageArgs_Open(args, options, plan)) return status;
    return CoverageArgs_Run("export", args.has("stats"), [&](CoverageProgress& progress, const std::function<bool()>& cancelled) {
        const GisExportResult r = Gis_Export(plan, request, &progress, cancelled);
        return CoverageRunEnd{r.outcome == GisOutcome::Success, r.outcome == GisOutcome::Cancelled, r.message};
    });
}
