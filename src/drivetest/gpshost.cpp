// What the GPS receiver setup reaches of the wizard: the slot of a table row,
// its role, and the selection check that runs again when the panel closes.
#include "drivetest/gpshost.h"

#include "drivetest/wizardstate.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

class WizardGpsHost : public GpsSetupHost {
public:
    bool slot(int row, AnalyzerSlot& slot) override {
        Wizard& w = Wizard_Get();
        Lock lock(w.driveTestLock);
        if (row < 2 || static_cast<std::size_t>(row - 2) >= w.analyzerList.size()) return false;
        slot = w.analyzerList[static_cast<std::size_t>(row - 2)];
        return true;
    }
    void storeSlot(int row, const AnalyzerSlot& slot) override {
        Wizard& w = Wizard_Get();
        Lock lock(w.driveTestLock);
        if (row < 2 || static_cast<std::size_t>(row - 2) >= w.analyzerList.size()) return;
        w.analyzerList[static_cast<std::size_t>(row - 2)].gpsDetected = slot.gpsDetected;
    }
    void setRoleAnalyzer(int row) override {
        Wizard& w = Wizard_Get();
        {
            Lock lock(w.driveTestLock);
            if (row < 2 || static_cast<std::size_t>(row - 2) >= w.table.size()) return;
            w.table[static_cast<std::size_t>(row - 2)].role = "Analyzer";
        }
        w.view->setCell(row, 3, "Analyzer");
    }
    void recheckSelection(int row) override { DriveTest_CheckSelection(row, 0); }
};

WizardGpsHost host;

}  // namespace

GpsSetupHost& DriveTest_GpsHost() { return host; }
