#include "export/kmz/kmzwizard.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "platform/text.h"

namespace {

constexpr auto kLook = std::chrono::milliseconds(100);  // the worker's and the waiters' polling step

struct KmzModule {
    std::mutex lock;  // guards state (and the scope, anchors and colour rows handed across)
    std::condition_variable changed;
    int state = kKmzStateIdle;
    KmzWizardView* view = nullptr;
    KmzLevelTableView* levelView = nullptr;
    std::thread worker;  // touched by the main thread only

    // Set by the main thread before the worker starts.
    std::vector<KmzSourceFile> files;
    std::vector<KmzLevelFileFacts> facts;
    std::string recordFolder;
    int commonUnit = kKmzUnitDbuV;

    // Handed from the pages to the worker under the lock.
    KmzScope scope;
    std::vector<KmzAnchors> anchors;
    KmzColourSet colours;
    KmzColourScope colourScope;  // the colour tree's rows, built by the worker
    int scopeGeneration = 0;     // counts the scopes accepted; the worker rebuilds the rows for each
    bool loaded = false;         // the data set is complete; the scope page may read its channels
    bool homeWhileWriting = false;  // Home on the progress page, perhaps before the worker saw the writing state

    std::mutex profileLock;  // the profile state is used by the worker (filling) and the colour page
    KmzProfileState profiles;

    // The data set is the worker's; the scope page reads its channel list once loading is done.
    std::unique_ptr<KmzDataSet> data;
};

KmzModule& Module() {
    static KmzModule module;
    return module;
}

int State() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().state;
}

void SetState(int state) {
    std::lock_guard<std::mutex> guard(Module().lock);
    Module().state = state;
    Module().changed.notify_all();
}

bool CancelRequested() { return State() == kKmzStateIdle; }

// Stops a running worker and waits until it has finished.
void Cancel() {
    KmzModule& m = Module();
    std::unique_lock<std::mutex> guard(m.lock);
    if (m.state >= kKmzStateScope && m.state <= kKmzStateWriting) {
        m.state = kKmzStateIdle;
        m.changed.notify_all();
        while (m.state != kKmzStateFinished) m.changed.wait_for(guard, kLook);
    }
}

std::string Standard() {
    const KmzModule& m = Module();
    return m.files.empty() ? std::string() : m.files.front().entry.standard;
}

// The end of every worker run: the message, the data set released, state -1.
// After a cancel from a page the page chosen by the user's button stays; otherwise
// the worker shows page.
void Finish(const std::string& message, const KmzPage* page) {
    KmzModule& m = Module();
    m.view->enableHome(false);
    if (!message.empty()) m.view->threadMessage(message);
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.loaded = false;
    }
    m.data.reset();
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.state = kKmzStateFinished;
        m.changed.notify_all();
    }
    m.view->showProgressBar(false);
    if (page) m.view->showPage(*page);
}

// Waits while the pages work; returns the state that ends the wait (0 or 3).
// Every scope accepted on the scope page rebuilds the colour rows.
int WaitForChoices() {
    KmzModule& m = Module();
    int built = 0;
    for (;;) {
        KmzColourScope rows;
        {
            std::unique_lock<std::mutex> guard(m.lock);
            m.changed.wait_for(guard, kLook);
            if (m.state == kKmzStateIdle || m.state == kKmzStateWriting) return m.state;
            if (m.state != kKmzStateColours || m.scopeGeneration == built) continue;
            built = m.scopeGeneration;
            m.colourScope = Kmz_ColourScope(*m.data, m.scope);
            rows = m.colourScope;
        }
        m.view->setColourRows(rows);
        {
            std::lock_guard<std::mutex> guard(m.profileLock);
            fillProfileCombo(m.profiles, Standard(), rows, *m.view, *m.view);
        }
        m.view->showColourTree(true);
    }
}

// How a worker run ends: its message (may be empty) and the page it shows (none after a cancel from a page).
struct WorkerEnd {
    std::string message;
    bool showPage = false;
    KmzPage page = KmzPage::Start;
};

WorkerEnd RunWorker() {
    KmzModule& m = Module();
    KmzWizardView& view = *m.view;
    std::string message;
    m.data = std::make_unique<KmzDataSet>();
    KmzDataSet& data = *m.data;
    if (!KmzLoad_ReadHeaders(m.files, m.commonUnit, m.recordFolder, data, message))
        return {message, true, KmzPage::FileSelection};
    view.clearTree();
    for (const KmzScopeItem& item : Kmz_ScopeItems(data)) view.insertTreeItem(item);

    const KmzLoadOutcome outcome = KmzLoad_ReadSamples(data, &view, CancelRequested);
    MapArea area;
    if (!Kmz_CheckLoaded(data, outcome, message, area)) {
        if (outcome == KmzLoadOutcome::Cancelled) return {};
        return {message, true, KmzPage::FileSelection};
    }
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.loaded = true;
    }
    view.markAllTreeItems(true);
    view.setIndicators({true, false, false});
    view.setZoomMetres(kKmzDefaultZoomMetres);
    view.showSelection(true);

    if (WaitForChoices() == kKmzStateIdle) {
        // Home on the progress page leaves the user nowhere else: the worker ends the page as after
        // a cancelled write, even when the cancel came before it started writing.
        std::lock_guard<std::mutex> guard(m.lock);
        if (m.homeWhileWriting) return {kKmzAborted, true, KmzPage::Start};
        return {};
    }
    KmzWriteRequest request;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        request.scope = m.scope;
        request.anchors = m.anchors;
        request.colours = m.colours;
    }
    request.archivePath = Kmz_ArchiveName(data.outputName);
    view.showProgressBar(true);
    const KmzWriteResult result = Kmz_WriteArchive(data, request, area, &view, CancelRequested);
    return {result.message, true, KmzPage::Start};
}

