#include "selection/fileselection.h"

#include <cerrno>

#include "platform/paths.h"
#include "platform/settingsnotice.h"
#include "platform/text.h"
#include "records/fileio.h"
#include "selection/fsini.h"

namespace {

struct SelectionState {
    FileSelectionView* view = nullptr;
    FileSelectionTarget* target = nullptr;
    std::string dataDirectory;
    std::string directory;
    std::vector<RecordFileEntry> entries;
    std::vector<RecordFileEntry> marked;
    std::vector<bool> marks;  // per file row of the table
    std::string standardFilter;
    std::string frequencyFilter;
    int mode = kSelectionModeNone;
};

SelectionState& State() {
    static SelectionState state;
    return state;
}

// Page events before FileSelection_Init or after FileSelection_Close are ignored.
bool Open() { return State().view != nullptr; }

std::vector<RowShade> Shades(std::size_t rows) {
    std::vector<RowShade> shades;
    for (std::size_t i = 0; i < rows; ++i) shades.push_back(i % 2 == 0 ? kRowWhite : kRowGrey);
    return shades;
}

void SetMark(int row, bool marked) {
    SelectionState& s = State();
    s.marks[static_cast<std::size_t>(row - 1)] = marked;
    s.view->setMark(row, marked);
}

void MarkAll(bool marked) {
    for (int row = 1; row <= static_cast<int>(State().marks.size()); ++row) SetMark(row, marked);
}

}  // namespace

void FileSelection_Init(FileSelectionView& view, FileSelectionTarget& target, const std::string& dataDirectory) {
    SelectionState& s = State();
    s = SelectionState{};
    s.view = &view;
    s.target = &target;
    s.dataDirectory = dataDirectory.empty() ? Platform_DataDirectory() : dataDirectory;
    // Without a remembered directory the list starts where drive tests are recorded by default.
    const std::string fallback = dataDirectory.empty() ? Platform_OutputDirectory() : dataDirectory;
    std::string remembered;
    const bool loaded = FileSelection_LoadDirectory(s.dataDirectory, remembered);
    s.directory = loaded && FileIO_IsDirectory(remembered.c_str()) ? remembered : fallback;
    view.showDirectory(s.directory);
}

bool FileSelection_Close() {
    SelectionState& s = State();
    const bool saved = s.view ? FileSelection_SaveDirectory(s.dataDirectory, s.directory) : true;
    if (!saved) Platform_SettingsNotSaved(Platform_JoinPath(s.dataDirectory, kFsIniName), errno);
    s.entries.clear();
    s.marked.clear();
    s.marks.clear();
    s.view = nullptr;
    s.target = nullptr;
    return saved;
}

void FileSelection_Show(int mode) {
    if (!Open()) return;
    SelectionState& s = State();
    if ((mode != kSelectionModeKmz && mode != kSelectionModeCsv && mode != kSelectionModeCoverage) || mode == s.mode)
        return;
    s.mode = mode;
    if (mode == kSelectionModeKmz)
        s.view->setPageTexts("Step 1 of 5: File Selection", "Select the drive test record file for conversion.");
    else if (mode == kSelectionModeCsv)
        s.view->setPageTexts("Step 1 of 2: File Selection", "Select the drive test record file(s) for conversion.");
    else {
        s.view->setPageTexts("Step 1 of 3: File Selection",
                             "Select the drive test record files of the coverage analysis: every standard and "
                             "frequency is analysed on its own, on one common grid.");
        // The analysis takes every group at once: it starts unfiltered, not
        // narrowed to the one standard the KMZ mode had to choose.
        s.standardFilter = kFilterAll;
        s.frequencyFilter = kFilterAll;
    }
    s.view->showModeControls(mode);
    FileSelection_Refresh();
}

void FileSelection_Refresh() {
    if (!Open()) return;
    SelectionState& s = State();
    s.entries = FileSelection_ReadDirectory(s.directory);
    if (!s.entries.empty()) {
        s.view->setListEnabled(true);
        FileSelection_FillStandardFilter();
        FileSelection_FillFrequencyFilter();
        FileSelection_FillTable();
        return;
    }
    // Rows of the previous directory must not stay markable.
    s.marks.clear();
    s.view->setStandardFilter({}, -1);
    s.view->setFrequencyFilter({}, -1);
    s.view->setRows({});
    s.view->setListEnabled(false);
}

