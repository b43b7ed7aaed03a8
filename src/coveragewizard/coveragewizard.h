#pragma once
// The coverage analysis as the desktop runs it: after the record file
// selection a settings page (cell size, a planning threshold per channel of
// the marked files, the common level unit, the options and the target),
// then a progress page while a worker thread analyses the files and writes
// the target, and a closing message. The target is a GeoPackage (with a PDF
// report beside it if asked: both from one analysis, both or neither), a
// GeoJSON file of the cells, or the campaign database (the files imported,
// the campaign's coverage computed there). "Test connection" also runs on
// the worker thread.
//
// Run state (one integer under one lock): -1 idle or finished, 1 running,
// 0 cancel requested. The worker reaches the pages only through the view's
// progress setters and its closing calls, which are queued to the main thread
// and never wait for it, so the main thread may cancel and wait for the worker.
#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "coverage/coverage.h"
#include "coveragewizard/lastconnection.h"
#include "export/kmz/levelconfig.h"
#include "selection/recordentry.h"

constexpr int kCoverageRunIdle = -1;
constexpr int kCoverageRunCancelRequested = 0;
constexpr int kCoverageRunRunning = 1;

enum class CoverageWizardPage { Start, FileSelection, Settings, Progress };

// One row of the threshold table: a channel of the marked files.
struct CoverageThresholdRow {
    std::string channel;  // display name without its unit, Latin-1 ("BER before Reed Solomon")
    std::string unit;     // what a number typed without unit is in, Latin-1: "dBµV/m", "dB", "ratio" or ""
    std::string text;     // the threshold as typed, "VALUE [UNIT]"; empty: none
    std::string note;     // where the default comes from; empty without default
    bool level = false;   // the level row: its unit is the common level unit
    bool operator==(const CoverageThresholdRow&) const = default;
};

enum class CoverageTarget { File, Database };

// What the settings page holds.
struct CoverageSettings {
    int cellSize = kCoverageDefaultCellSize;  // one of kCoverageCellSizes
    int levelUnit = kKmzUnitDbuV;             // kKmzUnit*
    bool keepStationary = false;
    int minSamples = kCoverageDefaultMinSamples;
    CoverageTarget target = CoverageTarget::File;
    std::string output;                   // the file to write, the file system's bytes
    bool report = false;                  // a GeoPackage also gets its report (CoverageWizard_ReportPath)
    std::string connection;               // the campaign database, PG:... (UTF-8, no password)
    std::vector<std::string> thresholds;  // the text of every row, in row order (Latin-1)
};

// What the page shows beside "Test connection".
enum class CoverageConnectionState { Untested, Testing, Connected, Failed };

// The settings page and the progress page. CoverageProgress (step label and
// percentage) and enableCancel, showPage and showResult come from the worker
// too: the implementation queues them to the main thread in call order.
class CoverageWizardView : public CoverageProgress {
public:
    // Units of the common level unit choice that the marked files can take
    // (field strength needs a K-factor for every file recorded otherwise).
    virtual void setUnits(const std::array<bool, kKmzUnitCount>& usable) = 0;
    virtual void setThresholdRows(const std::vector<CoverageThresholdRow>& rows) = 0;
    // Everything but the threshold texts, which setThresholdRows sets.
    virtual void setSettings(const CoverageSettings& settings) = 0;
    // What the page shows now (main thread, after the calls queued before).
    virtual CoverageSettings settings() = 0;
    virtual void highlightThreshold(int row) = 0;  // 0-based; -1: none
    virtual void highlightOutput(bool on) = 0;
    virtual void highlightConnection(bool on) = 0;
    // The result of "Test connection" (one line; empty while Untested). While
    // Testing, the page takes its buttons away.
    virtual void showConnection(CoverageConnectionState state, const std::string& text) = 0;
    // The file chooser; nullopt when cancelled (main thread).
    virtual std::optional<std::string> chooseOutput(const std::string& current) = 0;
    virtual bool confirm(const std::string& question) = 0;  // main thread
    virtual void showMessage(const std::string& text) = 0;
    virtual void enableCancel(bool enabled) = 0;
    virtual void showPage(CoverageWizardPage page) = 0;
    // The closing message of a run; a folder (not empty) is offered to be opened.
    virtual void showResult(const std::string& message, const std::string& folder) = 0;
};

// The default output: "<YYYY-MM-DD> Coverage.gpkg" of the local date in folder.
std::string CoverageWizard_DefaultOutput(const std::string& folder, std::time_t now);
// path with its .gpkg, .geojson or .json extension (if any) replaced by the
// one of driver (kGisGeoPackage or kGisGeoJson).
std::string CoverageWizard_WithExtension(const std::string& path, const std::string& driver);
// The report written beside a GeoPackage: its path with .pdf for .gpkg.
std::string CoverageWizard_ReportPath(const std::string& gpkg);

// Module start and end; view must outlive the module.
void CoverageWizard_Init(CoverageWizardView& view);
// Cancels a running analysis, waits for its thread and forgets the view.
void CoverageWizard_Close();

// The file selection's Next in the coverage mode: reads the marked files'
// headers, fills the settings page and shows it. A file that does not read is
// told and the selection stays.
void CoverageWizard_Start(const std::vector<RecordFileEntry>& marked, const std::string& recordFolder);

// Page callbacks (main thread).
void onCoverageHome();
void onCoveragePrevious();
void onCoverageUnit(int unit);
void onCoverageFormat(const std::string& driver);
void onCoverageChooseOutput();
// Connects to the page's database on the worker thread and shows the result;
// a connection that works is remembered for the next session.
void onCoverageTestConnection();
// Checks the thresholds and the target (asking before an existing file is
// replaced), then starts the analysis on the progress page.
void onCoverageNext();
// Cancel on the progress page: the writer stops at its next check and leaves no file.
void onCoverageCancel();

int CoverageWizard_State();
// Waits until no analysis runs; false after timeoutMs.
bool CoverageWizard_WaitIdle(int timeoutMs);
