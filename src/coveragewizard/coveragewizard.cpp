#include "coveragewizard/coveragewizard.h"

#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "coverage/thresholds.h"
#include "coveragewizard/databasetarget.h"
#include "export/gis/giswriter.h"
#include "export/kmz/kmzdriver.h"
#include "export/report/report.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

struct CoverageModule {
    std::mutex lock;  // guards state
    std::condition_variable changed;
    int state = kCoverageRunIdle;
    CoverageWizardView* view = nullptr;
    std::thread worker;  // touched by the main thread only

    // The main thread's: the marked files and what the page started with.
    std::vector<std::string> paths;
    std::vector<CoverageThresholdRow> rows;  // as filled in; text holds each row's default
    int shownUnit = kKmzUnitDbuV;            // the unit the level row's number is in
    // Kept for the next analysis of the session.
    int cellSize = kCoverageDefaultCellSize;
    int minSamples = kCoverageDefaultMinSamples;
    bool keepStationary = false;
    CoverageTarget target = CoverageTarget::File;
    bool report = false;
    std::string connection;  // empty: the one remembered from an earlier session
};

CoverageModule& Module() {
    static CoverageModule module;
    return module;
}

bool CancelRequested() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().state == kCoverageRunCancelRequested;
}

void SetState(int state) {
    std::lock_guard<std::mutex> guard(Module().lock);
    Module().state = state;
    Module().changed.notify_all();
}

// Stops a running analysis and waits for its thread.
void CancelAndJoin() {
    CoverageModule& m = Module();
    {
        std::unique_lock<std::mutex> guard(m.lock);
        if (m.state == kCoverageRunRunning) m.state = kCoverageRunCancelRequested;
        m.changed.wait(guard, [&] { return m.state == kCoverageRunIdle; });
    }
    if (m.worker.joinable()) m.worker.join();
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One row per channel name over every group, in the order the files name them;
// the text is the channel's default threshold as it would be typed.
std::vector<CoverageThresholdRow> Rows(const CoveragePlan& plan) {
    std::vector<CoverageThresholdRow> rows;
    for (const CoverageGroup& group : plan.groups)
        for (const CoverageChannel& c : group.channels) {
            const std::string name = c.level ? std::string("Level") : Threshold_BareName(c.name);
            auto row = rows.begin();
            while (row != rows.end() && row->channel != name) ++row;
            if (row == rows.end()) {
                CoverageThresholdRow r;
                r.channel = name;
                r.level = c.level;
                r.unit = c.level ? KmzLevel_UnitName(plan.levelUnit) : Threshold_BareUnit(c.name);
                rows.push_back(std::move(r));
                row = rows.end() - 1;
            }
            // A default of any group is shown; left as it is, every group keeps its own.
            if (row->text.empty() && c.rule.hasThreshold) {
                row->text = Threshold_TypedValue(c.rule.threshold, c.name);
                row->note = c.thresholdSource;
            }
        }
    return rows;
}

std::array<bool, kKmzUnitCount> UsableUnits(const std::vector<KmzLevelFileFacts>& facts) {
    std::array<bool, kKmzUnitCount> usable{};
    for (int unit = 0; unit < kKmzUnitCount; ++unit) {
        std::vector<KmzLevelSettings> settings(facts.size());
        usable[static_cast<std::size_t>(unit)] = KmzLevel_ComputeOffsets(unit, facts, {}, settings);
    }
    return usable;
}

// The plan for the page's settings with the thresholds of its rows. False
// with the message, and the row at fault (or -1), otherwise.
bool Plan(const CoverageSettings& s, CoveragePlan& plan, std::string& error, int& faultyRow) {
    CoverageModule& m = Module();
    faultyRow = -1;
    CoverageOptions options;
    options.cellSize = s.cellSize;
    options.minSamples = s.minSamples;
    options.keepStationary = s.keepStationary;
    options.levelUnit = s.levelUnit;
    if (!Coverage_Open(m.paths, options, plan, error)) return false;
    for (std::size_t i = 0; i < m.rows.size() && i < s.thresholds.size(); ++i) {
        const CoverageThresholdRow& row = m.rows[i];
        const std::string text = Trimmed(s.thresholds[i]);
        if (text == row.text) continue;  // the default, as every group resolves it
        const bool ok = text.empty() ? Coverage_ClearThreshold(plan, row.channel, error)
                                     : Coverage_SetThreshold(plan, row.channel + "=" + text, error);
        if (!ok) {
            faultyRow = static_cast<int>(i);
            return false;
        }
    }
    return true;
}

// Of paths, those that exist as files: one question replaces them all. False
// when none exists (the refusal stands) or the user said no (error cleared:
// nothing to tell).
bool AskToReplace(CoverageWizardView& view, const std::vector<std::string>& paths, std::string& error) {
    std::vector<std::string> existing;
    for (const std::string& path : paths) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) existing.push_back(path);
    }
    if (existing.empty()) return false;
    const std::string question = existing.size() == 1
                                     ? "The file '" + existing[0] + "' exists already. Replace it?"
                                     : "The files '" + existing[0] + "' and '" + existing[1] +
                                           "' exist already. Replace them?";
    if (view.confirm(question)) return true;
    error.clear();
    return false;
}

