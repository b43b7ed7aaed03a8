#pragma once
// The frequency table of the drive-test wizard as a value: blocks of rows,
// one block per selected analyzer, each row a description, a frequency and
// one cell per parameter of the standard. Columns: 1 the block's analyzer
// label, 2 the add/delete button, 3 "Description", 4 "Frequency [MHz]", then
// the parameters. Rows are 1-based; row 1 is the title row.
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/analyzerslot.h"
#include "drivetest/frequencypageview.h"
#include "drivetest/recentlist.h"
#include "measure/receivercontext.h"

constexpr int kFreqColumnLabel = 1;
constexpr int kFreqColumnButton = 2;
constexpr int kFreqColumnDescription = 3;
constexpr int kFreqColumnFrequency = 4;
constexpr int kFreqFixedColumns = 4;
constexpr int kFreqDescriptionMaxLength = 20;
constexpr int kFreqDecimals = 6;
inline constexpr const char* kFreqTitleDescription = "Description";
inline constexpr const char* kFreqTitleFrequency = "Frequency [MHz]";
inline constexpr const char* kFreqAddImage = "[+]";
inline constexpr const char* kFreqDeleteImage = "[x]";

struct FrequencyParameterCell {
    std::int32_t kind = kParameterSelection;
    std::vector<std::string> choices;  // selection: the labels
    std::string label;                 // selection: the chosen label
    int number = 0;                    // number: value and limits
    int minimum = 0;
    int maximum = 0;
    // The cell as text: the label, or the number by "%d".
    std::string text() const;
};

struct FrequencyRow {
    std::string label;     // the block's analyzer on the block's first row, else empty
    int antennaIndex = 0;  // the block analyzer's antenna; travels with the label
    bool addButton = true;
    std::string description;
    double frequencyMHz = 500.0;
    double minimumMHz = 0.5;
    double maximumMHz = 3000.0;
    std::vector<FrequencyParameterCell> parameters;
    std::vector<bool> yellow;  // per column: offending cells of the last check
};

class FrequencyTable {
public:
    // Empties the table down to its title row and gives it the fixed columns
    // and one column per parameter of the standard.
    void reset(const BroadcastStandard& standard);
    const BroadcastStandard& standard() const { return standard_; }
    const std::vector<FrequencyColumnView>& columns() const { return columns_; }
    // Titles of the value columns 3 to the last: the fields of an entry.
    std::vector<std::string> fieldTitles() const;
    // Table rows including the title row.
    int rowCount() const { return static_cast<int>(rows_.size()) + 1; }
    // nullptr for the title row and for rows beyond the table.
    const FrequencyRow* row(int row) const;
    FrequencyRow* row(int row);

    // Inserts a row at position row (2 .. rowCount() + 1). With a slot, the
    // defaults come from its family's range and its standard, and the row
    // remembers the slot's antenna; without one they are copied from the row above.
    bool insertRow(int row, const std::string& label, int isLast, const AnalyzerSlot* slot);

    enum class Press { None, Added, Deleted };
    // A press on the button of row: the add button of a block's last row
    // inserts an empty row after it; a delete button removes the row, and the
    // row moving up takes over its label (so a block keeps its label).
    Press pressButton(int row);

    // A value typed into a cell of row > 1: a description is cut to 20
    // characters; a frequency or number is kept within its limits; a selection
    // must name one of its labels. False when nothing was taken.
    bool setCell(int row, int column, const std::string& text);
    // True for the cells that go into edit mode as soon as they become active.
    bool editsOnActivation(int row, int column) const;
    // Puts a recently used entry into row: description, frequency, and every
    // parameter whose text fits (a selection's label, a non-empty number).
    bool drop(int row, const RecentEntry& entry);

    // The field texts of a row: description, frequency "%011.6lf", parameter texts.
    RecentEntry fields(int row) const;
    // Clears the yellow marks.
    void restripe();
    FrequencyRowView view(int row) const;

    int blockCount() const;
    // 1-based row of the k-th block label, 0 when there is none.
    int blockStart(int k) const;
    std::vector<FrequencyEntry> block(int k) const;

private:
    BroadcastStandard standard_{};
    std::vector<FrequencyColumnView> columns_;
    std::vector<FrequencyRow> rows_;  // rows_[0] is table row 2
};

// Row colours: white on even rows, light grey 230 on odd rows; an offending
// cell is yellow in the same shade.
RowColour FrequencyTable_Stripe(int row);
RowColour FrequencyTable_Yellow(int row);
// Column titles and help texts of the recently used table, and the width of the floating drag table.
std::vector<FrequencyColumnView> FrequencyTable_RecentColumns(const BroadcastStandard& standard);
int FrequencyTable_DragTableWidth(const BroadcastStandard& standard);
// A row of the recently used table: an empty label, the delete button, the entry's texts.
FrequencyRowView FrequencyTable_RecentRowView(int row, const RecentEntry& entry);
