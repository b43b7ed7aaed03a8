#pragma once
// The drive-test wizard: the worker that searches, checks and validates the
// analyzers and engages the chosen ones, the settings and selection of the
// basic and hardware pages, the measurement selection, and the page flow.
// Pages reach it through the on... callbacks (main thread) and see it through
// the views of wizardviews.h.
#include <optional>
#include <string>
#include <vector>

#include "instrument/analyzerslot.h"
#include "drivetest/wizardviews.h"

class FrequencyPageView;

// Worker states.
enum WorkerState : int {
    kWorkerEnded = 1,
    kWorkerSearching = 2,
    kWorkerChecking = 3,
    kWorkerValidating = 4,
    kWorkerWaiting = 5,
    kWorkerEngaged = 6,
};

// ICMP time-out of one probe of the search, in ms: long enough for a host of
// the local network to resolve its MAC address and answer.
constexpr int kSearchProbeTimeoutMs = 1000;
constexpr int kFreeDiskRequiredMB = 500;
inline constexpr const char* kNoAddressRange =
    "No IP address range available. Connect this computer to a network first.";

struct WizardOptions {
    // Empty: Platform_DataDirectory(), and results default to
    // Platform_OutputDirectory(); else both are this directory.
    std::string dataDirectory;
    int sessionTimeoutMs = 400;  // SCPI time-out of the check (connect) and of the measurement threads
    bool search = true;          // request a search at start (the desktop does; tests may wait)
    // Settings to use instead of basic.ini (the command line); with them
    // nothing is written back at the end.
    std::optional<BasicSettings> basic;
};

// Loads basic.ini, starts the worker and (options.search) requests a search.
// The views must outlive the module; frequencyView and recordingView may be null.
void DriveTest_Init(DriveTestWizardView& view, FrequencyPageView* frequencyView, DriveTestView* recordingView,
                    const WizardOptions& options = {});
// Ends the worker (a recording is stopped with "Program quit command" and
// the threads released), saves basic.ini from the page (a failure is told
// once per run) and clears the list.
void DriveTest_Close();

// Asks the worker for state n and returns after it carried out the entry action.
void DriveTest_RequestWorkerState(int n);
// The state the worker is in (positive), or a pending request (negative).
int DriveTest_WorkerState();

// Snapshots for the pages, tests and the command line.
std::vector<AnalyzerSlot> DriveTest_Analyzers();
std::vector<AnalyzerTableRow> DriveTest_AnalyzerTable();
bool DriveTest_AntennaColumn();
std::string DriveTest_RangeText();
BasicSettings DriveTest_Basic();
// Slots are ordered "OK" first, then by model name, then by serial number.
bool DriveTest_CompareSlots(const AnalyzerSlot& a, const AnalyzerSlot& b);

// The selection rules of the hardware page; 1 when the selection is complete.
int DriveTest_CheckSelection(int row, int showMessages);
// Free megabytes of the output directory's file system.
int DriveTest_FreeDiskMB();

// Measurement tree of the engaged standard: items, marks, tags of the marked measurements.
std::vector<MeasurementTreeItem> DriveTest_MeasurementTree();
std::vector<std::string> DriveTest_MarkedTags();
int DriveTest_CheckMeasurements();

// Basic page.
void onDtBasicHome();
void onDtBasicNext();
void onDtBasicDir();
// Hardware page.
void onDtHwHome();
void onDtHwPrevious();
void onDtRefresh();
void onDtHwNext();
// The antenna editor changed the antenna types: the table shows the new
// choices and keeps the roles and inputs chosen so far.
void DriveTest_AntennasChanged();
// A value the user chose in the analyzer table (row >= 2; column 3 role, 4 input, 5 antenna).
void onDtHwTable(int row, int column, const std::string& value);
// The mouse over a table cell (row 1 is the title row): the column help or nothing.
void onDtHwTableMouse(int row, int column);
void onDtHwBack();
// Frequency page.
void onDtFreqHome();
void onDtFreqPrevious();
void onDtFreqNext();
// Measurement page.
void onDtMeasDef(bool value);
void onDtMeasUsr(bool value);
// The user's check mark on tree item index (a group passes it to everything under it).
void onDtMeasTreeMark(int item, bool marked);
void onDtMeasNext();
void onDtMeasPrevious();
void onDtMeasHome();
// Recording page.
void onDtRecPrevious();
void onDtRecHome();
