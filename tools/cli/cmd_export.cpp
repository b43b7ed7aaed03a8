// fieldtrace-cli export FILE... -o OUT.gpkg|OUT.geojson: coverage verification
// of record files. Every valid, positioned sample is binned into square cells
// of a metric grid per frequency; each cell gets its statistics and, against
// the planning thresholds, its location probability and class. A GeoPackage
// holds the layers samples, cells, drives and coverage_summary with QGIS
// styles; GeoJSON holds the cells. Ctrl-C leaves no file behind.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "coverage/coverage.h"
#include "export/gis/giswriter.h"
#include "interrupt.h"
#include "platform/text.h"
#include "stepview.h"

namespace {

const char* kHelp =
    "usage: fieldtrace-cli export FILE.dtr... -o OUT.gpkg|OUT.geojson [options]\n"
    "Coverage verification: bins every valid, positioned sample of every value channel\n"
    "into square cells per standard and frequency and computes per cell n, min, max,\n"
    "mean, median, stddev, the share of samples meeting the channel's threshold, the\n"
    "location probability of the level and a class (good >= 95 %, acceptable >= 70 %,\n"
    "poor, insufficient below the minimum sample count). A GeoPackage holds the layers\n"
    "samples, cells, drives and coverage_summary and opens coloured in QGIS; GeoJSON\n"
    "(RFC 7946) holds the cells.\n"
    "  -o, --out FILE             .gpkg or .geojson to write (must not exist)\n"
    "  --overwrite                replace an existing FILE (only once the new one is complete)\n"
    "  --cell-size M              cell size in metres: 25, 50, 100 (default) or 200\n"
    "  --threshold \"CHANNEL=VALUE [UNIT]\"\n"
    "                             planning threshold of a channel, by its display name with or\n"
    "                             without unit, repeatable: \"Level=56 dBuV/m\" (no location\n"
    "                             probability without one), \"BER before Reed Solomon=2e-4\"\n"
    "                             (a plain ratio for channels counted in 10-6). Defaults: sync\n"
    "                             channels in sync; DVB-T BER before Reed Solomon 2e-4\n"
    "  --no-threshold CHANNEL     judge CHANNEL without threshold (drops its default), repeatable\n"
    "  --unit UNIT                common level unit: dBuV/m, dBm, dBmV or dBuV\n"
    "                             (default: as the KMZ level page proposes it)\n"
    "  --manual-kfactor N=K       manual K-factor in dB/m for file N (1-based; dBuV/m only)\n"
    "  --level-offset N=DB        manual level offset in dB for file N\n"
    "  --keep-stationary          keep samples taken standing still (below 1 km/h); by default\n"
    "                             only the first of each standing run counts\n"
    "  --min-samples N            valid samples a cell needs to be classed (default 5)\n"
    "  --stats                    print timings and peak memory on stderr\n"
    "Prints the final message; exit status 0 on success, 1 on failure, 2 for a bad\n"
    "command line, 130 when cancelled with Ctrl-C (no file is left behind).\n";

void PrintStats(double seconds) {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "export: %.3f s\ncpu: %.3f s\npeak memory: %ld kB\n", seconds,
                 static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
                 usage.ru_maxrss);
}

}  // namespace

int Cli_Export(int argc, char** argv) {
    std::vector<std::string> words(argv, argv + argc);
    std::vector<char*> argvOut;
    for (auto& w : words) {
        if (w == "-o") w = "--out";
        if (w == "-h") w = "--help";
        argvOut.push_back(w.data());
    }
    CliArgs args(static_cast<int>(argvOut.size()), argvOut.data(),
                 {"out", "cell-size", "threshold", "no-threshold", "unit", "min-samples", "manual-kfactor", "level-offset"},
                 {"help", "keep-stationary", "overwrite", "stats"});
    if (!args.ok()) return Cli_Usage("export", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.positional().empty()) return Cli_Usage("export", "expected at least one record file");
    if (!args.has("out")) return Cli_Usage("export", "expected -o OUT.gpkg or -o OUT.geojson");

    CoverageOptions options;
    options.cellSize = static_cast<int>(args.integer("cell-size", kCoverageDefaultCellSize));
    options.minSamples = static_cast<int>(args.integer("min-samples", kCoverageDefaultMinSamples));
    if (!args.ok()) return Cli_Usage("export", args.error());
    if (!Grid_IsCellSize(options.cellSize)) return Cli_Usage("export", "--cell-size must be 25, 50, 100 or 200");
    if (options.minSamples < 1) return Cli_Usage("export", "--min-samples must be 1 or more");
    if (args.has("unit")) {
        options.levelUnit = KmzLevel_ParseUnit(args.get("unit"));
        if (options.levelUnit < 0) return Cli_Usage("export", "--unit must be dBuV/m, dBm, dBmV or dBuV");
    }
    if (int status = Cli_ReadManualLevels("export", args, args.positional().size(), options.manual)) return status;
    options.keepStationary = args.has("keep-stationary");
    options.thresholds = args.all("threshold");
    options.withoutThreshold = args.all("no-threshold");

    GisExportRequest request;
    request.path = args.get("out");
    request.overwrite = args.has("overwrite");
    std::string error;
    if (!Gis_CheckTarget(request, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    CoveragePlan plan;
    if (!Coverage_Open(args.positional(), options, plan, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    CliStepView progress;
    InterruptCatcher catcher;
    const auto start = std::chrono::steady_clock::now();
    const GisExportResult result = Gis_Export(plan, request, &progress, [] { return Cli_Interrupted(); });
    progress.end(result.outcome == GisOutcome::Success);
    if (args.has("stats"))
        PrintStats(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    switch (result.outcome) {
        case GisOutcome::Success:
            std::printf("%s\n", result.message.c_str());
            return 0;
        case GisOutcome::Cancelled:
            std::fprintf(stderr, "%s\n", result.message.c_str());
            return 130;
        case GisOutcome::Failure:
            break;
    }
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
}
