// The conversion driver: the checks after loading with their messages, the
// stamp and archive names, cancel and failure leaving no archive behind, and
// the wizard with its worker thread, conversion states and pages, driven
// through fake views.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

#include "export/kmz/kmzwizard.h"
#include "platform/datetime.h"
#include "synthrecord.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

std::string Synth(const std::string& dir, long long samples, const std::string& description = "Ch21") {
    SynthRecordOptions o;
    o.samples = samples;
    o.description = description;
    return WriteSynth(dir, o);
}

KmzDataSet Walk(int samples) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    for (int i = 0; i < samples; ++i)
        AddSample(d, {.latitude = 48.0 + i * 0.0003, .longitude = 11.0 + i * 0.0004, .values = {20.0 + i % 9}, .speed = 30.0});
    return d;
}

// --- fakes of the wizard's pages ---

class FakeLevelView : public KmzLevelTableView {
public:
    void deleteRowsBelowHeader() override { rows = 0; }
    void appendRow(const std::vector<KmzLevelCell>&) override { ++rows; }
    void setCell(int, int, const KmzLevelCell&) override {}
    std::string cellText(int row, int column) override { return cells[{row, column}]; }
    void setCellBackground(int, int, std::uint32_t) override {}
    int commonUnit() override { return unit; }
    void setCommonUnit(int u) override { unit = u; }
    void showMessage(const std::string& text) override { message = text; }
    void startEditing(int, int) override {}
    void setActiveCell(int, int) override {}

    int rows = 0;
    int unit = kKmzUnitDbuV;
    std::map<std::pair<int, int>, std::string> cells;
    std::string message;
};

// Records what the module shows; the worker calls it from its own thread.
class FakeWizardView : public KmzWizardView {
public:
    // scope page
    void showLoadLabel(const std::string& label) override { note("load label " + label); }
    void setLoadProgress(int) override {}
    void clearTree() override {
        std::lock_guard<std::mutex> g(m_);
        tree.clear();
    }
    void insertTreeItem(const KmzScopeItem& item) override {
        std::lock_guard<std::mutex> g(m_);
        tree.push_back(item);
    }
    void markAllTreeItems(bool marked) override {
        std::lock_guard<std::mutex> g(m_);
        this->marked.clear();
        if (marked)
            for (const auto& item : tree) this->marked.push_back(item.value);
    }
    std::vector<std::string> markedTreeValues() override {
        std::lock_guard<std::mutex> g(m_);
        return marked;
    }
    void highlightTree(bool on) override { treeHighlighted = on; }
    void highlightIndicators(bool on) override { indicatorsHighlighted = on; }
    std::array<bool, 3> indicators() override {
        std::lock_guard<std::mutex> g(m_);
        return kinds;
    }
    void setIndicators(const std::array<bool, 3>& on) override {
        std::lock_guard<std::mutex> g(m_);
        kinds = on;
    }
    double zoomMetres() override { return zoom; }
    void setZoomMetres(double metres) override { zoom = metres; }
    void showSelection(bool selection) override { note(selection ? "selection" : "loading bar"); }
    void showScopeMessage(const std::string& text) override { note("scope message " + text); }
    // colour page
    std::string cellText(int channel, int column) override {
        std::lock_guard<std::mutex> g(m_);
        return cells.cellText(channel, column);
    }
    void setCellText(int channel, int column, const std::string& text) override {
        std::lock_guard<std::mutex> g(m_);
        cells.setCellText(channel, column, text);
    }
    KmzColourSet colours() override { return cells.colours(); }
    void setColours(const KmzColourSet& c) override { cells.setColours(c); }
    void showMessage(const std::string& text) override { note("colour message " + text); }
    void setItems(const std::vector<std::string>&) override {}
    std::string text() override { return profileName; }
    void setText(const std::string&) override {}
    bool confirm(const std::string&) override { return true; }
    void setColourRows(const KmzColourScope& scope) override {
        std::lock_guard<std::mutex> g(m_);
        rowSets.push_back(scope);
    }
    void showColourTree(bool shown) override { note(shown ? "colour tree" : "colour tree hidden"); }
    // progress page
    void showWriteLabel(const std::string& label) override {
        note("write label " + label);
        if (onWriteLabel) onWriteLabel(label);
    }
    void setWriteProgress(int) override {}
    void enableHome(bool enabled) override { note(enabled ? "home on" : "home off"); }
    void showProgressBar(bool shown) override { note(shown ? "bar" : "no bar"); }
    // wizard
    void showPage(KmzPage page) override {
        std::lock_guard<std::mutex> g(m_);
        pages.push_back(page);
        changed_.notify_all();
    }
    void threadMessage(const std::string& text) override { note("message " + text); }

