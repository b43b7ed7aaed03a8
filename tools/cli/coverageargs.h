#pragma once
// What the coverage subcommands (export, report) share: the options of the
// analysis and the timing figures of --stats.
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
