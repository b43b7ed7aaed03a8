#include "drivetest/frequencylist.h"

#include <cerrno>
#include <functional>
#include <mutex>

#include "drivetest/frequencycheck.h"
#include "drivetest/frequencytable.h"
#include "drivetest/signalsfile.h"
#include "platform/paths.h"
#include "platform/settingsnotice.h"
#include "platform/text.h"

namespace {

struct FrequencyModule {
    std::mutex lock;
    FrequencyPageView* view = nullptr;
    std::string dataDirectory;
    std::string modelLetter;  // of the family given to the last reset; empty before
    FrequencyTable table;
    std::string recentCode;  // standard code of the recently used list
    std::vector<std::string> recentTitles;
    std::vector<RecentEntry> recent;  // recent[0] is table row 2
    int dragRow = 0;                  // recently used row being dragged, 0 for none
    std::string help;                 // what the help area shows
};

FrequencyModule& Module() {
    static FrequencyModule module;
    return module;
}

// View calls gathered under the module's lock and made after it is released,
// in the order they were gathered.
class ViewCalls {
public:
    void bind(FrequencyPageView* view) { view_ = view; }
    void add(std::function<void(FrequencyPageView&)> call) {
        if (view_) calls_.push_back(std::move(call));
    }
    void run() {
        for (auto& call : calls_) call(*view_);
        calls_.clear();
    }

private:
    FrequencyPageView* view_ = nullptr;
    std::vector<std::function<void(FrequencyPageView&)>> calls_;
};

std::string SignalsPath(const FrequencyModule& m) {
    const std::string directory = m.dataDirectory.empty() ? Platform_DataDirectory() : m.dataDirectory;
    return SignalsFile_Path(directory, m.modelLetter, m.recentCode);
}

void RedrawFrequencyRows(const FrequencyModule& m, ViewCalls& calls, int from = 2) {
    for (int row = from; row <= m.table.rowCount(); ++row)
        calls.add([row, cells = m.table.view(row)](FrequencyPageView& v) { v.frequencyRowChanged(row, cells); });
}

void RedrawRecentRows(const FrequencyModule& m, ViewCalls& calls) {
    for (std::size_t i = 0; i < m.recent.size(); ++i) {
        const int row = static_cast<int>(i) + 2;
        calls.add([row, cells = FrequencyTable_RecentRowView(row, m.recent[i])](FrequencyPageView& v) {
            v.recentRowChanged(row, cells);
        });
    }
}

void InsertRecentRow(FrequencyModule& m, ViewCalls& calls, std::size_t at, RecentEntry entry) {
    entry.resize(m.recentTitles.size());
    m.recent.insert(m.recent.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    const int row = static_cast<int>(at) + 2;
    calls.add([row, cells = FrequencyTable_RecentRowView(row, m.recent[at])](FrequencyPageView& v) {
        v.recentRowInserted(row, cells);
    });
}

void LoadRecentLocked(FrequencyModule& m, ViewCalls& calls, const BroadcastStandard& standard) {
    m.recent.clear();
    m.dragRow = 0;
    m.recentCode = Text_View(standard.code);
    m.recentTitles = {kFreqTitleDescription, kFreqTitleFrequency};
    for (const auto& p : standard.parameters) m.recentTitles.emplace_back(p.columnTitle);
    calls.add([columns = FrequencyTable_RecentColumns(standard),
               width = FrequencyTable_DragTableWidth(standard)](FrequencyPageView& v) { v.recentColumns(columns, width); });
    if (m.modelLetter.empty()) return;  // no family yet: no file to read
    std::vector<RecentEntry> entries;
    SignalsFile_Read(SignalsPath(m), m.recentTitles, entries);
    for (auto& entry : entries) InsertRecentRow(m, calls, m.recent.size(), std::move(entry));
}

void SetHelp(FrequencyModule& m, ViewCalls& calls, const std::string& text) {
    if (text == m.help) return;
    m.help = text;
    calls.add([text](FrequencyPageView& v) { v.helpText(text); });
}

void ButtonPressed(FrequencyModule& m, ViewCalls& calls, int row) {
    const FrequencyTable::Press press = m.table.pressButton(row);
    if (press == FrequencyTable::Press::None) return;
    if (press == FrequencyTable::Press::Added)
        calls.add([row, cells = m.table.view(row + 1)](FrequencyPageView& v) { v.frequencyRowInserted(row + 1, cells); });
    else
        calls.add([row](FrequencyPageView& v) { v.frequencyRowDeleted(row); });
    RedrawFrequencyRows(m, calls);
    calls.add([row](FrequencyPageView& v) { v.frequencyFocus(row, kFreqColumnLabel); });
}

int DropLocked(FrequencyModule& m, ViewCalls& calls, int recentRow, int targetRow) {
    if (recentRow < 2 || recentRow - 2 >= static_cast<int>(m.recent.size())) return 0;
    if (!m.table.drop(targetRow, m.recent[static_cast<std::size_t>(recentRow - 2)])) return 0;
    calls.add([targetRow, cells = m.table.view(targetRow)](FrequencyPageView& v) {
        v.frequencyRowChanged(targetRow, cells);
    });
    return 1;
}

}  // namespace

void DriveTest_FrequencyInit(FrequencyPageView* view, const std::string& dataDirectory) {
    FrequencyModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    m.view = view;
    m.dataDirectory = dataDirectory;
    m.modelLetter.clear();
    m.table = FrequencyTable{};
    m.recentCode.clear();
    m.recentTitles.clear();
    m.recent.clear();
    m.dragRow = 0;
    m.help.clear();
}

void DriveTest_FrequencyClose() { DriveTest_FrequencyInit(nullptr, {}); }

void DriveTest_FrequencyReset(const AnalyzerFamily& family, const BroadcastStandard& standard) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        m.modelLetter = Text_View(family.modelLetter);
        m.table.reset(standard);
        calls.add([columns = m.table.columns()](FrequencyPageView& v) { v.frequencyColumns(columns); });
        LoadRecentLocked(m, calls, standard);
    }
    calls.run();
}

