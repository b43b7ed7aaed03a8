// fieldtrace-cli report FILE... -o REPORT.pdf: the coverage report to hand
// over, a PDF with the drives, maps of the cells by class and by median
// level, the distributions of level, MER and BER, the summary by class and
// the worst cells; with --gpkg the GeoPackage of the same analysis beside
// it. Ctrl-C leaves no file behind.
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "coverageargs.h"
#include "export/report/report.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

const char* kHelpHead =
    "usage: fieldtrace-cli report FILE.dtr... -o REPORT.pdf [options]\n"
    "A coverage report to hand over (PDF, A4): the drives, per standard and frequency a\n"
    "map of the cells by class and one by median level with the driven track, the\n"
    "distributions of level, MER and BER with the thresholds, the cells and driven\n"
    "distance by class and the worst cells. The analysis is that of 'export' with the\n"
    "same options, and --gpkg writes its GeoPackage in the same run.\n"
    "  -o, --out FILE             .pdf to write (must not exist)\n"
    "  --gpkg FILE                also write the GeoPackage of the same analysis (.gpkg)\n"
    "  --overwrite                replace existing files (only once the new ones are complete)\n"
    "  --profile NAME             KMZ colour profile of the data directory for the median map, or\n"
    "  --auto                     its automatic scale from the cells' medians (default)\n";
const char* kHelpTail =
    "  --stats                    print timings and peak memory on stderr\n"
    "Prints the final message; exit status 0 on success, 1 on failure, 2 for a bad\n"
    "command line, 130 when cancelled with Ctrl-C (no file is left behind).\n";

}  // namespace

int Cli_Report(int argc, char** argv) {
    std::set<std::string> values = CoverageArgs_ValueOptions(), flags = CoverageArgs_FlagOptions();
    values.insert({"out", "gpkg", "profile"});
    flags.insert({"help", "overwrite", "stats", "auto"});
    CliArgs args(argc, argv, values, flags);
    if (!args.ok()) return Cli_Usage("report", args.error());
    if (args.has("help")) {
        std::fputs(kHelpHead, stdout);
        std::fputs(kCoverageOptionsHelp, stdout);
        std::fputs(kHelpTail, stdout);
        return 0;
    }
    if (args.positional().empty()) return Cli_Usage("report", "expected at least one record file");
    if (!args.has("out")) return Cli_Usage("report", "expected -o REPORT.pdf");
    if (args.has("profile") && args.has("auto")) return Cli_Usage("report", "--profile and --auto exclude each other");

    CoverageOptions options;
    if (int status = CoverageArgs_Read("report", args, options)) return status;
    ReportRequest request;
    request.path = args.get("out");
    request.gpkgPath = args.get("gpkg");
    request.overwrite = args.has("overwrite");
    request.profile = Text_Utf8ToLatin1(args.get("profile"));
    if (args.has("profile") && !FileIO_IsValidFileName(request.profile.c_str()))
        return Cli_Usage("report", "--profile must name a profile");
    if (!request.gpkgPath.empty() && request.gpkgPath == request.path)
        return Cli_Usage("report", "--gpkg must name another file than -o");
    std::string error;
    if (!Report_CheckRequest(request, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    CoveragePlan plan;
    if (int status = CoverageArgs_Open(args, options, plan)) return status;
    return CoverageArgs_Run("report", args.has("stats"), [&](CoverageProgress& progress, const std::function<bool()>& cancelled) {
        const ReportResult r = Report_Export(plan, request, &progress, cancelled);
        return CoverageRunEnd{r.outcome == ReportOutcome::Success, r.outcome == ReportOutcome::Cancelled, r.message};
    });
}
