// Engaging the chosen analyzers: their slots completed with level unit, input
// and antenna, one measurement thread each, the frequency page and the
// measurement tree built for the standard; and releasing them again.
#include <algorithm>
#include <cstring>

#include "antenna/antenna.h"
#include "drivetest/frequencylist.h"
#include "drivetest/measurementselection.h"
#include "drivetest/wizardstate.h"
#include "measure/drivetest.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

NullDriveTestView nullRecordingView;

int PositionOfLabel(const std::vector<UnitChoice>& choices, const std::string& label) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (label == Text_View(choices[i].label)) return static_cast<int>(i + 1);
    return 0;
}

// Marks the default categories and shows the marks and the indicators.
void SelectDefaults(Wizard& w) {
    const auto& categories = DriveTest_DefaultCategories();
    std::vector<CategoryMatch> matches;
    std::vector<bool> marks;
    {
        Lock lock(w.driveTestLock);
        std::fill(w.tree.marks.begin(), w.tree.marks.end(), false);
        for (const auto& word : categories) matches.push_back(MeasurementTree_MarkCategory(w.tree, word));
        marks = w.tree.marks;
    }
    w.view->setMarks(marks);
    for (std::size_t i = 0; i < categories.size(); ++i)
        w.view->setIndicator(static_cast<int>(i), "- " + categories[i], matches[i].matched, matches[i].highlighted);
}

}  // namespace

void DriveTest_Engage(Wizard& w) {
    std::vector<AnalyzerSlot> slots;
    std::vector<AnalyzerTableRow> rows;
    BasicSettings basic;
    bool antennaColumn;
    {
        Lock lock(w.driveTestLock);
        slots = w.analyzerList;
        rows = w.table;
        basic = w.basic;
        antennaColumn = w.antennaColumn != 0;
        w.engagedCount = 0;
    }
    const std::size_t n = std::min(slots.size(), rows.size());
    const AnalyzerSlot* reference = nullptr;
    for (std::size_t i = 0; i < n && !reference; ++i)
        if (rows[i].role.rfind("Analyzer", 0) == 0) reference = &slots[i];
    if (!reference || reference->standardIndex < 1 ||
        static_cast<std::size_t>(reference->standardIndex) > reference->family.standards.size())
        return;  // the selection check lets no such selection through
    const BroadcastStandard& standard = reference->family.standards[static_cast<std::size_t>(reference->standardIndex - 1)];

    DriveTest_FrequencyReset(reference->family, standard);
    MeasurementTree tree = MeasurementTree_Build(standard, reference->firmwareVersion);
    {
        Lock lock(w.driveTestLock);
        w.tree = tree;
        w.defaultMeasurements = true;
    }
    w.view->setTree(tree.items);
    w.view->setOptions(true, false, false);
    SelectDefaults(w);

    const AntennaList antennas = Antenna_Snapshot();
    DriveTestSetup setup;
    setup.settings = basic;
    setup.sessionTimeoutMs = w.sessionTimeoutMs;
    int frequencyRow = 2;
    for (std::size_t i = 0; i < n; ++i) {
        AnalyzerSlot& slot = slots[i];
        slot.levelUnitIndex = PositionOfLabel(slot.family.levelUnits, basic.levelUnit);
        slot.inputIndex = PositionOfLabel(slot.family.inputImpedances, rows[i].input);
        slot.antennaIndex = antennaColumn ? antennas.positionOf(rows[i].antenna) : 0;
        slot.transducerIndex = 0;
        if (rows[i].role == "Nothing") continue;
        DriveTestAnalyzer a;
        a.slot = slot;
        a.providesGps = rows[i].role == "Analyzer+GPS";
        setup.analyzers.push_back(std::move(a));
        DriveTest_AddFrequencyRow(frequencyRow++, Text_Format("Korvane %s, %s", slot.family.modelName, slot.serialNumber),
                                  1, &slot);
    }
    {
        Lock lock(w.driveTestLock);
        // The slots keep what was chosen, selected or not.
        for (std::size_t i = 0; i < n && i < w.analyzerList.size(); ++i) w.analyzerList[i] = slots[i];
        w.engagedCount = static_cast<int>(setup.analyzers.size());
    }
    std::string error;
    if (!setup.analyzers.empty() &&
        !DriveTest_Start(setup, w.recordingView ? *w.recordingView : nullRecordingView, error))
        w.view->message(error);
}

void DriveTest_ReleaseThreads(Wizard& w) {
    DriveTest_Release();
    Lock lock(w.driveTestLock);
    w.engagedCount = 0;
}

void DriveTest_QuitEngaged(Wizard& w) {
    const auto threads = DriveTest_Threads();
    if (!threads.empty() && threads.front().currentState > kStateMonitoring) DriveTest_Stop(kStopQuit);
    DriveTest_ReleaseThreads(w);
}

std::vector<MeasurementTreeItem> DriveTest_MeasurementTree() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return w.tree.items;
}

std::vector<std::string> DriveTest_MarkedTags() {
    Wizard& w = Wizard_Get();
    Lock lock(w.driveTestLock);
    return MeasurementTree_MarkedTags(w.tree);
}

int DriveTest_CheckMeasurements() { return DriveTest_MarkedTags().empty() ? 0 : 1; }

void onDtMeasDef(bool value) {
    Wizard& w = Wizard_Get();
    {
        Lock lock(w.driveTestLock);
        w.defaultMeasurements = value;
    }
    w.view->setOptions(value, !value, !value);
    SelectDefaults(w);
}

void onDtMeasUsr(bool value) {
    Wizard& w = Wizard_Get();
    {
        Lock lock(w.driveTestLock);
        w.defaultMeasurements = !value;
    }
    w.view->setOptions(!value, value, value);
}

void onDtMeasTreeMark(int item, bool marked) {
    Wizard& w = Wizard_Get();
    std::vector<bool> marks;
    {
        Lock lock(w.driveTestLock);
        MeasurementTree_SetMark(w.tree, item, marked);
        marks = w.tree.marks;
    }
    w.view->setMarks(marks);
}
