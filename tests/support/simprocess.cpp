#include "support/simprocess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

std::string SimProcess_Binary() {
#ifdef FIELDTRACE_SIM
    return FIELDTRACE_SIM;
#else
    return "";
#endif
}

SimProcess::SimProcess(const std::string& family, const std::string& address, int port,
                       const std::vector<std::string>& extra)
    : address_(address), port_(port) {
    std::vector<std::string> args = {SimProcess_Binary(), "--family", family, "--address", address,
                                     "--port", std::to_string(port), "--exit-after-seconds", "300"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
}

SimProcess::~SimProcess() { stop(); }

bool SimProcess::ready(int timeoutMs) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port_));
        inet_pton(AF_INET, address_.c_str(), &sa.sin_addr);
        bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
        close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void SimProcess::pause() {
    if (pid_ > 0) kill(pid_, SIGSTOP);
}

void SimProcess::resume() {
    if (pid_ > 0) kill(pid_, SIGCONT);
}

void SimProcess::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}
