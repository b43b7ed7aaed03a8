// fieldtrace-cli: the Fieldtrace core from the command line, for automation
// and checks in the field.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* summary;
};

const Command kCommands[] = {
    {"info", Cli_Info, "print a record file's header, descriptors and sample summary as JSON"},
    {"generate", Cli_Generate, "write synthetic record files through the record writer"},
    {"catalog", Cli_Catalog, "print the compiled-in analyzer catalogue as JSON"},
    {"list", Cli_List, "list the record files of a directory as the file selection does, as JSON"},
    {"csv", Cli_Csv, "convert record files into CSV files beside them"},
    {"kmz", Cli_Kmz, "convert record files into one KMZ archive for Google Earth"},
    {"export", Cli_Export, "coverage per cell against planning thresholds, as GeoPackage or GeoJSON"},
    {"report", Cli_Report, "a coverage report to hand over: PDF with maps, distributions and tables"},
    {"campaign", Cli_Campaign, "a fleet's record files in PostgreSQL + PostGIS, coverage computed by the database"},
    {"discover", Cli_Discover, "find and check the analyzers on the local networks, as JSON"},
    {"record", Cli_Record, "record a drive test headless with analyzers on the network"},
    {"scpi", Cli_Scpi, "send commands and queries to an analyzer and print the replies"},
    {"settings", Cli_Settings, "show where settings live and the basic settings; change and save them"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: fieldtrace-cli <command> [options]\n\ncommands:\n");
    for (const auto& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'fieldtrace-cli <command> --help' describes a command.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        PrintUsage(stdout);
        return 0;
    }
    for (const auto& c : kCommands)
        if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "fieldtrace-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
