#include "export/gis/coveragewizard.h"

#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "coverage/thresholds.h"
#include "export/gis/giswriter.h"
#include "export/kmz/kmzdriver.h"
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

// The target as the writer will take it; asks before an existing file is
// replaced. False (with nothing to tell when the user said no) otherwise.
bool Target(CoverageWizardView& view, const std::string& path, GisExportRequest& request, std::string& error) {
    request = {};
    request.path = path;
    if (Gis_CheckTarget(request, error)) return true;
    struct stat st {};
    if (!Gis_DriverForPath(path).empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (!view.confirm("The file '" + path + "' exists already. Replace it?")) {
            error.clear();
            return false;
        }
        request.overwrite = true;
        return Gis_CheckTarget(request, error);
    }
    return false;
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
    view.enableCancel(false);
    const bool written = result.outcome == GisOutcome::Success;
    view.showResult(result.message, written ? Platform_DirectoryOf(request.path) : std::string());
    // A written file ends the task; after a failure or a cancel the settings can be changed.
    view.showPage(written ? CoverageWizardPage::Start : CoverageWizardPage::Settings);
    SetState(kCoverageRunIdle);
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
    view.setUnits(usable);
    view.setThresholdRows(m.rows);
    view.setSettings(s);
    view.highlightThreshold(-1);
    view.highlightOutput(false);
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
    if (!Idle()) return;
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

void onCoverageNext() {
    if (!Idle()) return;
    CoverageModule& m = Module();
    CoverageWizardView& view = *m.view;
    view.highlightThreshold(-1);
    view.highlightOutput(false);
    const CoverageSettings s = view.settings();
    CoveragePlan plan;
    std::string error;
    int faultyRow = -1;
    if (!Plan(s, plan, error, faultyRow)) {
        view.highlightThreshold(faultyRow);
        view.showMessage(error);
        return;
    }
    GisExportRequest request;
    if (!Target(view, s.output, request, error)) {
        if (error.empty()) return;  // the file is not to be replaced
        view.highlightOutput(true);
        view.showMessage(error);
        return;
    }
    m.cellSize = s.cellSize;
    m.minSamples = s.minSamples;
    m.keepStationary = s.keepStationary;
    if (m.worker.joinable()) m.worker.join();
    SetState(kCoverageRunRunning);
    view.showStep("Reading the record files");
    view.setProgress(0);
    view.enableCancel(true);
    view.showPage(CoverageWizardPage::Progress);
    m.worker = std::thread(Run, std::move(plan), std::move(request));
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