// The target as the writer will take it; asks before an existing file is
// replaced. False (with nothing to tell when the user said no) otherwise.
bool Target(CoverageWizardView& view, const std::string& path, GisExportRequest& request, std::string& error) {
    request = {};
    request.path = path;
    if (Gis_CheckTarget(request, error)) return true;
    if (Gis_DriverForPath(path).empty() || !AskToReplace(view, {path}, error)) return false;
    request.overwrite = true;
    return Gis_CheckTarget(request, error);
}

// The report and its GeoPackage as the writer will take them; asks once
// before existing files are replaced.
bool ReportTarget(CoverageWizardView& view, const std::string& gpkg, ReportRequest& request, std::string& error) {
    request = {};
    request.path = CoverageWizard_ReportPath(gpkg);
    request.gpkgPath = gpkg;
    if (Gis_DriverForPath(gpkg) != kGisGeoPackage) {
        error = "A report is written beside a GeoPackage: choose a .gpkg file, or no report.";
        return false;
    }
    if (Report_CheckRequest(request, error)) return true;
    if (!AskToReplace(view, {request.gpkgPath, request.path}, error)) return false;
    request.overwrite = true;
    return Report_CheckRequest(request, error);
}

// The page's rows as the campaign takes them: only what differs from the
// default, a level number without unit in the page's unit.
void DatabaseThresholds(const CoverageSettings& s, CampaignCoverageOptions& options) {
    const CoverageModule& m = Module();
    for (std::size_t i = 0; i < m.rows.size() && i < s.thresholds.size(); ++i) {
        const CoverageThresholdRow& row = m.rows[i];
        std::string text = Trimmed(s.thresholds[i]);
        if (text == row.text) continue;
        if (text.empty()) {
            options.withoutThreshold.push_back(row.channel);
            continue;
        }
        ThresholdEntry entry;
        std::string error;
        if (row.level && Threshold_Parse("Level=" + text, entry, error) && entry.unit.empty())
            text += std::string(" ") + KmzLevel_UnitName(s.levelUnit);
        options.thresholds.push_back(row.channel + "=" + text);
    }
}

// Ends a run: the message, and the page it leaves the user on.
void Finish(CoverageWizardView& view, bool done, const std::string& message, const std::string& folder) {
    view.enableCancel(false);
    view.showResult(message, done ? folder : std::string());
    // A finished task ends on the start page; after a failure or a cancel the settings can be changed.
    view.showPage(done ? CoverageWizardPage::Start : CoverageWizardPage::Settings);
    SetState(kCoverageRunIdle);
}

void RunReport(CoveragePlan plan, ReportRequest request) {
    CoverageWizardView& view = *Module().view;
    ReportResult result;
    try {
        result = Report_Export(plan, request, &view, CancelRequested);
    } catch (const std::bad_alloc&) {
        result.outcome = ReportOutcome::Failure;
        result.message = kCoverageOutOfMemory;
    }
    Finish(view, result.outcome == ReportOutcome::Success, result.message, Platform_DirectoryOf(request.path));
}

void RunDatabase(CoverageDbRequest request) {
    CoverageWizardView& view = *Module().view;
    CoverageDbResult result;
    try {
        result = CoverageDb_Run(request, &view, CancelRequested, [&view] { view.enableCancel(false); });
    } catch (const std::bad_alloc&) {
        result.ok = false;
        result.message = kCoverageOutOfMemory;
    }
    if (result.connected) LastConnection_Save(Platform_DataDirectory(), request.connection);
    Finish(view, result.ok, result.message, std::string());
}

void TestConnection(std::string connection) {
    CoverageWizardView& view = *Module().view;
    std::string message;
    const bool ok = CoverageDb_Test(connection, message);
    if (ok) LastConnection_Save(Platform_DataDirectory(), connection);
    view.showConnection(ok ? CoverageConnectionState::Connected : CoverageConnectionState::Failed, message);
    SetState(kCoverageRunIdle);
}

