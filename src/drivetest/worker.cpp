// The wizard's worker: a small state machine that the pages drive by
// requesting states, and the module's start and end.
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "antenna/antenna.h"
#include "drivetest/basicsettings.h"
#include "drivetest/frequencylist.h"
#include "drivetest/wizardstate.h"
#include "instrument/receiverinfo.h"
#include "platform/datetime.h"
#include "platform/paths.h"
#include "platform/settingsnotice.h"
#include "records/fileio.h"

namespace {

using Lock = std::unique_lock<std::mutex>;
constexpr auto kRound = std::chrono::milliseconds(100);
constexpr auto kPollPause = std::chrono::milliseconds(10);

// Entry action of state -req, coming from cur.
void Enter(Wizard& w, int cur, int state) {
    switch (state) {
        case kWorkerSearching: DriveTest_SearchStart(w); break;
        case kWorkerChecking: DriveTest_CheckStart(w); break;
        case kWorkerWaiting:
            if (cur < kWorkerWaiting) DriveTest_FillAnalyzerTable(w);
            else DriveTest_ReleaseThreads(w);
            break;
        case kWorkerEngaged: DriveTest_Engage(w); break;
        case kWorkerEnded:
            if (cur == kWorkerSearching)
                while (DriveTest_SearchPoll(w) == -kWorkerSearching) std::this_thread::sleep_for(kRound);
            if (cur == kWorkerChecking)
                while (DriveTest_CheckPoll(w) == -kWorkerChecking) std::this_thread::sleep_for(kRound);
            if (cur == kWorkerEngaged) DriveTest_QuitEngaged(w);
            break;
        default: break;
    }
}

int Poll(Wizard& w, int cur, int req) {
    switch (cur) {
        case kWorkerSearching: return DriveTest_SearchPoll(w);
        case kWorkerChecking: return DriveTest_CheckPoll(w);
        case kWorkerValidating: return DriveTest_Validate(w);
        case kWorkerWaiting: {
            Lock lock(w.driveTestLock);
            const int next = w.revalidateRequest ? -kWorkerValidating : -kWorkerWaiting;
            w.revalidateRequest = 0;
            return next;
        }
        default: return req;
    }
}

void DriveTest_Worker(Wizard* wp) {
    Wizard& w = *wp;
    int cur = 0;
    int req = 0;
    for (;;) {
        if (req >= 0) {
            Lock lock(w.driveTestLock);
            req = w.workerState;
        }
        if (req >= 0) {
            req = Poll(w, cur, req);
            // Sleep between polls, but wake at once for a page's request. A
            // state without a poll action sleeps until there is something to do.
            Lock lock(w.driveTestLock);
            auto wake = [&] { return w.workerState < 0 || (cur == kWorkerWaiting && w.revalidateRequest); };
            if (cur >= kWorkerSearching && cur <= kWorkerValidating) w.changed.wait_for(lock, kPollPause, wake);
            else if (req >= 0 || req == -cur) w.changed.wait(lock, wake);
            continue;
        }
        if (-req != cur) Enter(w, cur, -req);
        cur = -req;
        {
            Lock lock(w.driveTestLock);
            if (w.workerState == req) w.workerState = cur;
            w.currentState = cur;
            w.changed.notify_all();
        }
        req = cur;
        if (cur == kWorkerEnded) return;
    }
}

}  // namespace

Wizard& Wizard_Get() {
    static Wizard wizard;
    return wizard;
}

void DriveTest_ShowProgress(Wizard& w, double& lastProgressTime, double percent) {
    const double now = DateTime_Now();
    if (now - lastProgressTime < 0.5) return;
    lastProgressTime = now;
    w.view->setProgress(percent);
}

void DriveTest_RequestWorkerState(int n) {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    if (!w.worker.joinable()) return;
    while (w.requestBusy) w.changed.wait_for(lock, kRound);
    w.requestBusy = 1;
    w.workerState = -n;
    w.changed.notify_all();
    while (w.workerState != n) w.changed.wait_for(lock, kRound);
    w.requestBusy = 0;
    w.changed.notify_all();
}

