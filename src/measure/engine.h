#pragma once
// Internals shared by the measurement thread's parts: the drive-test state
// guarded by the drive-test lock, and the phase steps.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "measure/drivetest.h"
#include "measure/sampleclock.h"

struct StatusRow {
    std::string label;
    int analyzer = 0;  // 0 for a separator row
};

struct DriveTestState {
    std::mutex lock;                   // the drive-test lock
    std::condition_variable changed;   // signalled on every clock, command and state change
    std::vector<std::unique_ptr<ReceiverContext>> contexts;
    std::vector<std::thread> threads;
    SampleClock clock;
    bool requestInProgress = false;
    std::string stopReason;
    bool stopRunning = false;
    std::thread stopThread;
    BasicSettings settings;
    int sessionTimeoutMs = 400;
    DriveTestView* view = nullptr;
    std::vector<StatusRow> statusRows;
    std::vector<std::string> recordFiles;  // files of the current (or last) recording, for the stop report
    int threadsWithFiles = 0;              // threads between creating and closing their record files
};

// The one drive test of the process (nullptr when none runs).
DriveTestState* Engine_State();

void ReceiverThread(ReceiverContext* ctx);
// Tells the hook of DriveTest_SetSampleWrittenHook, if any, of a written sample.
void Engine_SampleWritten(const std::string& path, int samples);

// Phase steps (one exchange at most each); preparation.cpp and measuring.cpp.
void Engine_InitPhase(DriveTestState& dt, ReceiverContext& ctx);
void Engine_FrequencySetupPhase(DriveTestState& dt, ReceiverContext& ctx);
// The mode switch of a measurement: sub-steps 0 to 3; advances ctx.step.
void Engine_ModeSwitch(DriveTestState& dt, ReceiverContext& ctx, int modeIndex, int subStep);
void Engine_MeasuringPhase(DriveTestState& dt, ReceiverContext& ctx);
// Seconds before an unusable live answer (invalid level, unknown sync) is asked again.
constexpr double kLiveRetrySeconds = 0.1;
// One live-status query while waiting for a sample (monitoring or paused).
void Engine_LiveQuery(DriveTestState& dt, ReceiverContext& ctx);
// True while a live-status query is still to be made before the next refresh
// and no unusable answer holds it back (see liveRetryAt).
bool Engine_LiveQueryDue(const ReceiverContext& ctx, double now);
// Sorted insertion of a result wait.
void Engine_InsertResultWait(std::vector<ResultWait>& waits, const char* longName, const char* query, int queryGroup,
                             int modeIndex);

// Decoding helpers (measuring.cpp), public for tests.
double Engine_ConvertCoordinate(const char* reply);
bool Engine_ValueReplyInvalid(const char* reply, const char* query);
bool Engine_GraphReplyInvalid(const char* reply, const char* query);
void Engine_DecodeEchoList(const char* reply, int transferKind, const char* xMin, const char* xMax, float* points,
                           int count);
void Engine_DecodePeakList(const char* reply, const char* xMin, const char* xMax, float* points, int count);

// When reinitReason is set: closes the session, keeps the reason for the status
// and restarts the Init phase. Checked before every step of phases 1 to 3 and
// at the end of the Storing phase.
bool Engine_ReinitRequested(ReceiverContext& ctx);
// Sets stepDescription (the step in progress).
void Engine_Describe(ReceiverContext& ctx, const char* description);

// One read-back of the Init sequence: the check form of a setup item.
struct SetupCheck {
    const char* description;
    const char* header;
    const char* value;
    const char* expected;  // nullptr: the reply must equal value
    bool numeric;
};
// The Init sequence's read-backs that apply to this analyzer, in its order:
// what tells after a lost connection whether the analyzer kept its setup.
std::vector<SetupCheck> Engine_SetupChecks(const ReceiverContext& ctx);

// The providesGps thread hands the position of its sample to the others, once
// per sample and as soon as it has read it: another thread's sample closed
// meanwhile (because this one got stuck later) still carries it. Nothing is
// handed over for a sample the thread has left.
void Engine_ShareGps(DriveTestState& dt, ReceiverContext& ctx);
