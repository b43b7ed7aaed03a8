// fieldtrace-analyzer-sim: a simulated TV analyzer of one catalogue family on
// one TCP port, driving along a simulated route; the peer of the demo and of
// the end-to-end tests.
#include <cstdio>
#include <string>
#include <vector>

#include "instrument/receiverinfo.h"
#include "simanalyzer.h"
#include "simconfig.h"
#include "simserver.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    SimConfig config;
    std::string error;
    if (!SimConfig_Parse(args, config, error)) {
        std::fprintf(stderr, "fieldtrace-analyzer-sim: %s\n", error.c_str());
        return 2;
    }
    if (config.help) {
        std::fputs(SimConfig_Help(), stdout);
        return 0;
    }
    ReceiverInfo_Init();
    const AnalyzerFamily& family = ReceiverInfo_Families()[ReceiverInfo_FindFamilyByName(config.family.c_str()) - 1];
    SimAnalyzer analyzer(family, config);

    SimServerOptions server;
    server.address = config.address;
    server.port = config.port >= 0 ? config.port : family.scpiPort;
    server.dropAtSeconds = config.dropAtSeconds;
    server.dropDownSeconds = config.dropDownSeconds;
    server.dropResets = config.dropResets;
    server.exitAfterSeconds = config.exitAfterSeconds;
    server.verbose = config.verbose;
    if (config.verbose) std::fprintf(stderr, "fieldtrace-analyzer-sim: %s\n", analyzer.identity().c_str());
    return SimServer_Run(analyzer, server);
}
