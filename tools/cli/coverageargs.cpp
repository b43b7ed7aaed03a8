#include "coverageargs.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "interrupt.h"
#include "stepview.h"

const char* const kCoverageOptionsHelp =
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
    "  --min-samples N            valid samples a cell needs to be classed (default 5)\n";

std::set<std::string> CoverageArgs_ValueOptions() {
    return {"cell-size", "threshold", "no-threshold", "unit", "min-samples", "manual-kfactor", "level-offset"};
}

std::set<std::string> CoverageArgs_FlagOptions() { return {"keep-stationary"}; }

int CoverageArgs_ReadJudging(const char* command, CliArgs& args, CoverageOptions& options) {
    options.cellSize = static_cast<int>(args.integer("cell-size", kCoverageDefaultCellSize));
    options.minSamples = static_cast<int>(args.integer("min-samples", kCoverageDefaultMinSamples));
    if (!args.ok()) return Cli_Usage(command, args.error());
    if (!Grid_IsCellSize(options.cellSize)) return Cli_Usage(command, "--cell-size must be 25, 50, 100 or 200");
    if (options.minSamples < 1) return Cli_Usage(command, "--min-samples must be 1 or more");
    options.keepStationary = args.has("keep-stationary");
    options.thresholds = args.all("threshold");
    options.withoutThreshold = args.all("no-threshold");
    return 0;
}

int CoverageArgs_Read(const char* command, CliArgs& args, CoverageOptions& options) {
    if (int status = CoverageArgs_ReadJudging(command, args, options)) return status;
    if (args.has("unit")) {
        options.levelUnit = KmzLevel_ParseUnit(args.get("unit"));
        if (options.levelUnit < 0) return Cli_Usage(command, "--unit must be dBuV/m, dBm, dBmV or dBuV");
    }
    return Cli_ReadManualLevels(command, args, args.positional().size(), options.manual);
}

void CoverageArgs_PrintStats(const char* what, double seconds) {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "%s: %.3f s\ncpu: %.3f s\npeak memory: %ld kB\n", what, seconds,
                 static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
                 usage.ru_maxrss);
}

int CoverageArgs_Open(CliArgs& args, const CoverageOptions& options, CoveragePlan& plan) {
    std::string error;
    if (Coverage_Open(args.positional(), options, plan, error)) return 0;
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
}

int CoverageArgs_Run(const char* what, bool stats,
                     const std::function<CoverageRunEnd(CoverageProgress&, const std::function<bool()>& cancelled)>& run) {
    CliStepView progress;
    InterruptCatcher catcher;
    const auto start = std::chrono::steady_clock::now();
    const CoverageRunEnd end = run(progress, [] { return Cli_Interrupted(); });
    progress.end(end.success);
    if (stats) CoverageArgs_PrintStats(what, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    std::fprintf(end.success ? stdout : stderr, "%s\n", end.message.c_str());
    return end.success ? 0 : end.cancelled ? 130 : 1;
}
