#pragma once
// The frequency page as the core sees it: the frequency table (one block of
// rows per selected analyzer), the recently used table, the help area, the
// floating table of a drag and the message boxes. The core computes every
// text, limit and colour; a view only displays them. Rows and columns are
// 1-based; row 1 is the title row. Calls come from the wizard's worker
// (engagement, while the main thread waits for it) or from the main thread
// (page callbacks), never under a lock of the module, so a view that reads
// the module from within a call cannot deadlock; a Qt view queues them to the
// main thread in call order.
#include <string>
#include <vector>

#include "measure/drivetestview.h"  // RowColour

enum class FrequencyCellKind {
    Label,      // not editable text (analyzer label, recently used values)
    Button,     // the add or delete button of column 2
    Text,       // the description: at most maxLength characters
    Real,       // the frequency: decimals, minimum, maximum
    Selection,  // one of choices, shown by its label
    Number,     // an integer from minimum to maximum
};

enum class FrequencyButton { None, Add, Delete };

struct FrequencyCellView {
    FrequencyCellKind kind = FrequencyCellKind::Label;
    std::string text;  // what the cell shows (Latin-1): "[+]" or "[x]" on a button
    FrequencyButton button = FrequencyButton::None;
    int maxLength = 0;
    int decimals = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    std::vector<std::string> choices;
    RowColour background{255, 255, 255};  // the row's stripe, or yellow for an offending cell
    bool operator==(const FrequencyCellView&) const = default;
};

// One cell per column, column 1 first.
struct FrequencyRowView {
    std::vector<FrequencyCellView> cells;
    bool operator==(const FrequencyRowView&) const = default;
};

struct FrequencyColumnView {
    std::string title;  // "- " marks a soft line break of a narrow column
    int width = 0;      // pixels
    std::string help;   // shown while the mouse is over the title cell
};

class FrequencyPageView {
public:
    virtual ~FrequencyPageView() = default;
    // The frequency table is emptied down to its title row and gets these columns.
    virtual void frequencyColumns(const std::vector<FrequencyColumnView>& columns) = 0;
    virtual void frequencyRowInserted(int row, const FrequencyRowView& cells) = 0;
    virtual void frequencyRowDeleted(int row) = 0;
    virtual void frequencyRowChanged(int row, const FrequencyRowView& cells) = 0;
    // Moves the active cell (after an add or delete press, so it can be pressed again).
    virtual void frequencyFocus(int row, int column) = 0;
    // The recently used table is emptied and gets these columns; the floating
    // table of a drag has the same columns and is dragTableWidth pixels wide.
    virtual void recentColumns(const std::vector<FrequencyColumnView>& columns, int dragTableWidth) = 0;
    virtual void recentRowInserted(int row, const FrequencyRowView& cells) = 0;
    virtual void recentRowDeleted(int row) = 0;
    virtual void recentRowChanged(int row, const FrequencyRowView& cells) = 0;
    // The help area; an empty text clears it.
    virtual void helpText(const std::string& text) = 0;
    // A drag began with this entry: the floating one-row table shows it at the
    // mouse and follows it, the cursor changes, until dragEnded.
    virtual void dragStarted(const FrequencyRowView& entry) = 0;
    virtual void dragEnded() = 0;
    // A message box titled "Fieldtrace".
    virtual void message(const std::string& text) = 0;
};
