#pragma once
// A coverage report to hand over: a PDF (A4, fonts embedded) drawn with Qt's
// own PDF writer, with a title page (the drives, thresholds and method), per
// frequency a map of the cells by class and one by median level with the
// driven track, the distributions of level, MER and BER, a summary table by
// class and the worst cells. Every number comes from the one analysis
// (CoveragePlan) that a GeoPackage of the same run is written from; asked
// for, the GeoPackage is written in the same run and both files appear
// together or not at all. Written under a temporary name beside the target
// and renamed when complete: a failure or a cancel leaves nothing behind.
#include <functional>
#include <string>

#include "coverage/coverage.h"
#include "export/report/reportdoc.h"

inline constexpr const char* kReportAborted = "The coverage report was cancelled; nothing was written.";

enum class ReportOutcome { Success, Failure, Cancelled };

struct ReportRequest {
    std::string path;       // the PDF to write
    std::string gpkgPath;   // also a GeoPackage from the same run; empty: none
    bool overwrite = false; // replace existing files (only once the new ones are complete)
    std::string profile;    // KMZ colour profile (Latin-1) for the median map; empty: Auto
};

struct ReportResult {
    ReportOutcome outcome = ReportOutcome::Success;
    std::string message;  // one line (UTF-8)
    int pages = 0;
};

// Whether the targets can be written (the PDF ending in .pdf, the GeoPackage
// in .gpkg) and the profile loads. False with a one-line error. Report_Export
// checks the same; callers check first so that nothing is read in vain.
bool Report_CheckRequest(const ReportRequest& request, std::string& error);

// Runs the analysis (Coverage_Run), writes the GeoPackage when asked, and
// draws the report.
ReportResult Report_Export(CoveragePlan& plan, const ReportRequest& request, CoverageProgress* progress,
                           const std::function<bool()>& cancelled);

// Draws the report of an analysis that has run, with what collector read of
// its samples, into path (written as it is: Report_Export adds the temporary
// name). False with a one-line error; on a cancel error is kReportAborted.
bool Report_WritePdf(const CoveragePlan& plan, const ReportCollector& collector, const ReportSettings& settings,
                     const std::string& path, CoverageProgress* progress, const std::function<bool()>& cancelled,
                     int& pages, std::string& error);