void DriveTest_LoadRecent(const BroadcastStandard& standard) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        LoadRecentLocked(m, calls, standard);
    }
    calls.run();
}

void DriveTest_FrequenciesRecentAddRow(int row, int fieldCount) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        if (row < 2 || row - 2 > static_cast<int>(m.recent.size())) return;
        InsertRecentRow(m, calls, static_cast<std::size_t>(row - 2),
                        RecentEntry(static_cast<std::size_t>(fieldCount > 0 ? fieldCount : 0)));
    }
    calls.run();
}

void DriveTest_AddFrequencyRow(int row, const std::string& label, int isLast, const AnalyzerSlot* slot) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        if (!m.table.insertRow(row, label, isLast, slot)) return;
        calls.add([row, cells = m.table.view(row)](FrequencyPageView& v) { v.frequencyRowInserted(row, cells); });
        RedrawFrequencyRows(m, calls, row + 1);  // the rows below changed parity
    }
    calls.run();
}

void DriveTest_SaveFrequencies() {
    FrequencyModule& m = Module();
    ViewCalls calls;
    std::string notSaved;  // the signals file, when it could not be written
    int error = 0;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        if (m.modelLetter.empty()) return;  // never engaged: no list to keep
        for (int row = 2; row <= m.table.rowCount(); ++row) {
            RecentEntry entry = m.table.fields(row);
            entry.resize(m.recentTitles.size());
            const int at = RecentList_Place(m.recent, entry);
            if (at >= 0) InsertRecentRow(m, calls, static_cast<std::size_t>(at), std::move(entry));
        }
        if (!SignalsFile_Write(SignalsPath(m), m.table.fieldTitles(), m.recent)) {
            error = errno;
            notSaved = SignalsPath(m);
        }
        RedrawRecentRows(m, calls);
    }
    calls.run();
    if (!notSaved.empty()) Platform_SettingsNotSaved(notSaved, error);  // the in-memory list stays
}