    // Waits until an event starting with prefix was noted (after the first skip ones).
    bool waitFor(const std::string& prefix, int skip = 0) {
        std::unique_lock<std::mutex> g(m_);
        return changed_.wait_for(g, std::chrono::seconds(60), [&] {
            int seen = 0;
            for (const auto& e : events)
                if (e.rfind(prefix, 0) == 0 && seen++ == skip) return true;
            return false;
        });
    }
    bool has(const std::string& prefix) {
        std::lock_guard<std::mutex> g(m_);
        for (const auto& e : events)
            if (e.rfind(prefix, 0) == 0) return true;
        return false;
    }
    std::vector<std::string> messages() {
        std::lock_guard<std::mutex> g(m_);
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind("message ", 0) == 0) out.push_back(e.substr(8));
        return out;
    }
    // Waits until page is the last page shown (the worker shows its page after its state -1).
    bool waitPage(KmzPage page) {
        std::unique_lock<std::mutex> g(m_);
        return changed_.wait_for(g, std::chrono::seconds(60), [&] { return !pages.empty() && pages.back() == page; });
    }
    bool shown(KmzPage page) {
        std::lock_guard<std::mutex> g(m_);
        return std::find(pages.begin(), pages.end(), page) != pages.end();
    }
    KmzPage lastPage() {
        std::lock_guard<std::mutex> g(m_);
        return pages.empty() ? KmzPage::Start : pages.back();
    }
    void mark(std::vector<std::string> values) {
        std::lock_guard<std::mutex> g(m_);
        marked = std::move(values);
    }

    std::vector<KmzScopeItem> tree;
    std::vector<std::string> marked;
    std::array<bool, 3> kinds{};
    double zoom = 40.0;
    bool treeHighlighted = false, indicatorsHighlighted = false;
    KmzColourMemoryView cells;
    std::string profileName = "Wizard test";
    std::vector<KmzColourScope> rowSets;
    std::vector<KmzPage> pages;
    std::function<void(const std::string&)> onWriteLabel;

private:
    void note(const std::string& event) {
        std::lock_guard<std::mutex> g(m_);
        events.push_back(event);
        changed_.notify_all();
    }
    std::mutex m_;
    std::condition_variable changed_;
    std::vector<std::string> events;
};

// The module around one temporary directory with its record files.
struct Wizard {
    TempDir dir;
    FakeWizardView view;
    FakeLevelView level;
    std::vector<RecordFileEntry> entries;

    explicit Wizard(std::vector<std::pair<long long, std::string>> files = {{120, "Ch21"}}) {
        for (const auto& [samples, description] : files) {
            RecordFileEntry e;
            EXPECT_TRUE(FileSelection_ReadEntry(Synth(dir.path(), samples, description), e));
            entries.push_back(e);
        }
        Kmz_Init(view, level, dir.path());
    }
    ~Wizard() { Kmz_Close(); }

    // Level page Next until the scope page offers its selection.
    void LoadedScopePage() {
        Kmz_Start(entries, dir.path());
        onKmzLevelConfigurationNext();
        ASSERT_TRUE(view.waitFor("selection"));
        ASSERT_EQ(Kmz_State(), kKmzStateScope);
    }
    std::string Archive() const { return Kmz_ArchiveName(entries.front().path); }
};

}  // namespace

TEST(KmzDriver, StampAndArchiveNames) {
    EXPECT_EQ(Kmz_MakeStamp(1.0), "000000000000F03F");  // the bytes of 1.0 in memory order
    EXPECT_EQ(Kmz_MakeStamp(-2.5), "00000000000004C0");
    EXPECT_EQ(Kmz_ArchiveName("/rec/2026-06-01  10-00-00  Ch21.dtr"), "/rec/2026-06-01  10-00-00  Ch21.kmz");
    const double t = DateTime_Make({2026, 6, 1, 10, 0, 5});
    EXPECT_EQ(KmzLoad_MultiFileName("/rec", t), "/rec/2026-06-01  10-00-05  Multi-file export.dtr");
}

