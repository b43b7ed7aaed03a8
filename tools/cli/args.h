#pragma once
// A small command-line reader shared by the subcommands: "--name value" or
// "--name=value" options, flags, and positional arguments.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "export/kmz/levelconfig.h"

class CliArgs {
public:
    // valueOptions take a value; flagOptions do not; repeatable options may appear several times.
    // "-o" stands for "--out" and "-h" for "--help" where the command has them.
    CliArgs(int argc, char** argv, std::set<std::string> valueOptions, std::set<std::string> flagOptions);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    bool has(const std::string& name) const { return values_.count(name) > 0; }
    std::string get(const std::string& name, const std::string& fallback = "") const;
    std::vector<std::string> all(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

    // Typed getters; on a bad value they record an error and return the fallback.
    double number(const std::string& name, double fallback);
    long long integer(const std::string& name, long long fallback);

private:
    std::multimap<std::string, std::string> values_;
    std::vector<std::string> positional_;
    std::string error_;
};

// The level page's manual entries from "--manual-kfactor N=K" and
// "--level-offset N=DB" (N a 1-based file number): manual gets one entry per
// file. 0, or the exit status of a bad option (its message printed).
int Cli_ReadManualLevels(const char* command, const CliArgs& args, std::size_t files,
                         std::vector<KmzLevelManualInput>& manual);

// "fieldtrace-cli <command>: <message>" on stderr; returns 2 (bad command line).
int Cli_Usage(const char* command, const std::string& message);
// True when stderr is a terminal (progress is shown only there).
bool Cli_ProgressWanted();