void Run(CoveragePlan plan, GisExportRequest request) {
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    GisExportResult result;
    try {
        result = Gis_Export(plan, request, &view, CancelRequested);
    } catch (const std::bad_alloc&) {
        result.outcome = GisOutcome::Failure;
        result.message = kCoverageOutOfMemory;
    }
    Finish(view, result.outcome == GisOutcome::Success, result.message, Platform_DirectoryOf(request.path));
}

// The page's choices are kept for the next analysis of the session, and the
// progress page is shown; the caller then starts the worker.
void BeginRun(const CoverageSettings& s) {
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    m.cellSize = s.cellSize;
    m.minSamples = s.minSamples;
    m.keepStationary = s.keepStationary;
    m.target = s.target;
    if (m.worker.joinable()) m.worker.join();
    SetState(kCoverageRunRunning);
    view.showStep("Reading the record files");
    view.setProgress(0);
    view.enableCancel(true);
    view.showPage(CoverageWizardPage::Progress);
}

bool Idle() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().state == kCoverageRunIdle && Module().view;
}

}  // namespace

std::string CoverageWizard_DefaultOutput(const std::string& folder, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    return Platform_JoinPath(folder, Text_Format("%04d-%02d-%02d Coverage.gpkg", local.tm_year + 1900,
                                                 local.tm_mon + 1, local.tm_mday));
}

std::string CoverageWizard_WithExtension(const std::string& path, const std::string& driver) {
    std::string stem = path;
    if (!Gis_DriverForPath(path).empty()) stem.erase(path.rfind('.'));
    return stem + (driver == kGisGeoJson ? ".geojson" : ".gpkg");
}

std::string CoverageWizard_ReportPath(const std::string& gpkg) {
    std::string stem = gpkg;
    if (Gis_DriverForPath(gpkg) == kGisGeoPackage) stem.erase(gpkg.rfind('.'));
    return stem + ".pdf";
}

void CoverageWizard_Init(CoverageWizardView& view) {
    CoverageModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    m.state = kCoverageRunIdle;
    m.view = &view;
}

void CoverageWizard_Close() {
    CancelAndJoin();
    CoverageModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    m.view = nullptr;
    m.paths.clear();
    m.rows.clear();
}

void CoverageWizard_Start(const std::vector<RecordFileEntry>& marked, const std::string& recordFolder) {
    if (!Idle()) return;
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    if (m.worker.joinable()) m.worker.join();  // the last run has ended
    std::vector<std::string> paths;
    std::vector<KmzLevelFileFacts> facts;
    for (const RecordFileEntry& e : marked) {
        paths.push_back(e.path);
        facts.push_back(Kmz_LevelFacts(e));
    }
    // The unit the level page would propose, unless it needs a K-factor a file lacks.
    const std::array<bool, kKmzUnitCount> usable = UsableUnits(facts);
    int unit = KmzLevel_DefaultUnit(facts, kKmzUnitFieldStrength);
    if (!usable[static_cast<std::size_t>(unit)]) unit = kKmzUnitDbuV;
    CoverageOptions options;
    options.levelUnit = unit;
    CoveragePlan plan;
    std::string error;
    if (!Coverage_Open(paths, options, plan, error)) {
        view.showMessage(error);
        return;
    }
    m.paths = std::move(paths);
    m.rows = Rows(plan);
    m.shownUnit = unit;
    CoverageSettings s;
    s.cellSize = m.cellSize;
    s.minSamples = m.minSamples;
    s.keepStationary = m.keepStationary;
    s.levelUnit = unit;
    s.output = CoverageWizard_DefaultOutput(recordFolder, std::time(nullptr));
    s.target = m.target;
    s.report = m.report;
    s.connection = m.connection.empty() ? LastConnection_Load(Platform_DataDirectory()) : m.connection;
    view.setUnits(usable);
    view.setThresholdRows(m.rows);
    view.setSettings(s);
    view.highlightThreshold(-1);
    view.highlightOutput(false);
    view.highlightConnection(false);
    view.showConnection(CoverageConnectionState::Untested, "");
    view.showPage(CoverageWizardPage::Settings);
}

void onCoverageHome() {
    if (Idle()) Module().view->showPage(CoverageWizardPage::Start);
}

void onCoveragePrevious() {
    if (Idle()) Module().view->showPage(CoverageWizardPage::FileSelection);
}

