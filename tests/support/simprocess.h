#pragma once
// Starts fieldtrace-analyzer-sim on a loopback address for a test and ends
// it (by its process id) when the test is done.
#include <sys/types.h>

#include <string>
#include <vector>

class SimProcess {
public:
    // address must be in 127.0.0.0/8; extra are further options of the simulator.
    SimProcess(const std::string& family, const std::string& address, int port, const std::vector<std::string>& extra = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once the simulator accepts connections (waits up to timeoutMs).
    bool ready(int timeoutMs = 5000) const;
    void pause();   // SIGSTOP: the analyzer stops answering
    void resume();  // SIGCONT
    void stop();    // SIGTERM, then wait
    pid_t pid() const { return pid_; }

private:
    std::string address_;
    int port_;
    pid_t pid_ = -1;
};

// The simulator binary built beside the tests.
std::string SimProcess_Binary();
