#pragma once
// The wizard's process-wide state, shared by its source files only. Every
// field below the lock is guarded by driveTestLock, except where noted.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drivetest/measurementtree.h"
#include "drivetest/wizard.h"

// One local IPv4 network being swept.
struct AddressScan {
    int active = 0;      // probes sent and not yet finished
    std::string prefix;  // first three octets; empty when not scanned
    int next = 0;        // next host number to claim
    int ownHost = -1;    // claimed but not pinged
};

struct SearchContext {
    std::vector<AddressScan> scans;
    double lastProgressTime = 0.0;
    std::thread sweep;  // worker only
};

struct CheckContext {
    int active = 0;
    int started = 0;
    int total = 0;
    double lastProgressTime = 0.0;
    std::vector<std::thread> threads;  // worker only
};

struct Wizard {
    std::mutex driveTestLock;
    std::condition_variable changed;  // workerState, requestBusy and the check counters
    int workerState = 0;
    int currentState = 0;  // the state the worker is in, also after a transition of its own
    int requestBusy = 0;
    int revalidateRequest = 0;
    int antennaColumn = 0;
    std::vector<AnalyzerSlot> analyzerList;
    std::vector<AnalyzerTableRow> table;  // row r of the page is table[r - 2]
    std::string rangeText;
    BasicSettings basic;
    SearchContext search;
    CheckContext check;
    MeasurementTree tree;
    bool defaultMeasurements = true;
    int engagedCount = 0;

    // Set at initialisation, read without the lock.
    std::string dataDirectory;
    int sessionTimeoutMs = 400;
    bool saveBasic = true;
    DriveTestWizardView* view = nullptr;
    FrequencyPageView* frequencyView = nullptr;
    DriveTestView* recordingView = nullptr;
    std::thread worker;
};

Wizard& Wizard_Get();

// Worker actions (worker thread).
void DriveTest_SearchStart(Wizard& w);
int DriveTest_SearchPoll(Wizard& w);
int Network_FindAnalyzers(Wizard& w);
void DriveTest_CheckStart(Wizard& w);
int DriveTest_CheckPoll(Wizard& w);
int DriveTest_Validate(Wizard& w);
void DriveTest_FillAnalyzerTable(Wizard& w);
void DriveTest_Engage(Wizard& w);
void DriveTest_ReleaseThreads(Wizard& w);
// The terminate action of the engaged state: a recording is stopped with "Program quit command".
void DriveTest_QuitEngaged(Wizard& w);
void DriveTest_ClearAnalyzers(Wizard& w);
// Progress in percent at most every 0.5 s (lastProgressTime is updated).
void DriveTest_ShowProgress(Wizard& w, double& lastProgressTime, double percent);