void onCoverageUnit(int unit) {
    if (!Idle() || !KmzLevel_UnitName(unit)) return;
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    const int previous = m.shownUnit;
    m.shownUnit = unit;
    std::vector<CoverageThresholdRow> rows = m.rows;
    const CoverageSettings s = view.settings();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].text = i < s.thresholds.size() ? s.thresholds[i] : std::string();
        if (!rows[i].level) continue;
        rows[i].unit = KmzLevel_UnitName(unit);
        // A number typed without unit keeps meaning what it meant: its unit is written out.
        ThresholdEntry entry;
        std::string error;
        if (Threshold_Parse("Level=" + rows[i].text, entry, error) && entry.unit.empty() && previous != unit)
            rows[i].text = Trimmed(rows[i].text) + " " + KmzLevel_UnitName(previous);
        m.rows[i].unit = rows[i].unit;
    }
    view.setThresholdRows(rows);
}

void onCoverageFormat(const std::string& driver) {
    if (!Idle() || (driver != kGisGeoPackage && driver != kGisGeoJson)) return;  // the database names no file
    CoverageWizardView& view = *Module().view;
    CoverageSettings s = view.settings();
    const std::string changed = CoverageWizard_WithExtension(s.output, driver);
    if (changed == s.output) return;
    s.output = changed;
    view.setSettings(s);
}

void onCoverageChooseOutput() {
    if (!Idle()) return;
    CoverageWizardView& view = *Module().view;
    CoverageSettings s = view.settings();
    const auto chosen = view.chooseOutput(s.output);
    if (!chosen) return;
    // A name without a known extension keeps the format chosen before.
    s.output = Gis_DriverForPath(*chosen).empty() ? CoverageWizard_WithExtension(*chosen, Gis_DriverForPath(s.output))
                                                  : *chosen;
    view.setSettings(s);
    view.highlightOutput(false);
}

void onCoverageTestConnection() {
    if (!Idle()) return;
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    const CoverageSettings s = view.settings();
    std::string error;
    if (!Campaign_CheckConnection(s.connection, error)) {
        view.highlightConnection(true);
        view.showConnection(CoverageConnectionState::Failed, error);
        return;
    }
    view.highlightConnection(false);
    m.connection = s.connection;
    if (m.worker.joinable()) m.worker.join();
    SetState(kCoverageRunRunning);
    view.showConnection(CoverageConnectionState::Testing, "Connecting...");
    m.worker = std::thread(TestConnection, s.connection);
}

void onCoverageNext() {
    if (!Idle()) return;
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    view.highlightThreshold(-1);
    view.highlightOutput(false);
    view.highlightConnection(false);
    const CoverageSettings s = view.settings();
    CoveragePlan plan;
    std::string error;
    int faultyRow = -1;
    if (!Plan(s, plan, error, faultyRow)) {
        view.highlightThreshold(faultyRow);
        view.showMessage(error);
        return;
    }
    // The target is checked before anything is read.
    if (s.target == CoverageTarget::Database) {
        if (!Campaign_CheckConnection(s.connection, error)) {
            view.highlightConnection(true);
            view.showMessage(error);
            return;
        }
        CoverageDbRequest request;
        request.connection = s.connection;
        request.paths = m.paths;
        request.levelUnit = s.levelUnit;
        request.coverage.cellSize = s.cellSize;
        request.coverage.minSamples = s.minSamples;
        request.coverage.keepStationary = s.keepStationary;
        DatabaseThresholds(s, request.coverage);
        m.connection = s.connection;
        BeginRun(s);
        m.worker = std::thread(RunDatabase, std::move(request));
        return;
    }
    const bool report = s.report && Gis_DriverForPath(s.output) != kGisGeoJson;
    GisExportRequest gis;
    ReportRequest pdf;
    if (!(report ? ReportTarget(view, s.output, pdf, error) : Target(view, s.output, gis, error))) {
        if (error.empty()) return;  // the file is not to be replaced
        view.highlightOutput(true);
        view.showMessage(error);
        return;
    }
    m.report = s.report;
    BeginRun(s);
    m.worker = report ? std::thread(RunReport, std::move(plan), std::move(pdf))
                      : std::thread(Run, std::move(plan), std::move(gis));
}

void onCoverageCancel() {
    std::lock_guard<std::mutex> guard(Module().lock);
    if (Module().state == kCoverageRunRunning) Module().state = kCoverageRunCancelRequested;
}

int CoverageWizard_State() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().state;
}

bool CoverageWizard_WaitIdle(int timeoutMs) {
    CoverageModule& m = Module();
    std::unique_lock<std::mutex> guard(m.lock);
    return m.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m.state == kCoverageRunIdle; });
}
