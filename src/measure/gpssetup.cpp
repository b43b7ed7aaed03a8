// The GPS setup's entry points: opening and closing the panel and the user's
// requests, which change the stage under the lock and wake the thread.
// (The panel floats on top of the main window only on the analyzer's own
// screen; a PC needs nothing for that. The half-second auto-edit of the
// input cells is the panel's own affair.)
#include <algorithm>

#include "measure/gpssetupstate.h"

namespace {

// A request of the user: the thread restarts `stage` from its first step.
void Request(GpsSetupShared& s, int stage) {
    s.stage = stage;
    ++s.request;
    s.wake.notify_all();
}

bool Running(const GpsSetupShared& s) { return s.stage != kGpsStageIdle && s.stage != kGpsStageClosing; }

// Asks the thread to end and waits until it has; true when a setup was running.
bool EndSetup(GpsSetupShared& s) {
    std::thread finished;
    bool running;
    {
        std::unique_lock<std::mutex> lock(s.lock);
        // The thread itself may close (through a host call): it cannot wait for itself.
        const bool self = s.thread.get_id() == std::this_thread::get_id();
        running = s.stage != kGpsStageIdle;
        if (running) {
            if (s.stage != kGpsStageClosing) Request(s, kGpsStageClosing);
            if (self) return false;
            const unsigned run = s.run;
            s.wake.wait(lock, [&] { return s.endedRun == run; });
        }
        // Also a thread that ended on a request of its own is joined here.
        if (!self && s.thread.joinable()) finished = std::move(s.thread);
    }
    if (finished.joinable()) finished.join();
    return running;
}

}  // namespace

GpsSetupShared& GpsSetup_Shared() {
    static GpsSetupShared shared;
    return shared;
}

void GpsSetup_Init(GpsSetupView* view, GpsSetupHost* host) {
    GpsSetup_Close();
    GpsSetupShared& s = GpsSetup_Shared();
    std::lock_guard<std::mutex> lock(s.lock);
    s.view = view;
    s.host = host;
    s.analyzer = -1;
    s.stage = kGpsStageIdle;
}

void GpsSetup_Close() {
    onGsClose();
    GpsSetupShared& s = GpsSetup_Shared();
    std::lock_guard<std::mutex> lock(s.lock);
    s.view = nullptr;
    s.host = nullptr;
}

void GpsSetup_Open(int row) {
    GpsSetupShared& s = GpsSetup_Shared();
    std::thread previous;
    GpsSetupView* view;
    {
        std::lock_guard<std::mutex> lock(s.lock);
        if (!s.view || !s.host || s.stage != kGpsStageIdle) return;
        s.analyzer = row;
        s.stage = kGpsStageStarting;
        s.receiver = 0;
        s.receiverCount = 0;
        s.inputValues.clear();
        s.inputLimits.clear();
        ++s.run;
        // A thread that ended without a close that waited for it is joined here.
        if (s.thread.joinable()) previous = std::move(s.thread);
        view = s.view;
    }
    if (previous.joinable()) previous.join();
    view->setMainTabsEnabled(false);
    view->showPanel(true);
    std::lock_guard<std::mutex> lock(s.lock);
    // The thread starts with the lock: it sees the stage only once it is stored here.
    s.thread = std::thread(GpsSetup_Thread, row, s.run, s.timing);
}

void onGsClose() {
    GpsSetupShared& s = GpsSetup_Shared();
    if (!EndSetup(s)) return;
    GpsSetupView* view;
    {
        std::lock_guard<std::mutex> lock(s.lock);
        view = s.view;
    }
    if (!view) return;
    view->setControlsEnabled(true);
    view->showPanel(false);
    view->setMainTabsEnabled(true);
}

void onGsRing(int receiverIndex) {
    GpsSetupShared& s = GpsSetup_Shared();
    std::lock_guard<std::mutex> lock(s.lock);
    if (!Running(s) || receiverIndex < 0 || receiverIndex >= s.receiverCount) return;
    s.receiver = receiverIndex;
    Request(s, kGpsStageInitialising);
}

void onGsTable(int row, int value) {
    GpsSetupShared& s = GpsSetup_Shared();
    std::lock_guard<std::mutex> lock(s.lock);
    if (!Running(s) || row < 1 || static_cast<std::size_t>(row) > s.inputValues.size()) return;
    const GpsSetupInputLimit& limit = s.inputLimits[static_cast<std::size_t>(row - 1)];
    s.inputValues[static_cast<std::size_t>(row - 1)] = std::clamp(value, limit.minimum, limit.maximum);
    Request(s, kGpsStageInputs);
}

int GpsSetup_Stage() {
    GpsSetupShared& s = GpsSetup_Shared();
    std::lock_guard<std::mutex> lock(s.lock);
    return s.stage;
}

void GpsSetup_SetTiming(const GpsSetupTiming& timing) {
    GpsSetupShared& s = GpsSetup_Shared();
    std::lock_guard<std::mutex> lock(s.lock);
    s.timing = timing;
}
