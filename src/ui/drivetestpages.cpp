#include "ui/drivetestpages.h"

#include <QFileDialog>
#include <QPointer>
#include <QStackedWidget>

#include "drivetest/wizard.h"
#include "ui/antennaeditor.h"
#include "ui/basicpage.h"
#include "ui/frequencypage.h"
#include "ui/gpspanel.h"
#include "ui/hardwarepage.h"
#include "ui/measurementpage.h"
#include "ui/recordingpage.h"
#include "ui/uishell.h"

DriveTestPages::DriveTestPages(QStackedWidget* stack, AntennaEditor* antennas)
    : QObject(stack),
      antennas_(antennas),
      basic_(new BasicPage(stack)),
      hardware_(new HardwarePage(stack)),
      frequencies_(new FrequencyPage(stack)),
      measurements_(new MeasurementPage(stack)),
      recording_(new RecordingPage(stack)),
      gps_(new GpsPanel(stack, stack->parentWidget() ? stack->parentWidget() : stack)) {}

QWidget* DriveTestPages::page(int uiPage) const {
    switch (uiPage) {
        case kPageDtBasic: return basic_;
        case kPageDtHardware: return hardware_;
        case kPageDtFrequencies: return frequencies_;
        case kPageDtMeasurements: return measurements_;
        case kPageDtRecording: return recording_;
        default: return nullptr;
    }
}

GpsSetupView& DriveTestPages::gpsPanel() { return *gps_; }
FrequencyPageView* DriveTestPages::frequencyView() { return frequencies_; }
DriveTestView* DriveTestPages::recordingView() { return recording_; }

void DriveTestPages::showPage(WizardPage page) {
    static const int map[] = {kPageStart, kPageDtBasic, kPageDtHardware, kPageDtFrequencies, kPageDtMeasurements,
                              kPageDtRecording};
    const int target = map[static_cast<int>(page)];
    Ui_Post([target] { Ui_ShowPage(target); });
}

void DriveTestPages::message(const std::string& text) {
    const QString t = Ui_Text(text);
    Ui_Post([t] { Ui_Message(t); });
}

std::optional<std::string> DriveTestPages::chooseDirectory(const std::string& title, const std::string& start) {
    const QString dir = chooser_ ? chooser_(Ui_Text(title), Ui_PathText(start))
                                 : QFileDialog::getExistingDirectory(basic_, Ui_Text(title), Ui_PathText(start));
    if (dir.isEmpty()) return std::nullopt;
    return Ui_PathBytes(dir);
}

void DriveTestPages::setLevelTitle(const std::string& title) { recording_->setLevelTitle(title); }

void DriveTestPages::setDistanceTitles(const std::string& grid, const std::string& track, const std::string& speed) {
    recording_->setDistanceTitles(grid, track, speed);
}

void DriveTestPages::editAntennas(QWidget* opener) {
    // Whichever page opened it, the analyzer table holds antennas that the
    // editor may have moved or deleted.
    if (antennas_) antennas_->open(opener, [] { DriveTest_AntennasChanged(); });
}

void DriveTestPages::openAntennaEditor() {
    QPointer<DriveTestPages> self(this);
    Ui_Post([self] {
        if (self) self->editAntennas(self->hardware_);
    });
}

void DriveTestPages::setChoices(const std::vector<std::string>& standards, const std::vector<std::string>& levelUnits,
                                const std::vector<std::string>& distanceUnits) {
    basic_->setChoices(standards, levelUnits, distanceUnits);
}
void DriveTestPages::showBasic(const BasicSettings& settings) { basic_->showBasic(settings); }
BasicSettings DriveTestPages::readBasic() { return basic_->readBasic(); }

void DriveTestPages::showProgress(const std::string& label, double percent) { hardware_->showProgress(label, percent); }
void DriveTestPages::setProgress(double percent) { hardware_->setProgress(percent); }
void DriveTestPages::hideResults() { hardware_->hideResults(); }
void DriveTestPages::showRangeText(const std::string& text) { hardware_->showRangeText(text); }
void DriveTestPages::showNoAnalyzerNotice() { hardware_->showNoAnalyzerNotice(); }
void DriveTestPages::showAnalyzerTable(const std::vector<AnalyzerTableRow>& rows, bool antennaColumn,
                                       const std::vector<std::string>& antennaChoices) {
    hardware_->showAnalyzerTable(rows, antennaColumn, antennaChoices);
}
void DriveTestPages::setActionsEnabled(bool next, bool refresh) { hardware_->setActionsEnabled(next, refresh); }
void DriveTestPages::setCell(int row, int column, const std::string& text) { hardware_->setCell(row, column, text); }
void DriveTestPages::showHelp(const std::string& text) { hardware_->showHelp(text); }

void DriveTestPages::setTree(const std::vector<MeasurementTreeItem>& items) { measurements_->setTree(items); }
void DriveTestPages::setMarks(const std::vector<bool>& marks) { measurements_->setMarks(marks); }
void DriveTestPages::setOptions(bool defaultSelected, bool userSelected, bool treeVisible) {
    measurements_->setOptions(defaultSelected, userSelected, treeVisible);
}
void DriveTestPages::setIndicator(int category, const std::string& text, bool visible, bool highlighted) {
    measurements_->setIndicator(category, text, visible, highlighted);
}
