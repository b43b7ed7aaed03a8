#pragma once
// The record file selection page (shared by both conversions): folder choice,
// standard and frequency filters, the file table with its mark cells, and the
// page buttons. Every user event goes to the selection module's callbacks;
// every view call is queued to the main thread.
#include <QWidget>

#include "selection/fileselection.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class FileSelectionPage : public QWidget, public FileSelectionView {
    Q_OBJECT
public:
    explicit FileSelectionPage(QWidget* parent = nullptr);

    void setPageTexts(const std::string& title, const std::string& hint) override;
    void showModeControls(int mode) override;
    void showDirectory(const std::string& directory) override;
    void setListEnabled(bool enabled) override;
    void setStandardFilter(const std::vector<std::string>& items, int selected) override;
    void setFrequencyFilter(const std::vector<std::string>& items, int selected) override;
    void setRows(const std::vector<FileSelectionRow>& rows) override;
    void setMark(int row, bool marked) override;
    void shadeRows(const std::vector<RowShade>& shades) override;
    std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) override;
    void showMessage(const std::string& title, const std::string& text) override;
    void showStartPage() override;

    // The controls, for the main window and the tests.
    QTableWidget* table() const { return table_; }
    QComboBox* standardFilter() const { return standard_; }
    QComboBox* frequencyFilter() const { return frequency_; }
    QPushButton* markAllButton() const { return markAll_; }
    QPushButton* markNoneButton() const { return markNone_; }
    QPushButton* folderButton() const { return folder_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* homeButton() const { return home_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* hintLabel() const { return hint_; }
    QLineEdit* directoryField() const { return directory_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillCombo(QComboBox* combo, const std::vector<std::string>& items, int selected);
    void paintShade(int tableRow, const RowShade& shade);

    QLabel* title_;
    QLabel* hint_;
    QLineEdit* directory_;
    QPushButton* folder_;
    QPushButton* refresh_;
    QComboBox* standard_;
    QComboBox* frequency_;
    QPushButton* markAll_;
    QPushButton* markNone_;
    QTableWidget* table_;
    QPushButton* home_;
    QPushButton* previous_;
    QPushButton* next_;
};
