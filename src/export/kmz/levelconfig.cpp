#include "export/kmz/levelconfig.h"

#include <cmath>
#include <cstring>

#include "antenna/levelunit.h"
#include "platform/text.h"

namespace {

// dBm to dBuV: 10 log10(R) + 90 for the input impedance R.
constexpr double kDbmToDbuV50 = 106.98;
constexpr double kDbmToDbuV75 = 108.75;
constexpr double kDbmVToDbuV = 60.0;

constexpr const char* kUnitNames[kKmzUnitCount] = {"dB\xB5V/m", "dBm", "dBmV", "dB\xB5V"};
constexpr const char* kChannelNames[kKmzUnitCount] = {"Level [dB\xB5V/m]", "Level [dBm]", "Level [dBmV]",
                                                      "Level [dB\xB5V]"};

double DbmToDbuV(double impedance) { return impedance == 50.0 ? kDbmToDbuV50 : kDbmToDbuV75; }

// Offset that brings the stored levels of a file to input level in dBuV.
double ToInputDbuV(const KmzLevelFileFacts& file) {
    switch (file.recordedUnit) {
        case kKmzUnitFieldStrength: return file.kFactorContained ? -file.kFactor : 0.0;
        case kKmzUnitDbm: return DbmToDbuV(file.inputImpedance);
        case kKmzUnitDbmV: return kDbmVToDbuV;
        default: return 0.0;
    }
}

double FiniteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

}  // namespace

const char* KmzLevel_UnitName(int unit) {
    return unit >= 0 && unit < kKmzUnitCount ? kUnitNames[unit] : nullptr;
}

const char* KmzLevel_ChannelName(int unit) {
    return unit >= 0 && unit < kKmzUnitCount ? kChannelNames[unit] : nullptr;
}

int KmzLevel_ParseUnit(std::string_view text) {
    const LevelUnit* unit = LevelUnit_Parse(text);
    if (!unit) return -1;
    for (int i = 0; i < kKmzUnitCount; ++i)
        if (std::strcmp(unit->name, kUnitNames[i]) == 0) return i;
    return -1;
}

double KmzLevel_OffsetToDbuV(int unit, double inputImpedance, double kFactor) {
    switch (unit) {
        case kKmzUnitFieldStrength: return -kFactor;
        case kKmzUnitDbm: return DbmToDbuV(inputImpedance);
        case kKmzUnitDbmV: return kDbmVToDbuV;
        default: return 0.0;
    }
}

int KmzLevel_DefaultUnit(const std::vector<KmzLevelFileFacts>& files, int current) {
    bool first = true;
    int unit = current;
    for (const KmzLevelFileFacts& file : files) {
        if (!file.hasLevel) continue;
        if (first) {
            unit = file.recordedUnit;
            first = false;
        } else if (file.recordedUnit == kKmzUnitFieldStrength) {
            unit = kKmzUnitFieldStrength;
        }
    }
    // A level channel in a unit outside the four (V, W) cannot set the ring.
    return unit >= 0 && unit < kKmzUnitCount ? unit : current;
}

bool KmzLevel_ComputeOffsets(int commonUnit, const std::vector<KmzLevelFileFacts>& files,
                             const std::vector<KmzLevelManualInput>& manual, std::vector<KmzLevelSettings>& settings,
                             KmzLevelError* error) {
    std::vector<KmzLevelSettings> result = settings;
    result.resize(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const KmzLevelFileFacts& file = files[i];
        if (!file.hasLevel) continue;
        const KmzLevelManualInput in = i < manual.size() ? manual[i] : KmzLevelManualInput{};
        KmzLevelSettings s;

        if (commonUnit == kKmzUnitFieldStrength) {
            if (in.kFactor) {
                s.manualKFactorUsed = true;
                s.manualKFactor = FiniteOrZero(*in.kFactor);
            } else if (file.recordedUnit != kKmzUnitFieldStrength) {
                const int entry = static_cast<int>(i) + 1;
                if (error) *error = {entry, Text_Format(kKmzMissingKFactorMessage, entry)};
                return false;
            }
        }

        double offset = ToInputDbuV(file);
        switch (commonUnit) {
            case kKmzUnitFieldStrength: offset += s.manualKFactorUsed ? s.manualKFactor : file.kFactor; break;
            case kKmzUnitDbm: offset -= DbmToDbuV(file.inputImpedance); break;
            case kKmzUnitDbmV: offset -= kDbmVToDbuV; break;
            default: break;
        }
        if (in.offset) {
            s.manualOffsetUsed = true;
            s.manualOffset = FiniteOrZero(*in.offset);
            offset += s.manualOffset;
        }
        s.levelOffset = offset;
        result[i] = s;
    }
    settings = std::move(result);
    return true;
}