TEST(KmzDriver, EveryMessageAfterLoading) {
    const std::string prefix = "Drive test result file conversion failure:\n";
    struct Case {
        const char* story;
        std::function<void(KmzDataSet&)> fill;
        KmzLoadOutcome outcome;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"cancelled", [](KmzDataSet& d) { AddSample(d, {.values = {1}}); }, KmzLoadOutcome::Cancelled, ""},
        {"out of memory", [](KmzDataSet&) {}, KmzLoadOutcome::OutOfMemory, prefix + "Insufficient RAM."},
        {"no samples", [](KmzDataSet&) {}, KmzLoadOutcome::Loaded, prefix + "Could not load the samples."},
        {"no position", [](KmzDataSet& d) { AddSample(d, {.values = {1}, .position = kKmzNoPosition}); },
         KmzLoadOutcome::Loaded, prefix + "The samples do not contain any valid GPS coordinate."},
        {"wider than 15000 km",
         [](KmzDataSet& d) {
             AddSample(d, {.latitude = -60.0, .longitude = 0.0, .values = {1}});
             AddSample(d, {.latitude = 60.0, .longitude = 150.0, .values = {1}});
         },
         KmzLoadOutcome::Loaded,
         prefix + "The GPS coordinates span exceeds 15000 km so that the drive test area cannot be visualized."},
    };
    for (const auto& c : cases) {
        KmzDataSet d = DataSet({Value("MER", 0, 1)});
        c.fill(d);
        MapArea area;
        std::string message = "stale";
        EXPECT_FALSE(Kmz_CheckLoaded(d, c.outcome, message, area)) << c.story;
        EXPECT_EQ(message, c.message) << c.story;
    }
    KmzDataSet d = Walk(3);
    const MapArea area = CheckedArea(d);
    EXPECT_GT(area.side, 0.0);
}

TEST(KmzDriver, CancelWhileWritingLeavesNoArchive) {
    for (int after : {1, 20, 400}) {
        KmzDataSet d = Walk(300);
        TempDir dir;
        const MapArea area = CheckedArea(d);
        int asked = 0;
        const std::string path = dir.file("c.kmz");
        const KmzWriteResult r =
            Kmz_WriteArchive(d, Request(d, path, KmzScope_Default(d)), area, nullptr, [&] { return ++asked > after; });
        EXPECT_EQ(r.outcome, KmzOutcome::Cancelled) << after;
        EXPECT_EQ(r.message, "Drive test result file conversion aborted by user.");
        EXPECT_FALSE(FileExists(path)) << after;
    }
}

TEST(KmzDriver, UnwritableArchiveIsAFailure) {
    KmzDataSet d = Walk(20);
    const MapArea area = CheckedArea(d);
    const KmzWriteResult r =
        Kmz_WriteArchive(d, Request(d, "/nonexistent-folder/x.kmz", KmzScope_Default(d)), area, nullptr, {});
    EXPECT_EQ(r.outcome, KmzOutcome::Failure);
    EXPECT_EQ(r.message, "Drive test result file conversion failure:\nCould not write the file.");
}

// A full disk (every byte written to /dev/full fails) is a failure with the
// write message however the archive is written, and nothing is left behind;
// the device itself is never removed, only the link to it.
TEST(KmzDriver, FullDiskIsAFailureAndLeavesNoArchive) {
    TempDir dir;
    for (const int writer : {kKmzWriterAuto, kKmzWriterQueued}) {
        SCOPED_TRACE(writer);
        KmzDataSet d = Walk(200);
        const MapArea area = CheckedArea(d);
        const std::string link = dir.file("full" + std::to_string(writer) + ".kmz");
        ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
        KmzWriteRequest request = Request(d, link, KmzScope_Default(d));
        request.writerThread = writer;
        const KmzWriteResult r = Kmz_WriteArchive(d, request, area, nullptr, {});
        EXPECT_EQ(r.outcome, KmzOutcome::Failure);
        EXPECT_EQ(r.message, "Drive test result file conversion failure:\nCould not write the file.");
        EXPECT_FALSE(FileExists(link));
        EXPECT_TRUE(FileExists("/dev/full"));
    }
}

