// The analyzer table of the hardware page: filled from the checked slots in
// their sort order, with the default roles, and the page's table events.
#include <algorithm>
#include <cstring>

#include "antenna/antenna.h"
#include "drivetest/wizardstate.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

const char* const kColumnHelp[] = {
    "Type and serial number of the available TV analyzers.",
    "[OK]\nThis TV analyzer can be selected for the drive test\n\n[Error]\nThe reason, why this TV analyzer cannot be "
    "selected.",
    "[Nothing]\nNot used.\n\n[Analyzer]\nOnly used for measurements on broadcast signals.\n\n[Analyzer+GPS]\n"
    "Additionally provides the GPS coordinates.",
    "Determines, to which physical input the receiving antenna is connected.",
    "The antenna type contains K-Factors for a certain frequency range. They are required for transforming the "
    "measured input voltage to the corresponding field strength.\n\nClick the 'Edit' entry to start the Antenna Editor "
    "to create a new antenna type or modify an existing antenna type.",
};

}  // namespace

bool DriveTest_CompareSlots(const AnalyzerSlot& a, const AnalyzerSlot& b) {
    const bool okA = std::strcmp(a.status, "OK") == 0, okB = std::strcmp(b.status, "OK") == 0;
    if (okA != okB) return okA;
    if (int c = std::strcmp(a.family.modelName, b.family.modelName)) return c < 0;
    return std::strcmp(a.serialNumber, b.serialNumber) < 0;
}

void DriveTest_FillAnalyzerTable(Wizard& w) {
    const std::vector<std::string> antennas = Antenna_RingItems(Antenna_Snapshot());
    std::vector<AnalyzerTableRow> rows;
    bool antennaColumn, anyOk = false;
    {
        Lock lock(w.driveTestLock);
        antennaColumn = w.antennaColumn != 0;
        std::stable_sort(w.analyzerList.begin(), w.analyzerList.end(), DriveTest_CompareSlots);
        bool gpsGiven = false;
        int k = 0;
        for (const auto& slot : w.analyzerList) {
            ++k;
            AnalyzerTableRow row;
            row.type = Text_Format("Korvane %s, %s", slot.family.modelName, slot.serialNumber);
            row.status = slot.status;
            for (const auto& input : slot.family.inputImpedances) row.inputChoices.emplace_back(Text_View(input.label));
            if (!row.inputChoices.empty()) row.input = row.inputChoices.front();
            if (antennaColumn && !antennas.empty()) row.antenna = antennas.front();
            if (std::strcmp(slot.status, "OK") == 0) {
                anyOk = true;
                row.colour = k % 2 ? RowColour{150, 255, 150} : RowColour{150, 230, 150};
                row.roleEditable = true;
                row.role = "Analyzer";
                if (slot.gpsDetected == 1 && !gpsGiven) {
                    row.role = "Analyzer+GPS";
                    gpsGiven = true;
                }
            } else {
                row.colour = k % 2 ? RowColour{255, 150, 150} : RowColour{230, 150, 150};
                row.role = "Nothing";
            }
            rows.push_back(std::move(row));
        }
        w.table = rows;
    }
    if (rows.empty()) {
        w.view->showNoAnalyzerNotice();
        w.view->setActionsEnabled(false, true);
        return;
    }
    w.view->showAnalyzerTable(rows, antennaColumn, antennas);
    w.view->setActionsEnabled(anyOk, true);
}

void onDtHwTable(int row, int column, const std::string& value) {
    Wizard& w = Wizard_Get();
    if (column == 5 && value == kAntennaEditItem) {
        w.view->openAntennaEditor();
        return;
    }
    {
        Lock lock(w.driveTestLock);
        if (row < 2 || static_cast<std::size_t>(row - 2) >= w.table.size()) return;
        AnalyzerTableRow& r = w.table[static_cast<std::size_t>(row - 2)];
        if (column == 3) {
            if (!r.roleEditable) return;
            r.role = value;
        } else if (column == 4) {
            r.input = value;
        } else if (column == 5) {
            r.antenna = value;
            return;
        } else {
            return;
        }
    }
    DriveTest_CheckSelection(row, 0);
}

void onDtHwTableMouse(int row, int column) {
    Wizard& w = Wizard_Get();
    const int columns = DriveTest_AntennaColumn() ? 5 : 4;
    if (row == 1 && column >= 1 && column <= columns) w.view->showHelp(kColumnHelp[column - 1]);
    else w.view->showHelp("");
}

void onDtHwBack() { Wizard_Get().view->showHelp(""); }

void DriveTest_AntennasChanged() {
    Wizard& w = Wizard_Get();
    const AntennaList list = Antenna_Snapshot();
    const std::vector<std::string> antennas = Antenna_RingItems(list);
    std::vector<AnalyzerTableRow> rows;
    bool antennaColumn;
    {
        Lock lock(w.driveTestLock);
        antennaColumn = w.antennaColumn != 0;
        // Antennas are chosen by name: a position taken before the edit may
        // name another antenna now. A deleted antenna is not replaced by
        // another one, whose K-factors would pass unnoticed: the row has none
        // until the user assigns one (the selection check asks for it).
        for (std::size_t i = 0; i < w.table.size(); ++i) {
            AnalyzerTableRow& row = w.table[i];
            const int position = antennaColumn ? list.positionOf(row.antenna) : 0;
            if (antennaColumn && position == 0) row.antenna = kAntennaEditItem;
            if (i < w.analyzerList.size()) w.analyzerList[i].antennaIndex = position;
        }
        rows = w.table;
    }
    if (!rows.empty()) w.view->showAnalyzerTable(rows, antennaColumn, antennas);
}
