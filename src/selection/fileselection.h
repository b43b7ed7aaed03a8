#pragma once
// The file selection page shared by both conversions: lists the record files
// of a directory, narrows them by standard and frequency, keeps the marks and
// hands the marked files to the KMZ wizard (mode 0), the CSV conversion
// (mode 1) or the coverage analysis (mode 2). The page is reached only through FileSelectionView; what Next
// starts is reached through FileSelectionTarget. Main thread only.
#include <optional>
#include <string>
#include <vector>

#include "selection/recordentry.h"
#include "selection/selectionfilter.h"

inline constexpr const char* kSelectionNothingMarked = "You have to select at least one Fieldtrace file.";
inline constexpr const char* kSelectionMessageTitle = "Fieldtrace";
inline constexpr const char* kSelectionDirectoryTitle = "Directory selection";

struct RowShade {
    int red, green, blue;
    bool operator==(const RowShade&) const = default;
};
inline constexpr RowShade kRowWhite{255, 255, 255};
inline constexpr RowShade kRowGrey{230, 230, 230};

// One file row of the table: column 1 the mark, 2 the description, 3 the
// created text, 4 the sample count. Texts are Latin-1.
struct FileSelectionRow {
    std::string description;
    std::string created;
    std::string samples;  // "%d" of the sample count
    RowShade shade;
};

class FileSelectionView {
public:
    virtual ~FileSelectionView() = default;
    virtual void setPageTexts(const std::string& title, const std::string& hint) = 0;
    // Modes 1 and 2 show the mark-all and mark-none buttons, mode 0 hides them.
    virtual void showModeControls(int mode) = 0;
    virtual void showDirectory(const std::string& directory) = 0;
    // Table, filters and buttons together.
    virtual void setListEnabled(bool enabled) = 0;
    // selected: index into items, -1 when there are none.
    virtual void setStandardFilter(const std::vector<std::string>& items, int selected) = 0;
    virtual void setFrequencyFilter(const std::vector<std::string>& items, int selected) = 0;
    // Replaces every file row (all unmarked); row r of the table is rows[r - 1].
    virtual void setRows(const std::vector<FileSelectionRow>& rows) = 0;
    virtual void setMark(int row, bool marked) = 0;
    virtual void shadeRows(const std::vector<RowShade>& shades) = 0;
    // The directory chooser; nullopt when the user cancels.
    virtual std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) = 0;
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    virtual void showStartPage() = 0;
};

// What Next starts with the marked files.
class FileSelectionTarget {
public:
    virtual ~FileSelectionTarget() = default;
    // The KMZ wizard's next step and page.
    virtual void startKmz(const std::vector<RecordFileEntry>& marked) = 0;
    // The progress page and the CSV conversion thread; directory is the selection's.
    virtual void startCsv(const std::vector<RecordFileEntry>& marked, const std::string& directory) = 0;
    // The coverage analysis's settings page; directory is the selection's.
    virtual void startCoverage(const std::vector<RecordFileEntry>& marked, const std::string& directory) = 0;
};

// Mode -1, empty filters and lists; loads fs.ini from dataDirectory (empty:
// Platform_DataDirectory()) and shows its directory when that still exists,
// else dataDirectory, or when none was given Platform_OutputDirectory().
// view and target must outlive the module.
void FileSelection_Init(FileSelectionView& view, FileSelectionTarget& target, const std::string& dataDirectory = {});
// Saves fs.ini and forgets the lists; false when the save failed (told once per run).
bool FileSelection_Close();
// Shows the page in mode 0 (KMZ), 1 (CSV) or 2 (coverage); a change of mode sets the
// title, hint and controls and refreshes the list.
void FileSelection_Show(int mode);
void FileSelection_Refresh();
void FileSelection_FillStandardFilter();
void FileSelection_FillFrequencyFilter();
void FileSelection_FillTable();
// Marked entries with a row, in entry order, into the marked list; false
// (and the rows shaded again) when none is marked.
bool FileSelection_CollectMarked();

// Page callbacks.
void onFileSelectionDir();
void onFileSelectionRefresh();
void onFileSelectionUpdateStandard(const std::string& standard);
void onFileSelectionUpdateFrequency(const std::string& frequency);
// A click on a cell of file row row (1-based); column 1 is the mark cell.
void onFileSelectionTable(int row, int column);
void onFileSelectionAll();
void onFileSelectionNone();
void onFileSelectionNext();
void onFileSelectionHome();

// State, for the page and the tests.
int FileSelection_Mode();
const std::string& FileSelection_Directory();
const std::vector<RecordFileEntry>& FileSelection_Entries();
const std::vector<RecordFileEntry>& FileSelection_Marked();
const std::string& FileSelection_StandardFilter();
const std::string& FileSelection_FrequencyFilter();
bool FileSelection_IsMarked(int row);