// Every way of writing (all on one thread; queued to a writer thread with
// deflate workers; the default) gives the same entries in the same order.
TEST(KmzDriver, QueuedWriterGivesTheSameArchiveAsTheInlineOne) {
    TempDir dir;
    std::vector<std::vector<Entry>> archives;
    const std::pair<int, int> ways[] = {
        {kKmzWriterInline, kKmzDeflateInline}, {kKmzWriterQueued, 2}, {kKmzWriterAuto, kKmzDeflateAuto}};
    for (const auto& [writer, deflateThreads] : ways) {
        KmzDataSet d = Walk(400);
        const MapArea area = CheckedArea(d);
        KmzWriteRequest request =
            Request(d, dir.file("w" + std::to_string(archives.size()) + ".kmz"), KmzScope_Default(d));
        request.writerThread = writer;
        request.deflateThreads = deflateThreads;
        const KmzWriteResult r = Kmz_WriteArchive(d, request, area, nullptr, {});
        ASSERT_EQ(r.outcome, KmzOutcome::Success) << r.message;
        archives.push_back(ReadArchive(request.archivePath));
        EXPECT_EQ(static_cast<std::int64_t>(archives.back().size()), r.entries);
    }
    for (std::size_t way = 1; way < archives.size(); ++way) {
        SCOPED_TRACE(way);
        ASSERT_EQ(archives[0].size(), archives[way].size());
        for (std::size_t i = 0; i < archives[0].size(); ++i) {
            ASSERT_EQ(archives[0][i].name, archives[way][i].name) << i;
            const std::string& name = archives[0][i].name;
            // doc.kml and its copy, the last entry, carry the time of the export: each archive's copy is its own doc.kml.
            if (name == "doc.kml" || name.rfind("doc_", 0) == 0) {
                EXPECT_EQ(archives[way][i].bytes, archives[way][0].bytes) << name;
                continue;
            }
            EXPECT_EQ(archives[0][i].bytes, archives[way][i].bytes) << name;
        }
    }
}

TEST(KmzDriver, QueuedSinkReportsAStoreThatFailed) {
    TempDir dir;
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(dir.file("s.kmz").c_str(), kKmzBufferCapacity, archive, kKmzDeflateInline));
    {
        KmzEntrySink sink(archive, true);
        ASSERT_TRUE(sink.openEntry("a.kml"));
        ASSERT_TRUE(sink.write("<a/>"));
        ASSERT_TRUE(sink.closeEntry());
        // A bitmap whose rows do not add up to its bytes cannot be stored.
        EXPECT_TRUE(sink.writeBitmap("files/bad.bmp", 2, 8, 3, std::vector<std::uint8_t>(10)));
        EXPECT_FALSE(sink.finish());
    }
    EXPECT_EQ(archive.entriesOpened, 1);
    kmzAbortArchive(archive);
    EXPECT_FALSE(FileExists(dir.file("s.kmz")));
}

TEST(KmzDriver, LoadingStopsAtCancelBeforeTheFirstSample) {
    TempDir dir;
    KmzSourceFile f;
    ASSERT_TRUE(FileSelection_ReadEntry(Synth(dir.path(), 30), f.entry));
    KmzDataSet data;
    std::string message;
    ASSERT_TRUE(KmzLoad_ReadHeaders({f}, kKmzUnitDbuV, dir.path(), data, message));
    EXPECT_EQ(KmzLoad_ReadSamples(data, nullptr, [] { return true; }), KmzLoadOutcome::Cancelled);
    EXPECT_TRUE(data.samples.empty());
}

