#pragma once
// The frequency page of the drive-test wizard: the frequency table with one
// block of entries per selected analyzer, the recently used entries of the
// analyzer family and standard (kept in the signals file of the data
// directory), the checks of Next, and the blocks the measurement threads
// take when monitoring starts. The module reaches the screen only through
// its FrequencyPageView; its state is guarded by its own lock, which is never
// held while the view is called.
#include <string>
#include <vector>

#include "instrument/analyzerslot.h"
#include "drivetest/frequencypageview.h"
#include "drivetest/recentlist.h"
#include "measure/receivercontext.h"

inline constexpr const char* kFreqRecentHeading = "Recently used";
inline constexpr const char* kFreqRecentHint =
    "To reuse, drag & drop into upper table. Press 'x' to delete an entry.";

// Module life. view may be null (nothing shown); an empty dataDirectory
// means Platform_DataDirectory() at the time the signals file is used.
void DriveTest_FrequencyInit(FrequencyPageView* view, const std::string& dataDirectory = {});
void DriveTest_FrequencyClose();

// Engagement: empties the frequency table to its title row with the four
// fixed columns and their help texts, adds one column per parameter of the
// standard, and loads the recently used list of family.modelLetter and the
// standard's code.
void DriveTest_FrequencyReset(const AnalyzerFamily& family, const BroadcastStandard& standard);
// Rebuilds the recently used table for the standard and fills it from the
// signals file of the family given to the last reset.
void DriveTest_LoadRecent(const BroadcastStandard& standard);
// Inserts an empty entry at table row (2 .. rows + 1) of the recently used table.
void DriveTest_FrequenciesRecentAddRow(int row, int fieldCount);
// Inserts a frequency row at row. With a slot: the first row of a block at
// engagement, with the defaults of slot.family and its standard at
// slot.standardIndex; the block keeps slot.antennaIndex for the K-factor
// check. Without one: a row the user added, copied from the row above.
// label: "Korvane %s, %s" (model name, serial number) on a block's first row.
void DriveTest_AddFrequencyRow(int row, const std::string& label, int isLast, const AnalyzerSlot* slot);
// Merges every frequency row into the recently used list and writes the
// signals file (a failed write keeps the previous file and is told once per run).
void DriveTest_SaveFrequencies();
// The checks of Next: 1 when all pass; else 0, a message through the view and yellow cells.
int DriveTest_CheckFrequencies();

// The k-th block (1-based: the k-th selected analyzer) as the measurement threads take it.
std::vector<FrequencyEntry> DriveTest_FrequencyBlock(int k);
int DriveTest_FrequencyBlockCount();
// The recently used entries in table order (row 2 first).
std::vector<RecentEntry> DriveTest_RecentEntries();

// Puts the recently used entry of table row recentRow into frequency row
// targetRow: description, frequency, the parameter whose label matches, a
// number when its text is not empty. 1 when both rows exist.
int DriveTest_FrequencyDrop(int recentRow, int targetRow);
// The help text of a frequency-table column (shown over its title cell).
std::string DriveTest_FrequencyHelp(int column);

// ---- Callbacks of the page ----

enum class FreqTableEvent {
    ActiveCellChanged,  // the active cell moved to (row, column): column 2 is a press on the button
    ValueCommitted,     // the user finished typing or choosing text in (row, column)
};
// ActiveCellChanged returns 1 when the page should put the cell into edit
// mode at once (description, frequency and number cells); ValueCommitted
// returns 1 when the value was taken. The row is redrawn either way.
int onDtFreqTable(FreqTableEvent event, int row, int column, const std::string& text = {});
// The active cell of the recently used table moved to (row, column): column 2
// is a press on the delete button.
void onDtFreqTableRecent(int row, int column);

enum class FreqPageArea { Elsewhere, FrequencyTable, RecentTable };
struct FreqMouseEvent {
    enum Kind { Press, Move, Release } kind = Move;
    FreqPageArea area = FreqPageArea::Elsewhere;
    int row = 0;     // table row under the mouse (on release: under the centre of the floating table)
    int column = 0;  // table column under the mouse
};
// Mouse events over the page, dispatched by position: a press on a value
// cell of the recently used table starts a drag, a release ends it (a drop
// when over a frequency row), a move over a title cell of the frequency table
// shows its help text, anywhere else clears it. Moving the floating table is
// the page's own business.
void onDtFreqTableDragDrop(const FreqMouseEvent& event);
// The mouse is over the page's decorations: the help area is cleared.
void onDtFreqFront();
void onDtFreqBack();
