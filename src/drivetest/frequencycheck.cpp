#include "drivetest/frequencycheck.h"

#include "antenna/antenna.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

constexpr std::size_t kDescriptionCell = kFreqColumnDescription - 1;
constexpr std::size_t kFrequencyCell = kFreqColumnFrequency - 1;
constexpr std::size_t kFirstParameterCell = kFreqFixedColumns;

void Mark(FrequencyRow& row, std::size_t cell) {
    if (cell < row.yellow.size()) row.yellow[cell] = true;
}

// Only parameters flagged in the catalogue (defaultValue not 0: the PLP and
// Parade IDs) tell two entries on one frequency apart; the others only
// describe how the same channel is received.
bool Distinguishes(const StandardParameter& p) { return p.defaultValue != 0; }

}  // namespace

int FrequencyCheck_Descriptions(FrequencyTable& table) {
    int ok = 1;
    for (int i = 2; i <= table.rowCount(); ++i) {
        FrequencyRow& r = *table.row(i);
        bool bad = !FileIO_IsValidFileName(r.description.c_str());
        for (int j = i + 1; j <= table.rowCount(); ++j) {
            if (table.row(j)->description == r.description) {
                bad = true;
                Mark(*table.row(j), kDescriptionCell);  // both rows of a pair are shown
            }
        }
        if (bad) {
            Mark(r, kDescriptionCell);
            ok = 0;
        }
    }
    return ok;
}

int FrequencyCheck_KFactors(FrequencyTable& table, std::string& message) {
    std::string label;
    int antennaIndex = 0;
    AntennaType antenna;
    for (int i = 2; i <= table.rowCount(); ++i) {
        FrequencyRow& r = *table.row(i);
        if (!r.label.empty()) {
            label = r.label;
            antennaIndex = r.antennaIndex;
            // An index the antenna list no longer holds counts as an antenna without points.
            if (antennaIndex > 0 && !Antenna_Get(antennaIndex, antenna)) antenna = AntennaType{};
        }
        if (antennaIndex <= 0) continue;
        const auto& points = antenna.kFactors;
        if (points.size() < 2) {
            message = Text_Format("%s: The assigned antenna type '%s'\nmust at least provide 2 K-Factor entries (currently %d).",
                                  label.c_str(), antenna.name, static_cast<int>(points.size()));
            return 0;
        }
        const double low = points.front().frequency;
        const double high = points.back().frequency;
        if (r.frequencyMHz < low || r.frequencyMHz > high) {
            Mark(r, kFrequencyCell);
            message = Text_Format("%s: The selected frequency %.6f MHz is not within the K-Factor interval\n"
                                  "of the assigned antenna type '%s' (%.6f MHz - %.6f MHz).",
                                  label.c_str(), r.frequencyMHz, antenna.name, low, high);
            return 0;
        }
    }
    return 1;
}

int FrequencyCheck_Channels(FrequencyTable& table) {
    const auto& parameters = table.standard().parameters;
    int ok = 1;
    for (int i = 2; i <= table.rowCount(); ++i) {
        const FrequencyRow& r = *table.row(i);
        for (int j = i + 1; j <= table.rowCount() && table.row(j)->label.empty(); ++j) {
            FrequencyRow& later = *table.row(j);
            if (later.frequencyMHz != r.frequencyMHz) continue;
            std::vector<std::size_t> equalCells;
            bool differs = false;
            for (std::size_t p = 0; p < parameters.size() && p < r.parameters.size() && p < later.parameters.size(); ++p) {
                if (!Distinguishes(parameters[p])) continue;
                if (r.parameters[p].text() == later.parameters[p].text())
                    equalCells.push_back(kFirstParameterCell + p);
                else
                    differs = true;
            }
            if (differs) continue;
            // Marks of a duplicate stay, also when a later comparison of the
            // same row finds a difference: the user must see every duplicate.
            Mark(later, kFrequencyCell);
            for (std::size_t cell : equalCells) Mark(later, cell);
            ok = 0;
        }
    }
    return ok;
}

int FrequencyCheck_Run(FrequencyTable& table, std::string& message) {
    message.clear();
    table.restripe();
    if (!FrequencyCheck_Descriptions(table)) {
        message = kFreqMessageDescriptions;
        return 0;
    }
    if (!FrequencyCheck_KFactors(table, message)) return 0;
    if (!FrequencyCheck_Channels(table)) {
        message = kFreqMessageChannels;
        return 0;
    }
    return 1;
}
