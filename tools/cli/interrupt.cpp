#include "interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

InterruptCatcher::InterruptCatcher() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

InterruptCatcher::~InterruptCatcher() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

bool Cli_Interrupted() { return interrupted != 0; }
