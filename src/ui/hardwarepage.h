#pragma once
// The second drive-test page: the search and check progress, the searched
// address ranges, the table of the analyzers found with their role, input and
// antenna choices, the column help, and Refresh / Home / Previous / Next.
//
// Table rows are counted as the wizard counts them: row 1 is the title row,
// the first analyzer is row 2. A choice in the table goes straight to the
// wizard; a cell the wizard changes (setCell) does not call back.
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <memory>

#include "drivetest/wizardviews.h"
#include "ui/columnhelp.h"

class HardwarePage : public QWidget, public HardwarePageView {
    Q_OBJECT
public:
    explicit HardwarePage(QWidget* parent);

    void showProgress(const std::string& label, double percent) override;
    void setProgress(double percent) override;
    void hideResults() override;
    void showRangeText(const std::string& text) override;
    void showNoAnalyzerNotice() override;
    void showAnalyzerTable(const std::vector<AnalyzerTableRow>& rows, bool antennaColumn,
                           const std::vector<std::string>& antennaChoices) override;
    void setActionsEnabled(bool next, bool refresh) override;
    void setCell(int row, int column, const std::string& text) override;
    void showHelp(const std::string& text) override;

    QTableWidget* table() const { return table_; }
    // The choice of a table cell (row >= 2; column 3 role, 4 input, 5 antenna); null for a fixed cell.
    QComboBox* choice(int row, int column) const;
    QProgressBar* progressBar() const { return progressBar_; }
    QLabel* progressLabel() const { return progressLabel_; }
    QLabel* rangeText() const { return rangeText_; }
    QLabel* notice() const { return notice_; }
    const QLabel* helpBox() const { return help_->box(); }
    QPushButton* refresh() const { return refresh_; }
    QPushButton* home() const { return home_; }
    QPushButton* previous() const { return previous_; }
    QPushButton* next() const { return next_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void addChoice(int widgetRow, int column, const std::vector<std::string>& items, const std::string& current);
    void chosen(QComboBox* combo, int widgetRow, int column, int index);
    // Reports the mouse over table row/column once per cell (0, 0: elsewhere).
    void mouseAt(int row, int column);

    QLabel* progressLabel_;
    QProgressBar* progressBar_;
    QWidget* progressBox_;
    QLabel* rangeCaption_;
    QLabel* rangeText_;
    QLabel* notice_;
    QTableWidget* table_;
    std::unique_ptr<ColumnHelp> help_;
    QPushButton* refresh_;
    QPushButton* home_;
    QPushButton* previous_;
    QPushButton* next_;
    int helpColumn_ = 0;  // the title cell the mouse was last over
    int mouseRow_ = -1, mouseColumn_ = -1;
};
