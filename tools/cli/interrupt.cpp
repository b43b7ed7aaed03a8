#include "interrupt.h"

#include <atomic>
#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnInterrupt(int) { interrupted = 1; }

std::atomic<int> toggles{0};  // lock-free, so the handler may touch it
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction previousUsr1 {};

void OnToggle(int) { toggles.fetch_add(1); }

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

ToggleCatcher::ToggleCatcher() {
    toggles = 0;
    struct sigaction action {};
    action.sa_handler = OnToggle;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previousUsr1);
}

ToggleCatcher::~ToggleCatcher() { sigaction(SIGUSR1, &previousUsr1, nullptr); }

int Cli_TakeToggles() { return toggles.exchange(0); }
