// The drive test as the user interface sees it: start the threads, request
// states, record, pause and stop with the free-space rules, and release.
#include "measure/drivetest.h"

#include <chrono>

#include "measure/engine.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

std::mutex stateMutex;  // guards the pointer below, not the drive test itself
std::unique_ptr<DriveTestState> current;
std::mutex probeMutex;
std::function<std::int64_t(const std::string&)> freeSpaceProbe;
std::mutex hookMutex;
std::function<void(const std::string&, int)> sampleWrittenHook;

std::string StopReport(const DriveTestState& dt, const std::string& reason) {
    if (reason == kStopPressed) {
        std::string text = "All drive test results have been successfully written to\n";
        for (std::size_t i = 0; i < dt.recordFiles.size(); ++i) text += (i ? "\n" : "") + dt.recordFiles[i];
        text += "\n\nClick the 'Home' button to proceed with the analysis of the drive test results.";
        return text;
    }
    return "The drive test had to be stopped:\n\n" + reason;
}

void StopSequence(DriveTestState* dt, std::string reason) {
    DriveTest_RequestState(kStateMonitoring);
    std::string report;
    {
        Lock lock(dt->lock);
        report = StopReport(*dt, reason);
    }
    dt->view->message(report);
    dt->view->recordingStopped();
    Lock lock(dt->lock);
    dt->stopRunning = false;
    dt->changed.notify_all();
}

}  // namespace

DriveTestState* Engine_State() {
    std::lock_guard<std::mutex> lock(stateMutex);
    return current.get();
}

bool DriveTest_Start(const DriveTestSetup& setup, DriveTestView& view, std::string& error) {
    std::lock_guard<std::mutex> guard(stateMutex);
    if (current) {
        error = "a drive test is already running";
        return false;
    }
    if (setup.analyzers.empty() || setup.analyzers.size() > 32) {
        error = "a drive test needs 1 to 32 analyzers";
        return false;
    }
    for (const auto& a : setup.analyzers) {
        if (a.slot.standardIndex < 1 || static_cast<std::size_t>(a.slot.standardIndex) > a.slot.family.standards.size()) {
            error = std::string("analyzer ") + a.slot.address + " has no standard chosen";
            return false;
        }
    }
    auto dt = std::make_unique<DriveTestState>();
    dt->settings = setup.settings;
    dt->sessionTimeoutMs = setup.sessionTimeoutMs;
    dt->view = &view;
    Recording_SetLevelUnitName(setup.settings.levelUnit.c_str());
    int number = 0;
    for (const auto& a : setup.analyzers) {
        auto ctx = std::make_unique<ReceiverContext>();
        ctx->number = ++number;
        ctx->command = kStateIdle;
        ctx->providesGps = a.providesGps ? 1 : 0;
        ctx->analyzer = a.slot;
        ctx->installedOptions = a.slot.options;
        ctx->frequencyEntries = a.frequencies;
        ctx->selectedTags = a.selectedTags;
        dt->contexts.push_back(std::move(ctx));
    }
    SampleClock_Reset(dt->clock, number);
    current = std::move(dt);
    for (auto& ctx : current->contexts) current->threads.emplace_back(ReceiverThread, ctx.get());
    return true;
}

bool DriveTest_SetMeasurementPlan(int number, const std::vector<FrequencyEntry>& frequencies,
                                  const std::vector<std::string>& selectedTags) {
    DriveTestState* dt = Engine_State();
    if (!dt) return false;
    Lock lock(dt->lock);
    for (auto& ctx : dt->contexts)
        if (ctx->number == number) {
            ctx->frequencyEntries = frequencies;
            ctx->selectedTags = selectedTags;
            return true;
        }
    return false;
}

namespace {

// Asks every thread for state n and waits until all have reached it. With
// unlessStopped nothing is asked when a stop is stored once this request's
// turn has come, and the result is false.
bool RequestState(int n, bool unlessStopped) {
    DriveTestState* dt = Engine_State();
    if (!dt) return false;
    Lock lock(dt->lock);
    while (dt->requestInProgress) dt->changed.wait_for(lock, std::chrono::milliseconds(100));
    if (unlessStopped && !dt->stopReason.empty()) return false;
    dt->requestInProgress = true;
    for (auto& ctx : dt->contexts) ctx->command = -n;
    dt->changed.notify_all();
    auto done = [&] {
        for (auto& ctx : dt->contexts)
            if (ctx->command != n) return false;
        return true;
    };
    while (!done()) dt->changed.wait_for(lock, std::chrono::milliseconds(100));
    dt->requestInProgress = false;
    dt->changed.notify_all();
    return true;
}

}  // namespace

