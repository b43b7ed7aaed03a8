#pragma once
// What the coverage subcommands (export, report) share: the options of the
// analysis, the progress on stderr and the timing figures of --stats.
#include <set>
#include <string>

#include "args.h"
#include "coverage/coverage.h"
#include "progress.h"

// The help lines of the analysis's options.
extern const char* const kCoverageOptionsHelp;

// The value options of the analysis, to add to a command's own.
std::set<std::string> CoverageArgs_ValueOptions();
// The flag options of the analysis.
std::set<std::string> CoverageArgs_FlagOptions();

// Reads the analysis's options. 0, or the exit status of a bad option (its message printed).
int CoverageArgs_Read(const char* command, CliArgs& args, CoverageOptions& options);

// The step with its percentage on stderr, when stderr is a terminal.
class CoverageTerminalProgress : public CoverageProgress {
public:
    void showStep(const std::string& label) override { steps_.start(label); }
    void setProgress(int percent) override { steps_.update(percent); }
    void end(bool success) { steps_.end(success); }

private:
    StepProgress steps_;
};

// "<what>: S s", the CPU time and the peak memory on stderr.
void CoverageArgs_PrintStats(const char* what, double seconds);
