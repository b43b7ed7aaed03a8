// fieldtrace-net-sweep: one sweep of every host 0..254 of the networks named
// in FIELDTRACE_LAB_NETS through the system network access, as discovery
// does it. Prints "WALL_S CPU_S ANSWERED PROBES" (CPU: user + system time of
// this process). Runs only inside the network lab (scripts/lab.sh).
//
// usage: fieldtrace-net-sweep TIMEOUT_MS
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/network.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const char* nets = std::getenv("FIELDTRACE_LAB_NETS");
    if (argc != 2 || !nets || !std::getenv("FIELDTRACE_LAB")) {
        std::fprintf(stderr, "usage: fieldtrace-net-sweep TIMEOUT_MS   (inside scripts/lab.sh only)\n");
        return 2;
    }
    if (Network_InInitialNamespace()) {
        std::fprintf(stderr, "fieldtrace-net-sweep: refusing to sweep the machine's own network namespace\n");
        return 1;
    }
    std::vector<std::string> addresses;
    std::istringstream in(nets);
    for (std::string net; in >> net;)
        for (int host = 0; host <= 254; ++host) addresses.push_back(net + "." + std::to_string(host));

    std::size_t answered = 0, finished = 0;
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Network_System().sweep(addresses, std::atoi(argv[1]), [&](std::size_t, bool ok) {
        ++finished;
        answered += ok;
    });
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    std::printf("%.4f %.4f %zu %zu\n", wall.count(), CpuSeconds() - cpu, answered, finished);
    return finished == addresses.size() ? 0 : 1;
}
