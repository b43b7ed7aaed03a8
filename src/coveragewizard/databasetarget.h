#pragma once
// The coverage page's database target: the marked record files go into the
// campaign database (each file in one transaction; a file already there adds
// nothing) and the database then computes the coverage of the whole
// campaign into its tables cells and coverage_summary, judged with the
// page's thresholds. Runs on the coverage wizard's worker thread.
#include <functional>
#include <string>
#include <vector>

#include "campaign/campaigncoverage.h"
#include "coverage/coverage.h"

// How long a connection attempt may take on the desktop: a host that does
// not answer would otherwise hold the page for libpq's two minutes.
inline constexpr int kCoverageConnectTimeoutSeconds = 10;

// text with libpq's connect_timeout added, unless it names one.
std::string CoverageDb_WithConnectTimeout(const std::string& text, int seconds);

// Connects and reads what a user wants to know before relying on the target.
// True with "Connected to fleet (PostgreSQL 15.8, PostGIS 3.3.2); the
// campaign holds 12 drives."; false with the reason, both on one line.
bool CoverageDb_Test(const std::string& connection, std::string& message);

struct CoverageDbRequest {
    std::string connection;
    std::vector<std::string> paths;  // the marked record files
    int levelUnit = -1;              // kKmzUnit*: the unit the files' levels are stored in
    CampaignCoverageOptions coverage;
};

struct CoverageDbResult {
    bool ok = false;
    bool connected = false;  // the connection was made (worth remembering)
    std::string message;     // one line, or the lines of the files that failed
};

// beforeCoverage is called once the import is done, before the database's
// own work that cannot be interrupted (the page takes its Cancel away).
CoverageDbResult CoverageDb_Run(const CoverageDbRequest& request, CoverageProgress* progress,
                                const std::function<bool()>& cancelled, const std::function<void()>& beforeCoverage);
