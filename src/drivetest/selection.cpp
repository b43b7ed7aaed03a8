// The selection rules of the hardware page: roles, one GPS provider, one
// analyzer type, an antenna for every analyzer when field strength is measured.
#include <cstring>

#include "antenna/antenna.h"
#include "instrument/configcheck.h"
#include "drivetest/wizardstate.h"
#include "measure/gpssetup.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

// The family model name shown in column 1, after "Korvane ".
std::string TypeKey(const std::string& typeText) {
    std::string model = typeText.rfind("Korvane ", 0) == 0 ? typeText.substr(8) : typeText;
    return model.substr(0, 3);
}

}  // namespace

int DriveTest_CheckSelection(int row, int showMessages) {
    Wizard& w = Wizard_Get();
    std::string message;
    std::vector<int> demoted;  // rows whose role the rules set back to "Analyzer"
    int openGpsSetup = 0;
    int result = 1;
    {
        Lock lock(w.driveTestLock);
        auto& table = w.table;
        const std::size_t index = static_cast<std::size_t>(row - 2);
        if (row >= 2 && index < table.size() && table[index].role == "Analyzer+GPS" && index < w.analyzerList.size() &&
            w.analyzerList[index].gpsDetected == 0) {
            const AnalyzerSlot& slot = w.analyzerList[index];
            char missing[100] = {};
            if (!DriveTest_CheckOptions(slot.options, slot.family.familyOptions, missing, sizeof missing)) {
                // The answer to the user's own choice: shown whatever showMessages says.
                message = missing;
                table[index].role = "Analyzer";
                demoted.push_back(row);
            } else {
                openGpsSetup = row;
            }
            result = 0;
        }
        if (result) {
            int provider = 0, selected = 0;
            bool mixed = false;
            std::string type;
            if (row >= 2 && index < table.size() && table[index].role == "Analyzer+GPS") provider = row;
            for (std::size_t i = 0; i < table.size() && result; ++i) {
                const int r = static_cast<int>(i) + 2;
                AnalyzerTableRow& t = table[i];
                if (t.role != "Nothing") {
                    ++selected;
                    if (type.empty()) type = TypeKey(t.type);
                    else if (TypeKey(t.type) != type) mixed = true;
                }
                if (r != row && t.role == "Analyzer+GPS") {
                    if (!provider) {
                        provider = r;
                    } else {
                        t.role = "Analyzer";  // a role newly set to "Analyzer+GPS" wins
                        demoted.push_back(r);
                    }
                }
                if (showMessages && w.antennaColumn && t.role != "Nothing" && t.antenna == kAntennaEditItem) {
                    message = "Please assign an antenna type to every selected TV analyzer.";
                    result = 0;
                }
            }
            if (result && !selected) {
                message = "Please select at least one TV Analyzer.";
                result = 0;
            } else if (result && !provider) {
                message = "Please also select, which TV Analyzer should provide the GPS coordinates.";
                result = 0;
            } else if (result && mixed) {
                message =
                    "If multiple TV Analyzers are selected, their type must be the same.\nTo control different types at "
                    "the same time,\nstart a separate software instance for each.";
                result = 0;
            }
            if (!showMessages) message.clear();
        }
    }
    for (int r : demoted) w.view->setCell(r, 3, "Analyzer");
    if (!message.empty()) w.view->message(message);
    if (openGpsSetup) GpsSetup_Open(openGpsSetup);
    return result;
}
