#pragma once
// The CSV conversion's progress page: which file of how many, its progress,
// Home as cancel, and the final message before the way back to the selection.
// Every view call comes from the conversion thread and is queued to the main thread.
#include <QWidget>

#include "export/csv/csvmodule.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CsvProgressPage : public QWidget, public CsvPageView {
    Q_OBJECT
public:
    explicit CsvProgressPage(QWidget* parent = nullptr);
    void showFileLabel(const std::string& label) override;
    void setProgress(int percent) override;
    void finish(const std::string& message) override;

    // The controls, for the main window and the tests.
    QLabel* fileLabel() const { return file_; }
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* homeButton() const { return home_; }

private:
    QLabel* title_;
    QLabel* hint_;
    QLabel* file_;
    QProgressBar* progress_;
    QPushButton* home_;
    QPushButton* previous_;
    QPushButton* next_;
};
