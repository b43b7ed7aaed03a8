#pragma once
// A drive test: one measurement thread per analyzer, the shared sample clock,
// and the requests of the user interface (monitor, record, pause, stop).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measure/drivetestview.h"
#include "measure/receivercontext.h"

// What the wizard (or the command line) hands to a drive test.
struct DriveTestAnalyzer {
    AnalyzerSlot slot;              // completed: standardIndex, levelUnitIndex, inputIndex, antennaIndex
    bool providesGps = false;
    std::vector<FrequencyEntry> frequencies;
    std::vector<std::string> selectedTags;  // "V%d", "G%d", "P%d"
};

struct DriveTestSetup {
    BasicSettings settings;
    std::vector<DriveTestAnalyzer> analyzers;
    int sessionTimeoutMs = 400;
};

// Stop reasons.
constexpr const char* kStopPressed = "Stop pressed";
constexpr const char* kStopQuit = "Program quit command";
constexpr const char* kStopFileCreation = "File creation error";
constexpr const char* kStopFileWrite = "File write error";

// Starts the measurement threads in state Idle (they connect and prepare
// their analyzers). Frequencies and measurements may still be empty: they are
// read when monitoring starts (DriveTest_SetMeasurementPlan).
// False when a drive test is already running or the setup is unusable (error says why).
bool DriveTest_Start(const DriveTestSetup& setup, DriveTestView& view, std::string& error);
// The frequencies and marked measurements of analyzer number (1-based), which
// its thread takes when monitoring starts (the wizard fills them after the
// threads were started). False when no drive test runs or number names no thread.
bool DriveTest_SetMeasurementPlan(int number, const std::vector<FrequencyEntry>& frequencies,
                                  const std::vector<std::string>& selectedTags);
// Asks every thread for state n and waits until all have reached it.
void DriveTest_RequestState(int n);
// Record: refuses with a message when the output directory has 500 MB or less
// free; otherwise clears the stop reason and requests recording. False when refused.
bool DriveTest_Record();
// The free-space rule of Record alone: false, with the message, at 500 MB or less.
bool DriveTest_CheckRecordSpace();
// Requests the pause; false (nothing requested) once a stop is stored.
bool DriveTest_Pause();
// Ends the recording for reason (stored once; a second stop does nothing), and reports it.
void DriveTest_Stop(const std::string& reason);
// Blocks until a stop started by DriveTest_Stop has closed the files and reported; true when one ran.
bool DriveTest_WaitStopped(int timeoutMs);
// Ends all threads (state 1) and frees the drive test.
void DriveTest_Release();

// The stored stop reason; empty while recording runs or before any stop.
std::string DriveTest_StopReason();
// Paths of the record files of the last recording.
std::vector<std::string> DriveTest_RecordFiles();
// Free space of the output directory in MB (bytes / 2^20).
int DriveTest_FreeDiskMB(const std::string& directory);
// Replaces the free-space probe (tests); nullptr restores statvfs.
void DriveTest_SetFreeSpaceProbe(std::function<std::int64_t(const std::string&)> probe);

// Called on a measurement thread after a sample's bytes were handed to the
// operating system (so they survive the end of the process): the record file
// and the samples it now holds. For a caller that must know what is safe, such
// as the recorder's --report; nullptr removes it. Keep it short: the
// drive-test lock is held.
void DriveTest_SetSampleWrittenHook(std::function<void(const std::string& path, int samples)> hook);

// A snapshot of one thread's state for tests and displays.
struct DriveTestThreadInfo : ReceiverSnapshot {
    int number = 0;
};
std::vector<DriveTestThreadInfo> DriveTest_Threads();

// Free-space thresholds in MB.
constexpr int kRecordMinFreeMB = 500;
constexpr int kRecordLowFreeMB = 200;
