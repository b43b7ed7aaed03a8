#pragma once
// The TCP side of the analyzer simulator: one listening socket, connections
// served one after another, every wait in poll(). Lines go to the
// SimAnalyzer; its replies leave in order, each not before its time.
#include <string>

#include "simanalyzer.h"

struct SimServerOptions {
    std::string address = "127.0.0.1";
    int port = 0;                    // 0: any free port
    double dropAtSeconds = -1.0;     // drop the connection open at this time (or the next one), once
    double dropDownSeconds = 0.0;    // after a drop, accept no connection for this long
    bool dropResets = false;         // a drop is a power cycle of the analyzer
    double exitAfterSeconds = -1.0;  // end the server at this time
    bool verbose = false;
};

// Serves until exitAfterSeconds, SIGINT or SIGTERM. Prints one line
// "fieldtrace-analyzer-sim: <model> listening on <address>:<port>" on stdout once
// listening. Returns the process exit code (0, or 1 when the socket cannot be set up).
int SimServer_Run(SimAnalyzer& analyzer, const SimServerOptions& options);