int DriveTest_WorkerState() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.workerState < 0 ? w.workerState : w.currentState;
}

void DriveTest_ClearAnalyzers(Wizard& w) {
    Lock lock(w.driveTestLock);
    w.analyzerList.clear();
}

void DriveTest_Init(DriveTestWizardView& view, FrequencyPageView* frequencyView, DriveTestView* recordingView,
                    const WizardOptions& options) {
    Wizard& w = Wizard_Get();
    if (w.worker.joinable()) return;
    w.dataDirectory = options.dataDirectory.empty() ? Platform_DataDirectory() : options.dataDirectory;
    w.sessionTimeoutMs = options.sessionTimeoutMs;
    w.view = &view;
    w.frequencyView = frequencyView;
    w.recordingView = recordingView;
    {
        Lock lock(w.driveTestLock);
        w.workerState = 0;
        w.currentState = 0;
        w.requestBusy = 0;
        w.revalidateRequest = 0;
        w.analyzerList.clear();
        w.table.clear();
        w.rangeText.clear();
        w.tree = {};
        w.engagedCount = 0;
    }
    // The standard choice lists every standard of the catalogue once, in catalogue order.
    std::vector<std::string> standards;
    for (const auto& f : ReceiverInfo_Families())
        for (const auto& s : f.standards)
            if (std::find(standards.begin(), standards.end(), s.name) == standards.end()) standards.push_back(s.name);
    view.setChoices(standards, BasicSettings_LevelUnits(), BasicSettings_DistanceUnits());

    // Results go where the user may write: a data directory given here or a
    // portable copy's; ~/Fieldtrace for an installed program.
    const std::string outputDirectory = options.dataDirectory.empty() ? Platform_OutputDirectory() : w.dataDirectory;
    w.saveBasic = !options.basic;
    const BasicSettings basic =
        options.basic ? *options.basic : BasicSettings_Initial(w.dataDirectory, outputDirectory);
    // The page offers the default directory: it exists before Next measures its free space.
    if (!options.basic && basic.outputDirectory == outputDirectory && !FileIO_IsDirectory(outputDirectory.c_str()))
        Platform_MakeDirectory(outputDirectory);
    {
        Lock lock(w.driveTestLock);
        w.basic = basic;
        w.antennaColumn = BasicSettings_NeedsAntenna(basic.levelUnit) ? 1 : 0;
    }
    view.showBasic(basic);
    DriveTest_FrequencyInit(frequencyView, w.dataDirectory);
    w.worker = std::thread(DriveTest_Worker, &w);
    if (options.search) DriveTest_RequestWorkerState(kWorkerSearching);
}

void DriveTest_Close() {
    Wizard& w = Wizard_Get();
    if (!w.worker.joinable()) return;
    DriveTest_RequestWorkerState(kWorkerEnded);
    w.worker.join();
    if (w.search.sweep.joinable()) w.search.sweep.join();
    BasicSettings basic = w.view->readBasic();
    {
        Lock lock(w.driveTestLock);
        w.basic = basic;
    }
    const std::string basicPath = Platform_JoinPath(w.dataDirectory, kBasicFileName);
    if (w.saveBasic && !BasicSettings_Save(basicPath, basic)) Platform_SettingsNotSaved(basicPath, errno);
    DriveTest_ClearAnalyzers(w);
    DriveTest_FrequencyClose();
    Lock lock(w.driveTestLock);
    w.table.clear();
    w.workerState = 0;
}

std::vector<AnalyzerSlot> DriveTest_Analyzers() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.analyzerList;
}

std::vector<AnalyzerTableRow> DriveTest_AnalyzerTable() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.table;
}

bool DriveTest_AntennaColumn() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.antennaColumn != 0;
}

std::string DriveTest_RangeText() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.rangeText;
}

BasicSettings DriveTest_Basic() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.basic;
}