void Worker() {
    WorkerEnd end;
    try {
        end = RunWorker();
    } catch (const std::bad_alloc&) {
        end = {std::string(kKmzFailurePrefix) + kKmzInsufficientRam, true, KmzPage::FileSelection};
    }
    Finish(end.message, end.showPage ? &end.page : nullptr);
}

void JoinWorker() {
    KmzModule& m = Module();
    if (m.worker.joinable()) m.worker.join();
}

// Saves the profile on leaving the colour page; false keeps the user there.
bool SaveProfile() {
    KmzModule& m = Module();
    KmzColourScope rows;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        rows = m.colourScope;
    }
    std::lock_guard<std::mutex> guard(m.profileLock);
    return saveColorProfile(m.profiles, Standard(), rows, *m.view, *m.view);
}

KmzColourScope ColourRows() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().colourScope;
}

}  // namespace

std::vector<KmzScopeItem> Kmz_ScopeItems(const KmzDataSet& data) {
    std::vector<KmzScopeItem> items;
    items.push_back({"Values", Kmz_ChannelName(data, 0), "V0"});
    for (std::size_t i = 0; i < data.values.size(); ++i)
        items.push_back({std::string(Text_View(data.values[i].group)), std::string(Text_View(data.values[i].longName)),
                         Text_Format("V%d", static_cast<int>(i + 1))});
    for (std::size_t g = 0; g < data.graphs.size(); ++g)
        items.push_back({std::string(Text_View(data.graphs[g].group)), std::string(Text_View(data.graphs[g].longName)),
                         Text_Format("G%d", static_cast<int>(g))});
    for (std::size_t t = 0; t < data.items.size(); ++t)
        items.push_back({std::string(Text_View(data.items[t].group)), std::string(Text_View(data.items[t].longName)),
                         Text_Format("P%d", static_cast<int>(t))});
    return items;
}

bool Kmz_ReadScope(const KmzDataSet& data, const std::vector<std::string>& marked, const std::array<bool, 3>& indicators,
                   double zoomMetres, KmzScope& scope, KmzScopeProblem& problem) {
    problem = {};
    KmzScope s;
    s.values.assign(static_cast<std::size_t>(data.mapChannels()), 0);
    s.graphs.assign(data.graphs.size(), 0);
    s.parameters.assign(data.items.size(), 0);
    bool anyValue = false;
    for (const std::string& v : marked) {
        long long index = 0;
        if (v.size() < 2 || !Text_ParseInt(v.substr(1), index) || index < 0) continue;
        const auto at = static_cast<std::size_t>(index);
        if (v[0] == 'V' && at < s.values.size()) {
            s.values[at] = 1;
            anyValue = true;
        } else if (v[0] == 'G' && at < s.graphs.size()) {
            s.graphs[at] = 1;
        } else if (v[0] == 'P' && at < s.parameters.size()) {
            s.parameters[at] = 1;
        }
    }
    if (!anyValue) {
        problem = {kKmzNoMeasurementMessage, true, false};
        return false;
    }
    if (!indicators[0] && !indicators[1] && !indicators[2]) {
        problem = {kKmzNoIndicatorMessage, false, true};
        return false;
    }
    s.kinds = indicators;
    s.zoomMetres = zoomMetres > 0.0 ? zoomMetres : kKmzDefaultZoomMetres;
    scope = std::move(s);
    return true;
}

void Kmz_Init(KmzWizardView& view, KmzLevelTableView& levelView, const std::string& dataDirectory) {
    KmzModule& m = Module();
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.state = kKmzStateIdle;
        m.view = &view;
        m.levelView = &levelView;
        m.scope = {};
        m.anchors.clear();
        m.colourScope = {};
    }
    std::lock_guard<std::mutex> guard(m.profileLock);
    m.profiles = {};
    m.profiles.directory = dataDirectory;
    loadProfileMemory(m.profiles);
}

void Kmz_Close() {
    Cancel();
    JoinWorker();
    KmzModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    m.view = nullptr;
    m.levelView = nullptr;
    m.files.clear();
    m.facts.clear();
    m.anchors.clear();
    m.colourScope = {};
    std::lock_guard<std::mutex> profiles(m.profileLock);
    m.profiles = {};
}