std::optional<double> KmzLevel_ParseCell(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    // Like a plain decimal conversion: the longest leading number counts, the rest is ignored.
    std::size_t n = 0;
    while (n < text.size() && std::strchr("0123456789+-.eE", text[n]) != nullptr) ++n;
    for (; n > 0; --n) {
        double v = 0.0;
        if (Text_ParseDouble(text.substr(0, n), v)) return FiniteOrZero(v);
    }
    return 0.0;
}

std::uint32_t KmzLevel_RowColour(int tableRow) { return tableRow % 2 ? kKmzRowWhite : kKmzRowGrey; }

std::uint32_t KmzLevel_HighlightColour(int tableRow) { return tableRow % 2 ? kKmzHighlightOdd : kKmzHighlightEven; }

bool KmzLevel_IsEditableCell(int commonUnit, int tableRow, int column) {
    if (tableRow < 2) return false;
    return column == kKmzColManualOffset || (column == kKmzColManualKFactor && commonUnit == kKmzUnitFieldStrength);
}

void fillLevelTable(KmzLevelTableView& view, const std::vector<KmzLevelFileFacts>& files) {
    view.deleteRowsBelowHeader();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const KmzLevelFileFacts& file = files[i];
        const std::uint32_t bg = KmzLevel_RowColour(KmzLevel_TableRow(static_cast<int>(i) + 1));
        std::vector<KmzLevelCell> cells(kKmzLevelColumns, KmzLevelCell{{}, false, false, bg});
        cells[kKmzColDescription - 1].text = file.description;
        cells[kKmzColCreated - 1].text = file.created;
        cells[kKmzColType - 1].text = file.type;
        cells[kKmzColInput - 1].text = file.input;
        if (file.kFactorText.empty()) {
            cells[kKmzColKFactor - 1].text = kKmzNoneText;
            cells[kKmzColKFactor - 1].centred = true;
        } else {
            cells[kKmzColKFactor - 1].text = file.kFactorText;
        }
        cells[kKmzColManualKFactor - 1].editable = true;
        cells[kKmzColManualOffset - 1].editable = true;
        view.appendRow(cells);
    }
    view.setCommonUnit(KmzLevel_DefaultUnit(files, view.commonUnit()));
    updateUnitColumn(view, static_cast<int>(files.size()));
}

void updateUnitColumn(KmzLevelTableView& view, int rowCount) {
    const bool fieldStrength = view.commonUnit() == kKmzUnitFieldStrength;
    for (int entry = 1; entry <= rowCount; ++entry) {
        const int row = KmzLevel_TableRow(entry);
        KmzLevelCell cell{{}, true, false, KmzLevel_RowColour(row)};
        if (!fieldStrength) cell = {kKmzNoneText, false, true, KmzLevel_RowColour(row)};
        view.setCell(row, kKmzColManualKFactor, cell);
    }
}

bool computeLevelOffsets(KmzLevelTableView& view, const std::vector<KmzLevelFileFacts>& files,
                         std::vector<KmzLevelSettings>& settings) {
    const int unit = view.commonUnit();
    std::vector<KmzLevelManualInput> manual(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i].hasLevel) continue;
        const int row = KmzLevel_TableRow(static_cast<int>(i) + 1);
        if (unit == kKmzUnitFieldStrength) manual[i].kFactor = KmzLevel_ParseCell(view.cellText(row, kKmzColManualKFactor));
        manual[i].offset = KmzLevel_ParseCell(view.cellText(row, kKmzColManualOffset));
    }

    KmzLevelError error;
    const bool ok = KmzLevel_ComputeOffsets(unit, files, manual, settings, &error);
    // Cells of the files checked before a failure (all on success) lose an earlier highlight.
    const std::size_t checked = ok ? files.size() : static_cast<std::size_t>(error.entry - 1);
    for (std::size_t i = 0; i < checked; ++i) {
        if (!files[i].hasLevel) continue;
        const int row = KmzLevel_TableRow(static_cast<int>(i) + 1);
        view.setCellBackground(row, kKmzColManualKFactor, KmzLevel_RowColour(row));
    }
    if (!ok) {
        const int row = KmzLevel_TableRow(error.entry);
        view.setCellBackground(row, kKmzColManualKFactor, KmzLevel_HighlightColour(row));
        view.showMessage(error.message);
    }
    return ok;
}

void KmzLevel_TableActiveCellMoved(KmzLevelTableView& view, int tableRow, int column) {
    if (KmzLevel_IsEditableCell(view.commonUnit(), tableRow, column)) view.startEditing(tableRow, column);
}

void KmzLevel_TableEditEnded(KmzLevelTableView& view) { view.setActiveCell(1, 1); }
