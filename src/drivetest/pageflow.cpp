// The buttons of the five drive-test pages: which check runs, which state of
// the worker or of the measurement threads is requested, which page follows.
#include "drivetest/basicsettings.h"
#include "drivetest/frequencylist.h"
#include "drivetest/wizardstate.h"
#include "measure/drivetest.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

void ReadBasicPage(Wizard& w) {
    BasicSettings basic = w.view->readBasic();
    Lock lock(w.driveTestLock);
    w.basic = basic;
}

// Leaving the recording page: a recording still running is stopped first, so
// that its files are closed, then the threads return to idle.
void LeaveRecording() {
    const auto threads = DriveTest_Threads();
    if (!threads.empty() && threads.front().currentState > kStateMonitoring) {
        DriveTest_Stop(kStopPressed);
        DriveTest_WaitStopped(60000);
    }
    DriveTest_RequestState(kStateIdle);
}

}  // namespace

int DriveTest_FreeDiskMB() {
    Wizard& w = Wizard_Get();
    std::string directory;
    {
        Lock lock(w.driveTestLock);
        directory = w.basic.outputDirectory;
    }
    return DriveTest_FreeDiskMB(directory);
}

void onDtBasicHome() {
    Wizard& w = Wizard_Get();
    ReadBasicPage(w);
    w.view->showPage(WizardPage::Home);
}

void onDtBasicNext() {
    Wizard& w = Wizard_Get();
    // The directory the page shows now is the one that must have room.
    const BasicSettings page = w.view->readBasic();
    const int freeMB = DriveTest_FreeDiskMB(page.outputDirectory);
    if (freeMB < kFreeDiskRequiredMB) {
        w.view->message(Text_Format("Not enough free diskspace (%d MB) in selected output directory: At least %d MB are "
                                    "required.\nSelect another output directory.",
                                    freeMB, kFreeDiskRequiredMB));
        return;
    }
    {
        Lock lock(w.driveTestLock);
        w.basic = page;
        w.revalidateRequest = 1;
        w.antennaColumn = BasicSettings_NeedsAntenna(page.levelUnit) ? 1 : 0;
        w.changed.notify_all();
    }
    w.view->setLevelTitle("Level [" + page.levelUnit + "]");
    w.view->showPage(WizardPage::Hardware);
}

void onDtBasicDir() {
    Wizard& w = Wizard_Get();
    ReadBasicPage(w);
    BasicSettings basic = DriveTest_Basic();
    auto chosen = w.view->chooseDirectory("Directory selection", basic.outputDirectory);
    if (!chosen) return;
    std::string directory = *chosen;
    if (directory.size() > 1 && (directory.back() == '/' || directory.back() == '\\')) directory.pop_back();
    basic.outputDirectory = directory;
    {
        Lock lock(w.driveTestLock);
        w.basic = basic;
    }
    w.view->showBasic(basic);
}

void onDtHwHome() { Wizard_Get().view->showPage(WizardPage::Home); }

void onDtHwPrevious() { Wizard_Get().view->showPage(WizardPage::Basic); }

void onDtRefresh() { DriveTest_RequestWorkerState(kWorkerSearching); }

void onDtHwNext() {
    if (DriveTest_CheckSelection(0, 1) != 1) return;
    DriveTest_RequestWorkerState(kWorkerEngaged);
    Wizard_Get().view->showPage(WizardPage::Frequencies);
}

void onDtFreqHome() {
    DriveTest_SaveFrequencies();
    DriveTest_RequestWorkerState(kWorkerWaiting);
    Wizard_Get().view->showPage(WizardPage::Home);
}

void onDtFreqPrevious() {
    DriveTest_SaveFrequencies();
    DriveTest_RequestWorkerState(kWorkerWaiting);
    Wizard_Get().view->showPage(WizardPage::Hardware);
}

void onDtFreqNext() {
    if (DriveTest_CheckFrequencies() != 1) return;
    DriveTest_SaveFrequencies();
    Wizard_Get().view->showPage(WizardPage::Measurements);
}

void onDtMeasNext() {
    Wizard& w = Wizard_Get();
    if (!DriveTest_CheckMeasurements()) {
        w.view->message("Please select at least one measurement.");
        return;
    }
    const auto tags = DriveTest_MarkedTags();
    int count;
    BasicSettings basic;
    {
        Lock lock(w.driveTestLock);
        count = w.engagedCount;
        basic = w.basic;
    }
    for (int k = 1; k <= count; ++k) DriveTest_SetMeasurementPlan(k, DriveTest_FrequencyBlock(k), tags);
    DriveTest_RequestState(kStateMonitoring);
    if (basic.distanceUnit == "kilometers [km]")
        w.view->setDistanceTitles("Grid spacing [km]", "Track length [km]", "Speed [km/h]");
    else
        w.view->setDistanceTitles("Grid spacing [mi]", "Track length [mi]", "Speed [mph]");
    w.view->showPage(WizardPage::Recording);
}

void onDtMeasPrevious() { Wizard_Get().view->showPage(WizardPage::Frequencies); }

void onDtMeasHome() {
    DriveTest_RequestWorkerState(kWorkerWaiting);
    Wizard_Get().view->showPage(WizardPage::Home);
}

void onDtRecPrevious() {
    LeaveRecording();
    Wizard_Get().view->showPage(WizardPage::Measurements);
}

void onDtRecHome() {
    LeaveRecording();
    DriveTest_RequestWorkerState(kWorkerWaiting);
    Wizard_Get().view->showPage(WizardPage::Home);
}
