#pragma once
// How the drive-test wizard reaches the screen: one view interface per page
// and one for the window around them. The core computes every text, colour
// and choice; a view only shows them. Calls may come from the wizard's worker
// thread; a Qt view queues them to the main thread in order, and a view never
// calls back into the wizard from inside a call.
#include <optional>
#include <string>
#include <vector>

#include "measure/drivetestview.h"
#include "measure/receivercontext.h"

enum class WizardPage { Home, Basic, Hardware, Frequencies, Measurements, Recording };

// The window around the pages: page changes, message boxes titled
// "Fieldtrace", the directory dialog and the titles of the recording table.
class WizardView {
public:
    virtual ~WizardView() = default;
    virtual void showPage(WizardPage page) = 0;
    virtual void message(const std::string& text) = 0;
    // nullopt when the user cancels.
    virtual std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) = 0;
    // "Level [%s]" of the status table.
    virtual void setLevelTitle(const std::string& title) = 0;
    // The distance rows of the summary table: grid spacing, track length, speed.
    virtual void setDistanceTitles(const std::string& grid, const std::string& track, const std::string& speed) = 0;
    // The antenna editor (the "----------Edit----------" entry).
    virtual void openAntennaEditor() = 0;
};

class BasicPageView {
public:
    virtual ~BasicPageView() = default;
    virtual void setChoices(const std::vector<std::string>& standards, const std::vector<std::string>& levelUnits,
                            const std::vector<std::string>& distanceUnits) = 0;
    virtual void showBasic(const BasicSettings& settings) = 0;
    // The four values as the page holds them now.
    virtual BasicSettings readBasic() = 0;
};

// One row of the analyzer table (table row = index + 2; row 1 is the title row).
struct AnalyzerTableRow {
    std::string type;    // "Korvane %s, %s"
    std::string status;  // "OK" or the reason
    RowColour colour{};
    bool roleEditable = false;  // only "OK" rows may change their role
    std::string role;           // "Nothing", "Analyzer" or "Analyzer+GPS"
    std::vector<std::string> inputChoices;
    std::string input;
    std::string antenna;  // with the antenna column: a name or "----------Edit----------"
};

inline const std::vector<std::string>& AnalyzerTable_Roles() {
    static const std::vector<std::string> roles = {"Nothing", "Analyzer", "Analyzer+GPS"};
    return roles;
}

class HardwarePageView {
public:
    virtual ~HardwarePageView() = default;
    // The progress bar with its label (shown; hides nothing else).
    virtual void showProgress(const std::string& label, double percent) = 0;
    virtual void setProgress(double percent) = 0;
    // Hides the notice, the address-range text and the table, and dims Next
    // and refresh until the table is filled again.
    virtual void hideResults() = 0;
    virtual void showRangeText(const std::string& text) = 0;
    // The notice that no analyzer was found (the progress bar goes).
    virtual void showNoAnalyzerNotice() = 0;
    // The filled table; the progress bar goes. With antennaColumn the fifth
    // column "Antenna" (width 115) offers antennaChoices.
    virtual void showAnalyzerTable(const std::vector<AnalyzerTableRow>& rows, bool antennaColumn,
                                   const std::vector<std::string>& antennaChoices) = 0;
    virtual void setActionsEnabled(bool next, bool refresh) = 0;
    // A cell the core changed (row is the table row, column 3 role, 4 input, 5 antenna).
    virtual void setCell(int row, int column, const std::string& text) = 0;
    // The help area; empty clears it.
    virtual void showHelp(const std::string& text) = 0;
};

// One item of the measurement tree in insertion order; parent is the index
// of the parent item, -1 for the top level. Groups have an empty tag.
struct MeasurementTreeItem {
    int parent = -1;
    std::string label;
    std::string tag;  // "V%d", "G%d", "P%d" for a measurement
    bool highlighted = false;
};

class MeasurementPageView {
public:
    virtual ~MeasurementPageView() = default;
    virtual void setTree(const std::vector<MeasurementTreeItem>& items) = 0;
    // marks[i] belongs to items[i] of the last setTree.
    virtual void setMarks(const std::vector<bool>& marks) = 0;
    // The "Default:" and "User defined:" options and whether the tree shows.
    virtual void setOptions(bool defaultSelected, bool userSelected, bool treeVisible) = 0;
    // The indicator of default category n (0-based, "Level" first): "- Level".
    virtual void setIndicator(int category, const std::string& text, bool visible, bool highlighted) = 0;
};

class DriveTestWizardView : public WizardView,
                            public BasicPageView,
                            public HardwarePageView,
                            public MeasurementPageView {};