void FileSelection_FillStandardFilter() {
    if (!Open()) return;
    SelectionState& s = State();
    const auto items = FileSelection_StandardChoices(s.entries, s.mode);
    const int selected = FileSelection_KeepChoice(items, s.standardFilter);
    s.standardFilter = selected >= 0 ? items[static_cast<std::size_t>(selected)] : std::string();
    s.view->setStandardFilter(items, selected);
}

void FileSelection_FillFrequencyFilter() {
    if (!Open()) return;
    SelectionState& s = State();
    const auto items = FileSelection_FrequencyChoices(s.entries, s.standardFilter, s.mode);
    const int selected = FileSelection_KeepChoice(items, s.frequencyFilter);
    s.frequencyFilter = selected >= 0 ? items[static_cast<std::size_t>(selected)] : std::string();
    s.view->setFrequencyFilter(items, selected);
}

void FileSelection_FillTable() {
    if (!Open()) return;
    SelectionState& s = State();
    FileSelection_SortEntries(s.entries);
    std::vector<FileSelectionRow> rows;
    for (auto& e : s.entries) {
        if (!FileSelection_PassesFilters(e, s.standardFilter, s.frequencyFilter)) {
            e.row = 0;
            continue;
        }
        rows.push_back({e.description, e.created, Text_Format("%d", e.sampleCount),
                        rows.size() % 2 == 0 ? kRowWhite : kRowGrey});
        e.row = static_cast<int>(rows.size());
    }
    s.marks.assign(rows.size(), false);
    s.view->setRows(rows);
}

bool FileSelection_CollectMarked() {
    if (!Open()) return false;
    SelectionState& s = State();
    s.marked.clear();
    for (const auto& e : s.entries)
        if (e.row > 0 && static_cast<std::size_t>(e.row) <= s.marks.size() &&
            s.marks[static_cast<std::size_t>(e.row - 1)])
            s.marked.push_back(e);
    if (s.marked.empty()) s.view->shadeRows(Shades(s.marks.size()));
    return !s.marked.empty();
}

void onFileSelectionDir() {
    if (!Open()) return;
    SelectionState& s = State();
    auto chosen = s.view->chooseDirectory(kSelectionDirectoryTitle, s.directory);
    if (!chosen) return;
    s.directory = *chosen;
    s.view->showDirectory(s.directory);
    FileSelection_Refresh();
}

void onFileSelectionRefresh() { FileSelection_Refresh(); }

void onFileSelectionUpdateStandard(const std::string& standard) {
    if (!Open()) return;
    State().standardFilter = standard;
    FileSelection_FillFrequencyFilter();
    FileSelection_FillTable();
}

void onFileSelectionUpdateFrequency(const std::string& frequency) {
    if (!Open()) return;
    State().frequencyFilter = frequency;
    FileSelection_FillTable();
}

void onFileSelectionTable(int row, int column) {
    if (column != 1 || row < 1 || row > static_cast<int>(State().marks.size())) return;
    SetMark(row, !State().marks[static_cast<std::size_t>(row - 1)]);
}

void onFileSelectionAll() { MarkAll(true); }

void onFileSelectionNone() { MarkAll(false); }

void onFileSelectionNext() {
    if (!Open()) return;
    SelectionState& s = State();
    if (!FileSelection_CollectMarked()) {
        s.view->showMessage(kSelectionMessageTitle, kSelectionNothingMarked);
        return;
    }
    if (s.mode == kSelectionModeKmz)
        s.target->startKmz(s.marked);
    else if (s.mode == kSelectionModeCsv)
        s.target->startCsv(s.marked, s.directory);
    else
        s.target->startCoverage(s.marked, s.directory);
}

void onFileSelectionHome() {
    if (Open()) State().view->showStartPage();
}

int FileSelection_Mode() { return State().mode; }
const std::string& FileSelection_Directory() { return State().directory; }
const std::vector<RecordFileEntry>& FileSelection_Entries() { return State().entries; }
const std::vector<RecordFileEntry>& FileSelection_Marked() { return State().marked; }
const std::string& FileSelection_StandardFilter() { return State().standardFilter; }
const std::string& FileSelection_FrequencyFilter() { return State().frequencyFilter; }

bool FileSelection_IsMarked(int row) {
    const auto& marks = State().marks;
    return row >= 1 && row <= static_cast<int>(marks.size()) && marks[static_cast<std::size_t>(row - 1)];
}