int DriveTest_CheckFrequencies() {
    FrequencyModule& m = Module();
    ViewCalls calls;
    int ok = 0;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        std::string message;
        ok = FrequencyCheck_Run(m.table, message);
        RedrawFrequencyRows(m, calls);
        if (!ok) calls.add([message](FrequencyPageView& v) { v.message(message); });
    }
    calls.run();
    return ok;
}

std::vector<FrequencyEntry> DriveTest_FrequencyBlock(int k) {
    FrequencyModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    return m.table.block(k);
}

int DriveTest_FrequencyBlockCount() {
    FrequencyModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    return m.table.blockCount();
}

std::vector<RecentEntry> DriveTest_RecentEntries() {
    FrequencyModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    return m.recent;
}

int DriveTest_FrequencyDrop(int recentRow, int targetRow) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    int dropped = 0;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        dropped = DropLocked(m, calls, recentRow, targetRow);
    }
    calls.run();
    return dropped;
}

std::string DriveTest_FrequencyHelp(int column) {
    FrequencyModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    const auto& columns = m.table.columns();
    if (column < 1 || column > static_cast<int>(columns.size())) return {};
    return columns[static_cast<std::size_t>(column - 1)].help;
}

int onDtFreqTable(FreqTableEvent event, int row, int column, const std::string& text) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    int result = 0;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        if (!m.table.row(row)) return 0;
        if (event == FreqTableEvent::ActiveCellChanged) {
            if (column == kFreqColumnButton)
                ButtonPressed(m, calls, row);
            else
                result = m.table.editsOnActivation(row, column) ? 1 : 0;
        } else {
            result = m.table.setCell(row, column, text) ? 1 : 0;
            // Redrawn also when refused, so the cell shows what the table holds.
            calls.add([row, cells = m.table.view(row)](FrequencyPageView& v) { v.frequencyRowChanged(row, cells); });
        }
    }
    calls.run();
    return result;
}

void onDtFreqTableRecent(int row, int column) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        if (column != kFreqColumnButton || row < 2 || row - 2 >= static_cast<int>(m.recent.size())) return;
        m.recent.erase(m.recent.begin() + (row - 2));
        if (m.dragRow == row) m.dragRow = 0;
        calls.add([row](FrequencyPageView& v) { v.recentRowDeleted(row); });
        RedrawRecentRows(m, calls);
    }
    calls.run();
}

void onDtFreqTableDragDrop(const FreqMouseEvent& event) {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        switch (event.kind) {
        case FreqMouseEvent::Press:
            if (event.area == FreqPageArea::RecentTable && event.column >= kFreqColumnDescription &&
                event.row >= 2 && event.row - 2 < static_cast<int>(m.recent.size())) {
                m.dragRow = event.row;
                calls.add([cells = FrequencyTable_RecentRowView(event.row, m.recent[static_cast<std::size_t>(
                                                                               event.row - 2)])](FrequencyPageView& v) {
                    v.dragStarted(cells);
                });
            }
            break;
        case FreqMouseEvent::Move: {
            const auto& columns = m.table.columns();
            const bool overTitle = event.area == FreqPageArea::FrequencyTable && event.row == 1 &&
                                   event.column >= 1 && event.column <= static_cast<int>(columns.size());
            SetHelp(m, calls, overTitle ? columns[static_cast<std::size_t>(event.column - 1)].help : std::string());
            break;
        }
        case FreqMouseEvent::Release:
            if (m.dragRow == 0) break;
            if (event.area == FreqPageArea::FrequencyTable) DropLocked(m, calls, m.dragRow, event.row);
            m.dragRow = 0;
            calls.add([](FrequencyPageView& v) { v.dragEnded(); });
            break;
        }
    }
    calls.run();
}

void onDtFreqFront() {
    FrequencyModule& m = Module();
    ViewCalls calls;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        calls.bind(m.view);
        SetHelp(m, calls, {});
    }
    calls.run();
}

void onDtFreqBack() { onDtFreqFront(); }
