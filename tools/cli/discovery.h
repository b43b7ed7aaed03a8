#pragma once
// The wizard's search and check run from the command line: the worker goes
// from the search to the filled analyzer table, with progress on stderr.
#include <string>
#include <vector>

#include "drivetest/wizard.h"

struct CliDiscovery {
    std::string rangeText;
    std::vector<AnalyzerSlot> slots;      // table order
    std::vector<AnalyzerTableRow> rows;   // one per slot
};

// Searches the machine's networks with settings (standard and level unit
// matter); false with error when the search could not run.
bool Cli_RunDiscovery(const BasicSettings& settings, int timeoutMs, CliDiscovery& result, std::string& error);
