#pragma once
// The five drive-test pages (basic settings, hardware, frequencies,
// measurements, recording) and the GPS setup panel as the wizard sees them:
// one DriveTestWizardView whose page parts are the pages themselves, and the
// window's own part (page changes, messages, the directory dialog, the
// antenna editor).
#include <QObject>
#include <functional>
#include <optional>

#include "drivetest/wizardviews.h"

class AntennaEditor;
class BasicPage;
class FrequencyPage;
class GpsPanel;
class GpsSetupView;
class FrequencyPageView;
class DriveTestView;
class HardwarePage;
class MeasurementPage;
class QStackedWidget;
class QWidget;
class RecordingPage;

class DriveTestPages : public QObject, public DriveTestWizardView {
    Q_OBJECT
public:
    // The pages go into stack (by the window); the GPS panel lies over the
    // window and dims the stack while it is open.
    DriveTestPages(QStackedWidget* stack, AntennaEditor* antennas);
    // The page widget for kPageDtBasic .. kPageDtRecording.
    QWidget* page(int uiPage) const;
    BasicPage* basic() const { return basic_; }
    HardwarePage* hardware() const { return hardware_; }
    FrequencyPage* frequencies() const { return frequencies_; }
    MeasurementPage* measurements() const { return measurements_; }
    RecordingPage* recording() const { return recording_; }
    GpsPanel* gps() const { return gps_; }
    GpsSetupView& gpsPanel();
    FrequencyPageView* frequencyView();
    DriveTestView* recordingView();

    // Opens the antenna editor for opener (a page, disabled while the editor
    // is open); closing it refills the antenna choices of the analyzer table.
    void editAntennas(QWidget* opener);

    // Tests answer the directory dialog (empty: cancelled).
    using DirectoryChooser = std::function<QString(const QString& title, const QString& start)>;
    void setDirectoryChooser(DirectoryChooser chooser) { chooser_ = std::move(chooser); }

    // The window's part.
    void showPage(WizardPage page) override;
    void message(const std::string& text) override;
    std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) override;
    void setLevelTitle(const std::string& title) override;
    void setDistanceTitles(const std::string& grid, const std::string& track, const std::string& speed) override;
    void openAntennaEditor() override;
    // The pages' parts.
    void setChoices(const std::vector<std::string>& standards, const std::vector<std::string>& levelUnits,
                    const std::vector<std::string>& distanceUnits) override;
    void showBasic(const BasicSettings& settings) override;
    BasicSettings readBasic() override;
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
    void setTree(const std::vector<MeasurementTreeItem>& items) override;
    void setMarks(const std::vector<bool>& marks) override;
    void setOptions(bool defaultSelected, bool userSelected, bool treeVisible) override;
    void setIndicator(int category, const std::string& text, bool visible, bool highlighted) override;

private:
    AntennaEditor* antennas_;
    BasicPage* basic_;
    HardwarePage* hardware_;
    FrequencyPage* frequencies_;
    MeasurementPage* measurements_;
    RecordingPage* recording_;
    GpsPanel* gps_;
    DirectoryChooser chooser_;
};
