#pragma once
// The drive-test frequency page: the frequency table with one block of
// entries per selected analyzer, the recently used entries under it, and the
// floating one-row table that follows the mouse while an entry is dragged
// from the lower table into the upper one. The frequency list module computes
// every text, limit and colour; the page draws them and reports what the user
// does to the module's callbacks.
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <memory>
#include <vector>

#include "drivetest/frequencylist.h"
#include "ui/columnhelp.h"

class FrequencyPage : public QWidget, public FrequencyPageView {
    Q_OBJECT
public:
    explicit FrequencyPage(QWidget* parent);
    ~FrequencyPage() override;

    void frequencyColumns(const std::vector<FrequencyColumnView>& columns) override;
    void frequencyRowInserted(int row, const FrequencyRowView& cells) override;
    void frequencyRowDeleted(int row) override;
    void frequencyRowChanged(int row, const FrequencyRowView& cells) override;
    void frequencyFocus(int row, int column) override;
    void recentColumns(const std::vector<FrequencyColumnView>& columns, int dragTableWidth) override;
    void recentRowInserted(int row, const FrequencyRowView& cells) override;
    void recentRowDeleted(int row) override;
    void recentRowChanged(int row, const FrequencyRowView& cells) override;
    void helpText(const std::string& text) override;
    void dragStarted(const FrequencyRowView& entry) override;
    void dragEnded() override;
    void message(const std::string& text) override;

    // Widget rows are table rows - 2 (row 1 is the header).
    QTableWidget* frequencyTable() const { return table_; }
    QTableWidget* recentTable() const { return recent_; }
    // The floating table of a drag; hidden when no drag runs.
    QTableWidget* dragTable() const { return floating_; }
    const ColumnHelp& columnHelp() const { return *help_; }
    QPushButton* homeButton() const { return home_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Hit {
        FreqPageArea area = FreqPageArea::Elsewhere;
        int row = 0;     // table row: 1 the header, 0 none
        int column = 0;  // 1-based, 0 none
    };
    Hit hitAt(QPoint pagePoint) const;
    // Applies a change of the core to the widgets without reporting it back.
    template <class Fn>
    void apply(Fn fn);
    void setColumns(QTableWidget* table, const std::vector<FrequencyColumnView>& columns);
    // Columns as wide as the core asks, wider where their texts need it; the
    // lower tables keep the upper table's widths so that the columns line up.
    void fitColumns();
    void scheduleFit();
    // The floating table hidden and the cursor back.
    void hideDrag();

    QTableWidget* table_;
    QTableWidget* recent_;
    QTableWidget* floating_;
    std::unique_ptr<ColumnHelp> help_;
    QPushButton* home_;
    QPushButton* previous_;
    QPushButton* next_;
    std::vector<int> widths_;  // the core's widths of the frequency table's columns
    std::vector<int> recentWidths_;
    int dragWidth_ = 0;
    int helpColumn_ = 0;      // the header cell the mouse was last over
    QPoint dragOffset_;       // from the mouse to the top-left of the pressed recent row
    bool dragging_ = false;   // the floating table follows the mouse
    bool cursorSet_ = false;
    bool applying_ = false;
    bool fitPending_ = false;
};