void Kmz_Start(const std::vector<RecordFileEntry>& marked, const std::string& recordFolder) {
    KmzModule& m = Module();
    Cancel();
    JoinWorker();
    m.files.clear();
    m.facts.clear();
    for (const RecordFileEntry& e : marked) {
        KmzSourceFile f;
        f.entry = e;
        m.files.push_back(f);
        m.facts.push_back(Kmz_LevelFacts(e));
    }
    m.recordFolder = recordFolder;
    fillLevelTable(*m.levelView, m.facts);
    m.view->showPage(KmzPage::Level);
}

void onKmzLevelConfigurationHome() { Module().view->showPage(KmzPage::Start); }

void onKmzLevelConfigurationPrevious() { Module().view->showPage(KmzPage::FileSelection); }

void onKmzLevelConfigurationNext() {
    KmzModule& m = Module();
    std::vector<KmzLevelSettings> settings(m.files.size());
    for (std::size_t i = 0; i < m.files.size(); ++i) settings[i] = m.files[i].level;
    if (!computeLevelOffsets(*m.levelView, m.facts, settings)) return;
    for (std::size_t i = 0; i < m.files.size(); ++i) m.files[i].level = settings[i];
    m.commonUnit = m.levelView->commonUnit();
    Cancel();  // a worker that is still finishing ends first
    JoinWorker();
    m.view->showSelection(false);
    m.view->showPage(KmzPage::Scope);
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.homeWhileWriting = false;
    }
    SetState(kKmzStateScope);
    m.worker = std::thread(Worker);
}

void onKmzLevelConfigurationUpdateUnit() {
    KmzModule& m = Module();
    updateUnitColumn(*m.levelView, static_cast<int>(m.files.size()));
}

void onKmzLevelConfigurationTable(KmzTableEvent event, int tableRow, int column) {
    KmzModule& m = Module();
    if (event == KmzTableEvent::ActiveCellMoved) KmzLevel_TableActiveCellMoved(*m.levelView, tableRow, column);
    else KmzLevel_TableEditEnded(*m.levelView);
}

void onKmzScopeHome() {
    Cancel();
    Module().view->showPage(KmzPage::Start);
}

void onKmzScopePrevious() {
    Cancel();
    Module().view->showPage(KmzPage::Level);
}

void onKmzScopeNext() {
    KmzModule& m = Module();
    {
        std::lock_guard<std::mutex> guard(m.lock);
        if (m.state != kKmzStateScope || !m.loaded) return;  // still loading, or the worker has ended
    }
    KmzWizardView& view = *m.view;
    view.highlightTree(false);
    view.highlightIndicators(false);
    KmzScope scope;
    KmzScopeProblem problem;
    if (!Kmz_ReadScope(*m.data, view.markedTreeValues(), view.indicators(), view.zoomMetres(), scope, problem)) {
        if (problem.tree) view.highlightTree(true);
        if (problem.indicators) view.highlightIndicators(true);
        view.showScopeMessage(problem.message);
        return;
    }
    view.showColourTree(false);  // the worker shows it again after rebuilding it
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.scope = std::move(scope);
        ++m.scopeGeneration;
        m.state = kKmzStateColours;
        m.changed.notify_all();
    }
    view.showPage(KmzPage::Colours);
}

void onKmzScopeMeasAll() { Module().view->markAllTreeItems(true); }

void onKmzScopeMeasNone() { Module().view->markAllTreeItems(false); }

void onKmzColorsHome() {
    if (!SaveProfile()) return;
    Cancel();
    Module().view->showPage(KmzPage::Start);
}

void onKmzColorsPrevious() {
    if (!SaveProfile()) return;
    SetState(kKmzStateScope);
    Module().view->showPage(KmzPage::Scope);
}

void onKmzColorsNext() {
    KmzModule& m = Module();
    if (State() != kKmzStateColours) return;
    const KmzColourScope rows = ColourRows();
    std::vector<KmzAnchors> anchors;
    if (!validateColourScales(rows, *m.view, anchors)) return;
    if (!SaveProfile()) return;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        m.anchors = std::move(anchors);
        m.colours = m.view->colours();
    }
    m.view->showPage(KmzPage::Progress);
    m.view->enableHome(true);
    SetState(kKmzStateWriting);
}

void onKmzColorsAuto() { autoAssignAnchors(ColourRows(), *Module().view); }

void onKmzColorsProfiles(const std::string& name) {
    KmzModule& m = Module();
    const KmzColourScope rows = ColourRows();
    std::lock_guard<std::mutex> guard(m.profileLock);
    loadColorProfile(m.profiles, name, rows, *m.view);
}

void onKmzDelProfile() {
    KmzModule& m = Module();
    std::lock_guard<std::mutex> guard(m.profileLock);
    deleteColorProfile(m.profiles, *m.view, *m.view);
}

void onKmzProgHome() {
    KmzModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    if (m.state == kKmzStateWriting) {
        m.homeWhileWriting = true;
        m.state = kKmzStateIdle;
        m.changed.notify_all();
    }
}

int Kmz_State() { return State(); }

bool Kmz_WaitFinished(int timeoutMs) {
    KmzModule& m = Module();
    std::unique_lock<std::mutex> guard(m.lock);
    return m.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m.state == kKmzStateFinished; });
}