void DriveTest_RequestState(int n) { RequestState(n, false); }

int DriveTest_FreeDiskMB(const std::string& directory) {
    std::int64_t bytes;
    {
        std::lock_guard<std::mutex> lock(probeMutex);
        bytes = freeSpaceProbe ? freeSpaceProbe(directory) : Platform_FreeDiskBytes(directory);
    }
    if (bytes < 0) return 0;
    return static_cast<int>(bytes >> 20);
}

void DriveTest_SetFreeSpaceProbe(std::function<std::int64_t(const std::string&)> probe) {
    std::lock_guard<std::mutex> lock(probeMutex);
    freeSpaceProbe = std::move(probe);
}

void DriveTest_SetSampleWrittenHook(std::function<void(const std::string&, int)> hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    sampleWrittenHook = std::move(hook);
}

void Engine_SampleWritten(const std::string& path, int samples) {
    std::lock_guard<std::mutex> lock(hookMutex);
    if (sampleWrittenHook) sampleWrittenHook(path, samples);
}

bool DriveTest_CheckRecordSpace() {
    DriveTestState* dt = Engine_State();
    if (!dt) return false;
    const int freeMB = DriveTest_FreeDiskMB(dt->settings.outputDirectory);
    if (freeMB <= kRecordMinFreeMB) {
        dt->view->message(Text_Format("Not enough free diskspace (%d MB) in selected output directory: At least %d MB "
                                      "are required.\nSelect another output directory.",
                                      freeMB, kRecordMinFreeMB));
        return false;
    }
    return true;
}

bool DriveTest_Record() {
    DriveTestState* dt = Engine_State();
    if (!dt || !DriveTest_CheckRecordSpace()) return false;
    {
        Lock lock(dt->lock);
        dt->stopReason.clear();
    }
    DriveTest_RequestState(kStateRecording);
    return true;
}

// A pause that meets a stop would wait for ever: monitoring threads never
// acknowledge state 5.
bool DriveTest_Pause() { return RequestState(kStatePaused, true); }

void DriveTest_Stop(const std::string& reason) {
    DriveTestState* dt = Engine_State();
    if (!dt) return;
    {
        Lock lock(dt->lock);
        if (!dt->stopReason.empty()) return;  // a stop is already under way
        dt->stopReason = reason;
        dt->stopRunning = true;
        if (reason != kStopQuit) {
            if (dt->stopThread.joinable()) dt->stopThread.detach();
            dt->stopThread = std::thread(StopSequence, dt, reason);
            return;
        }
    }
    StopSequence(dt, reason);
}

bool DriveTest_WaitStopped(int timeoutMs) {
    DriveTestState* dt = Engine_State();
    if (!dt) return false;
    Lock lock(dt->lock);
    return dt->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !dt->stopRunning; });
}

void DriveTest_Release() {
    DriveTestState* dt = Engine_State();
    if (!dt) return;
    DriveTest_WaitStopped(60000);
    DriveTest_RequestState(kStateEnded);
    for (auto& t : dt->threads) t.join();
    if (dt->stopThread.joinable()) dt->stopThread.join();
    std::lock_guard<std::mutex> guard(stateMutex);
    current.reset();
}

std::string DriveTest_StopReason() {
    DriveTestState* dt = Engine_State();
    if (!dt) return "";
    Lock lock(dt->lock);
    return dt->stopReason;
}

std::vector<std::string> DriveTest_RecordFiles() {
    DriveTestState* dt = Engine_State();
    if (!dt) return {};
    Lock lock(dt->lock);
    return dt->recordFiles;
}

std::vector<DriveTestThreadInfo> DriveTest_Threads() {
    std::vector<DriveTestThreadInfo> out;
    DriveTestState* dt = Engine_State();
    if (!dt) return out;
    Lock lock(dt->lock);
    for (const auto& ctx : dt->contexts) {
        // The thread's own fields change without the lock; its published copy does not.
        DriveTestThreadInfo info;
        static_cast<ReceiverSnapshot&>(info) = ctx->published;
        info.number = ctx->number;
        out.push_back(info);
    }
    return out;
}
