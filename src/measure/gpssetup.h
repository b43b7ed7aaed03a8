#pragma once
// The GPS receiver setup of one analyzer of the drive-test configuration. The
// user picks one of the receivers the analyzer's family supports and enters
// the receiver's integer inputs (a COM port, say); a thread of this module
// sets the analyzer up for that receiver and then asks once a second whether
// the receiver is there. Closing the panel returns the analyzer to local
// operation and hands the result back to the drive-test wizard.
//
// Only one setup runs at a time. Texts handed to the view are Latin-1 bytes,
// like every catalogue text; the view converts them for the screen.
#include <string>
#include <vector>

#include "instrument/analyzerslot.h"
#include "measure/drivetestview.h"  // RowColour

// Values of GpsSetup_Stage.
constexpr int kGpsStageClosing = -2;      // close requested, the thread is ending
constexpr int kGpsStageIdle = -1;         // no setup running
constexpr int kGpsStageStarting = 0;      // panel opened, thread starting
constexpr int kGpsStageInitialising = 1;  // sending the receiver's setup steps
constexpr int kGpsStageInputs = 2;        // sending the receiver's inputs
constexpr int kGpsStageWatching = 3;      // asking once a second for the receiver
constexpr int kGpsStageFailed = 4;        // failure shown; waits for the user

// One row of the input table.
struct GpsSetupInputRow {
    std::string description;  // column 1
    int minimum = 0;          // column 3: an integer cell limited to [minimum, maximum]
    int maximum = 0;          //   that starts at minimum
    std::string help;         // column 4
    RowColour colour{};       // alternately white and 230, 230, 230
};

// The GPS setup panel. Calls come from the setup thread, and from
// GpsSetup_Open and onGsClose on their caller's thread, in order; a Qt view
// queues them to the main thread. A view never blocks and never calls back
// into this module from inside a call.
class GpsSetupView {
public:
    virtual ~GpsSetupView() = default;
    // The receiver ring, its first entry selected.
    virtual void showReceivers(const std::vector<std::string>& names) = 0;
    // Dims (false) or re-enables (true) the ring and the input table together.
    virtual void setControlsEnabled(bool enabled) = 0;
    // The input table, one row per input; no rows: the table and its frame are hidden.
    virtual void showInputs(const std::vector<GpsSetupInputRow>& rows) = 0;
    // The status area as a progress bar with a caption; the result text is hidden.
    virtual void showProgress(const std::string& caption, int percent) = 0;
    // The status area as a result text on a colour, under a caption ("Status").
    virtual void showResult(const std::string& caption, const std::string& text, RowColour colour) = 0;
    virtual void showPanel(bool shown) = 0;
    // Dims (false) or re-enables (true) the main window's tab control.
    virtual void setMainTabsEnabled(bool enabled) = 0;
};

// What the setup needs from the drive-test wizard. Called on the setup thread
// when it ends, without the module's lock held.
class GpsSetupHost {
public:
    virtual ~GpsSetupHost() = default;
    // A copy of the slot of hardware table row `row` (the slot at list position row - 1); false when there is none.
    virtual bool slot(int row, AnalyzerSlot& slot) = 0;
    // Writes the slot back (its gpsDetected flag is what changed).
    virtual void storeSlot(int row, const AnalyzerSlot& slot) = 0;
    // Sets the role cell of the row back to "Analyzer".
    virtual void setRoleAnalyzer(int row) = 0;
    // The selection check of the row, without messages.
    virtual void recheckSelection(int row) = 0;
};

// At start-up: remembers the panel and the wizard; no setup runs. The panel
// selects the first cell of its input table itself.
void GpsSetup_Init(GpsSetupView* view, GpsSetupHost* host);
// At program end: closes a running setup and forgets the panel and the wizard.
void GpsSetup_Close();
// Opens the setup for hardware table row `row`: dims the main tab control,
// shows the panel and starts the setup thread. Ignored while a setup runs.
void GpsSetup_Open(int row);
// The panel's close button: ends the setup thread (which finishes its current
// exchange, at most one session time-out, then returns the analyzer to local
// operation and reports to the wizard), hides the panel and re-enables the
// main tab control. Blocks until the thread has ended.
void onGsClose();
// A receiver was chosen in the ring: 0-based position. The analyzer is set up
// again for it. Ignored outside a setup or for a position the ring lacks.
void onGsRing(int receiverIndex);
// An input value changed: 1-based row of the input table and its value, held
// to the row's [minimum, maximum]. The inputs are sent again.
void onGsTable(int row, int value);
// The current stage (kGpsStage...).
int GpsSetup_Stage();

// Time-outs and waits of the setup; the defaults are the product's values.
// Tests shorten them; the change applies from the next GpsSetup_Open.
struct GpsSetupTiming {
    double stepTimeoutSeconds = 40.0;  // one setup step before "not responding"
    double settleSeconds = 2.0;        // wait before the analyzer is opened
};
void GpsSetup_SetTiming(const GpsSetupTiming& timing);