TEST(KmzWizard, ScopeItemsAndReadingTheScope) {
    KmzDataSet d = DataSet({Value("Level [dB\xB5V]", 0, 2, "Level")}, {Graph("Echo", 4, "-40", "0")}, {Item("Mode")});
    d.values[0].group[0] = 0;
    Text_Copy(d.values[0].group, "Values|RF");
    d.distanceUnit = "miles [mi]";
    const std::vector<KmzScopeItem> expected = {{"Values", "Speed [mph]", "V0"},
                                                {"Values|RF", "Level [dB\xB5V]", "V1"},
                                                {"Graphs", "Echo", "G0"},
                                                {"Parameters", "Mode", "P0"}};
    EXPECT_EQ(Kmz_ScopeItems(d), expected);

    KmzScope scope;
    KmzScopeProblem problem;
    EXPECT_FALSE(Kmz_ReadScope(d, {"G0", "P0"}, {true, false, false}, 10.0, scope, problem));
    EXPECT_EQ(problem.message, kKmzNoMeasurementMessage);
    EXPECT_TRUE(problem.tree);
    EXPECT_FALSE(Kmz_ReadScope(d, {"V1"}, {false, false, false}, 10.0, scope, problem));
    EXPECT_EQ(problem.message, kKmzNoIndicatorMessage);
    EXPECT_TRUE(problem.indicators);
    ASSERT_TRUE(Kmz_ReadScope(d, {"V1", "P0", "V9", "X1", "G"}, {false, true, true}, 2.5, scope, problem));
    EXPECT_EQ(scope.values, (std::vector<std::uint8_t>{0, 1}));
    EXPECT_EQ(scope.graphs, (std::vector<std::uint8_t>{0}));
    EXPECT_EQ(scope.parameters, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(scope.kinds, (std::array<bool, 3>{false, true, true}));
    EXPECT_EQ(scope.zoomMetres, 2.5);
}

TEST(KmzWizard, WholeConversionThroughThePages) {
    Wizard w;
    w.LoadedScopePage();
    EXPECT_TRUE(w.view.has("load label Analyzing file 1 of 1"));
    EXPECT_EQ(w.view.zoom, 10.0);  // reset for every conversion
    EXPECT_EQ(w.view.indicators(), (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(w.view.tree.size(), 1u + 8u + 1u + 12u);
    EXPECT_EQ(w.view.markedTreeValues().size(), w.view.tree.size());

    onKmzScopeNext();
    EXPECT_EQ(Kmz_State(), kKmzStateColours);
    EXPECT_EQ(w.view.lastPage(), KmzPage::Colours);
    ASSERT_TRUE(w.view.waitFor("colour tree", 1));  // hidden by the page, shown by the worker
    ASSERT_EQ(w.view.rowSets.size(), 1u);
    EXPECT_EQ(w.view.rowSets[0].rows.size(), 9u);

    onKmzColorsNext();
    EXPECT_TRUE(w.view.shown(KmzPage::Progress));
    ASSERT_TRUE(Kmz_WaitFinished(60000));
    EXPECT_TRUE(w.view.waitPage(KmzPage::Start));
    ASSERT_TRUE(w.view.waitFor("message "));
    const auto messages = w.view.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], Text_Format(kKmzSuccessFormat, w.Archive().c_str()));
    EXPECT_TRUE(FileExists(w.Archive()));
    EXPECT_TRUE(FileExists(w.dir.file("Wizard test.cas")));  // the profile was saved on leaving the page
    const auto entries = ReadArchive(w.Archive());
    EXPECT_TRUE(UnresolvedLinks(entries).empty());
    EXPECT_TRUE(w.view.has("write label Step 2 of 2"));
    EXPECT_TRUE(w.view.has("home off"));
}

// A single sample has no spread in any channel and no speed: the automatic
// scale used to fail the page's own check and kept the user on it.
TEST(KmzWizard, ASingleSampleFilePassesTheColourPageWithTheAutomaticScale) {
    Wizard w({{1, "one"}});
    w.LoadedScopePage();
    onKmzScopeNext();
    ASSERT_TRUE(w.view.waitFor("colour tree", 1));
    onKmzColorsNext();
    EXPECT_FALSE(w.view.has("colour message"));
    EXPECT_TRUE(w.view.shown(KmzPage::Progress));
    ASSERT_TRUE(Kmz_WaitFinished(60000));
    ASSERT_TRUE(w.view.waitFor("message "));
    EXPECT_EQ(w.view.messages(), std::vector<std::string>{Text_Format(kKmzSuccessFormat, w.Archive().c_str())});
}

TEST(KmzWizard, ScopeWithoutValuesOrIndicatorsKeepsTheUserOnThePage) {
    Wizard w;
    w.LoadedScopePage();
    w.view.mark({"G0", "P3"});
    onKmzScopeNext();
    EXPECT_EQ(Kmz_State(), kKmzStateScope);
    EXPECT_TRUE(w.view.treeHighlighted);
    EXPECT_TRUE(w.view.has(std::string("scope message ") + kKmzNoMeasurementMessage));
    w.view.mark({"V1"});
    w.view.setIndicators({false, false, false});
    onKmzScopeNext();
    EXPECT_EQ(Kmz_State(), kKmzStateScope);
    EXPECT_FALSE(w.view.treeHighlighted);
    EXPECT_TRUE(w.view.indicatorsHighlighted);
    EXPECT_TRUE(w.view.has(std::string("scope message ") + kKmzNoIndicatorMessage));
    EXPECT_NE(w.view.lastPage(), KmzPage::Colours);
}

TEST(KmzWizard, BackFromTheColourPageRebuildsTheRowsForTheNewSelection) {
    Wizard w;
    w.LoadedScopePage();
    onKmzScopeNext();
    ASSERT_TRUE(w.view.waitFor("colour tree", 1));
    onKmzColorsPrevious();
    EXPECT_EQ(Kmz_State(), kKmzStateScope);
    EXPECT_EQ(w.view.lastPage(), KmzPage::Scope);
    w.view.mark({"V0", "V1"});
    onKmzScopeNext();
    ASSERT_TRUE(w.view.waitFor("colour tree", 3));
    ASSERT_EQ(w.view.rowSets.size(), 2u);
    ASSERT_EQ(w.view.rowSets[1].rows.size(), 2u);
    EXPECT_EQ(w.view.rowSets[1].rows[1].tag, "Level [dB\xB5V]");
    onKmzColorsHome();  // cancels the worker: no message, the start page
    EXPECT_EQ(Kmz_State(), kKmzStateFinished);
    EXPECT_EQ(w.view.lastPage(), KmzPage::Start);
    EXPECT_TRUE(w.view.messages().empty());
    EXPECT_FALSE(FileExists(w.Archive()));
}

TEST(KmzWizard, HomeOnTheProgressPageAbortsAndLeavesNoArchive) {
    Wizard w({{3000, "Ch21"}});
    w.LoadedScopePage();
    w.view.onWriteLabel = [](const std::string& label) {
        if (label == "Step 2 of 2") onKmzProgHome();  // from the worker thread, as a click would race it
    };
    onKmzScopeNext();
    ASSERT_TRUE(w.view.waitFor("colour tree", 1));
    onKmzColorsNext();
    ASSERT_TRUE(Kmz_WaitFinished(60000));
    ASSERT_TRUE(w.view.waitFor("message "));
    EXPECT_EQ(w.view.messages(), std::vector<std::string>{"Drive test result file conversion aborted by user."});
    EXPECT_FALSE(FileExists(w.Archive()));
    EXPECT_TRUE(w.view.waitPage(KmzPage::Start));
}

// A click on Home right after Next, before the worker has seen the writing state, must not
// leave the user on the progress page with nothing happening.
TEST(KmzWizard, HomeAtOnceAfterNextStillEndsOnTheStartPage) {
    Wizard w({{300, "Ch21"}});
    w.LoadedScopePage();
    onKmzScopeNext();
    ASSERT_TRUE(w.view.waitFor("colour tree", 1));
    onKmzColorsNext();
    onKmzProgHome();
    ASSERT_TRUE(Kmz_WaitFinished(60000));
    ASSERT_TRUE(w.view.waitFor("message "));
    EXPECT_EQ(w.view.messages(), std::vector<std::string>{"Drive test result file conversion aborted by user."});
    EXPECT_TRUE(w.view.waitPage(KmzPage::Start));
    EXPECT_FALSE(FileExists(w.Archive()));
}

TEST(KmzWizard, CancelWhileLoadingShowsThePageOfTheButton) {
    Wizard w({{20000, "big"}});
    Kmz_Start(w.entries, w.dir.path());
    onKmzLevelConfigurationNext();
    ASSERT_TRUE(w.view.waitFor("load label"));
    onKmzScopePrevious();
    EXPECT_EQ(Kmz_State(), kKmzStateFinished);
    EXPECT_EQ(w.view.lastPage(), KmzPage::Level);
    EXPECT_TRUE(w.view.messages().empty());
}

TEST(KmzWizard, UnreadableFileGoesBackToTheFileSelection) {
    Wizard w;
    WriteWholeFile(w.entries[0].path, std::vector<std::uint8_t>(64, 1));
    Kmz_Start(w.entries, w.dir.path());
    onKmzLevelConfigurationNext();
    ASSERT_TRUE(Kmz_WaitFinished(60000));
    ASSERT_TRUE(w.view.waitFor("message "));
    EXPECT_EQ(w.view.messages()[0].rfind("Drive test result file conversion failure:\n", 0), 0u);
    EXPECT_TRUE(w.view.waitPage(KmzPage::FileSelection));
}
