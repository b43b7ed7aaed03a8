#pragma once
// The two pages of the coverage analysis, settings and progress, as one view
// of the coverage wizard. Every void view call is queued to the main thread
// in call order; settings() and the questions are main-thread reads.
#include <QObject>
#include <functional>

#include "coveragewizard/coveragewizard.h"
#include "ui/coveragesettingspage.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CoveragePages : public QObject, public CoverageWizardView {
    Q_OBJECT
public:
    explicit CoveragePages(QWidget* parent = nullptr);
    // The page widget for kPageCoverage and kPageCoverageProgress.
    QWidget* page(int uiPage) const;

    void setUnits(const std::array<bool, kKmzUnitCount>& usable) override;
    void setThresholdRows(const std::vector<CoverageThresholdRow>& rows) override;
    void setSettings(const CoverageSettings& settings) override;
    CoverageSettings settings() override;
    void highlightThreshold(int row) override;
    void highlightOutput(bool on) override;
    void highlightConnection(bool on) override;
    void showConnection(CoverageConnectionState state, const std::string& text) override;
    std::optional<std::string> chooseOutput(const std::string& current) override;
    bool confirm(const std::string& question) override;
    void showMessage(const std::string& text) override;
    void showStep(const std::string& label) override;
    void setProgress(int percent) override;
    void enableCancel(bool enabled) override;
    void showPage(CoverageWizardPage page) override;
    void showResult(const std::string& message, const std::string& folder) override;

    // The file chooser (tests replace it): the chosen path, empty when cancelled.
    using OutputChooser = std::function<QString(QWidget* parent, const QString& current)>;
    void setOutputChooser(OutputChooser chooser) { chooser_ = std::move(chooser); }

    // The widgets, for the window and the tests.
    const CoverageSettingsPage& settingsPage() const { return settings_; }
    QLabel* stepLabel() const { return step_; }
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void buildProgressPage(QWidget* parent);
    void connectSettingsPage();
    void showFormatOf(const QString& path);
    // The rows of the format chosen: the file and its report, or the database.
    void showTargetRows();

    CoverageSettingsPage settings_;
    QWidget* progressPage_ = nullptr;
    QLabel* step_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    OutputChooser chooser_;
};
