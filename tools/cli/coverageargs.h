#pragma once
// What the coverage subcommands (export, report) share: the options of the
// analysis, opening the record files, and the run with its progress, Ctrl-C,
// the timing figures of --stats and the final message.
#include <functional>
#include <set>
#include <string>

#include "args.h"
#include "coverage/coverage.h"

// The help lines of the analysis's options.
extern const char* const kCoverageOptionsHelp;

// The value options of the analysis, to add to a command's own.
std::set<std::string> CoverageArgs_ValueOptions();
// The flag options of the analysis.
std::set<std::string> CoverageArgs_FlagOptions();

// Reads the analysis's options. 0, or the exit status of a bad option (its message printed).
int CoverageArgs_Read(const char* command, CliArgs& args, CoverageOptions& options);

// "<what>: S s", the CPU time and the peak memory on stderr.
void CoverageArgs_PrintStats(const char* what, double seconds);

// Opens the record files named on the command line. 0, or 1 with the error printed.
int CoverageArgs_Open(CliArgs& args, const CoverageOptions& options, CoveragePlan& plan);

// How a writer's run ended, with its one-line message.
struct CoverageRunEnd {
    bool success = false;
    bool cancelled = false;
    std::string message;
};

// Runs a writer with the steps on stderr and Ctrl-C as its cancel, prints
// the --stats figures (stats) and the final message, and gives the exit
// status: 0 (the message on stdout), 130 cancelled, 1 failed.
int CoverageArgs_Run(const char* what, bool stats,
                     const std::function<CoverageRunEnd(CoverageProgress&, const std::function<bool()>& cancelled)>& run);
