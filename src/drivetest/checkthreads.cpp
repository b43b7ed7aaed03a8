// The check of the candidates: one thread per slot asks the analyzer over
// SCPI who it is and what it carries; then, without SCPI, the slots are
// validated against the chosen standard as often as the settings change.
#include <cstring>

#include "instrument/configcheck.h"
#include "drivetest/wizardstate.h"
#include "platform/instrument.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

void DriveTest_CheckThread(Wizard* w, int index) {
    AnalyzerSlot slot;
    {
        Lock lock(w->driveTestLock);
        slot = w->analyzerList[static_cast<std::size_t>(index - 1)];
    }
    auto terminating = [w] {
        Lock lock(w->driveTestLock);
        return w->workerState == -kWorkerEnded;
    };
    DriveTest_CheckAnalyzer(slot, w->sessionTimeoutMs, terminating);
    Lock lock(w->driveTestLock);
    w->analyzerList[static_cast<std::size_t>(index - 1)] = std::move(slot);
    w->check.active -= 1;
    w->changed.notify_all();
}

bool Is(const char* text, const char* value) { return std::strcmp(text, value) == 0; }

}  // namespace

void DriveTest_CheckStart(Wizard& w) {
    CheckContext& cc = w.check;
    for (auto& t : cc.threads)
        if (t.joinable()) t.join();
    cc.threads.clear();
    w.view->showProgress("Step 2 of 2: Checking TV analyzer configuration", 0.0);
    Lock lock(w.driveTestLock);
    cc.active = 0;
    cc.started = 0;
    cc.total = static_cast<int>(w.analyzerList.size());
    cc.lastProgressTime = 0.0;
    // One thread per slot, all at once; each owns its copy of the slot and its session.
    for (int index = 1; index <= cc.total; ++index) {
        cc.active += 1;
        cc.started += 1;
        cc.threads.emplace_back(DriveTest_CheckThread, &w, index);
    }
}

int DriveTest_CheckPoll(Wizard& w) {
    CheckContext& cc = w.check;
    int total, done;
    {
        Lock lock(w.driveTestLock);
        total = static_cast<int>(w.analyzerList.size());
        done = cc.started - cc.active;
    }
    if (done < total) {
        DriveTest_ShowProgress(w, cc.lastProgressTime, 100.0 * done / total);
        return -kWorkerChecking;
    }
    for (auto& t : cc.threads)
        if (t.joinable()) t.join();
    cc.threads.clear();
    const bool onInstrument = Platform_RunsOnInstrument() == 1;
    Lock lock(w.driveTestLock);
    std::vector<AnalyzerSlot> kept;
    for (auto& slot : w.analyzerList) {
        if (Is(slot.status, "Fail")) {
            // The analyzer the program runs on stays, even when its firmware is not running.
            if (!onInstrument || !Is(slot.address, "127.0.0.1")) continue;
            Text_Copy(slot.family.modelName, "Alvra");
            Text_Copy(slot.status, "Firmware not running");
            Text_Copy(slot.serialNumber, "?");
        }
        kept.push_back(std::move(slot));
    }
    w.analyzerList = std::move(kept);
    return w.analyzerList.empty() ? -kWorkerWaiting : -kWorkerValidating;
}

int DriveTest_Validate(Wizard& w) {
    Lock lock(w.driveTestLock);
    for (auto& slot : w.analyzerList) DriveTest_ValidateSlot(slot, w.basic.standard.c_str());
    return -kWorkerWaiting;
}
