#pragma once
// The five drive-test pages (basic settings, hardware, frequencies,
// measurements, recording) as the wizard sees them. For now each page says
// what it will hold and keeps the basic settings the wizard reads back; the
// drawn pages replace this class.
#include <QObject>
#include <QWidget>
#include <mutex>

#include "drivetest/frequencypageview.h"
#include "drivetest/wizardviews.h"
#include "measure/gpssetup.h"

class DriveTestPages : public QObject, public DriveTestWizardView {
    Q_OBJECT
public:
    explicit DriveTestPages(QWidget* parent);
    // The page widget for kPageDtBasic .. kPageDtRecording.
    QWidget* page(int uiPage) const;
    GpsSetupView& gpsPanel() { return gps_; }
    FrequencyPageView* frequencyView() { return nullptr; }
    DriveTestView* recordingView() { return nullptr; }

    void showPage(WizardPage page) override;
    void message(const std::string& text) override;
    std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) override;
    void setLevelTitle(const std::string&) override {}
    void setDistanceTitles(const std::string&, const std::string&, const std::string&) override {}
    void openAntennaEditor() override {}
    void setChoices(const std::vector<std::string>&, const std::vector<std::string>&,
                    const std::vector<std::string>&) override {}
    void showBasic(const BasicSettings& settings) override;
    BasicSettings readBasic() override;
    void showProgress(const std::string&, double) override {}
    void setProgress(double) override {}
    void hideResults() override {}
    void showRangeText(const std::string&) override {}
    void showNoAnalyzerNotice() override {}
    void showAnalyzerTable(const std::vector<AnalyzerTableRow>&, bool, const std::vector<std::string>&) override {}
    void setActionsEnabled(bool, bool) override {}
    void setCell(int, int, const std::string&) override {}
    void showHelp(const std::string&) override {}
    void setTree(const std::vector<MeasurementTreeItem>&) override {}
    void setMarks(const std::vector<bool>&) override {}
    void setOptions(bool, bool, bool) override {}
    void setIndicator(int, const std::string&, bool, bool) override {}

private:
    class NoGpsPanel : public GpsSetupView {
    public:
        void showReceivers(const std::vector<std::string>&) override {}
        void setControlsEnabled(bool) override {}
        void showInputs(const std::vector<GpsSetupInputRow>&) override {}
        void showProgress(const std::string&, int) override {}
        void showResult(const std::string&, const std::string&, RowColour) override {}
        void showPanel(bool) override {}
        void setMainTabsEnabled(bool) override {}
    };
    QWidget* pages_[5];
    NoGpsPanel gps_;
    std::mutex lock_;
    BasicSettings basic_;
};
