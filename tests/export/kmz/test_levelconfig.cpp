#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "export/kmz/levelconfig.h"

namespace {

KmzLevelFileFacts File(int unit, double impedance = 50.0, double kFactor = 0.0, bool contained = false) {
    KmzLevelFileFacts f;
    f.hasLevel = true;
    f.recordedUnit = unit;
    f.inputImpedance = impedance;
    f.kFactor = kFactor;
    f.kFactorText = kFactor != 0.0 ? "10.00" : "";
    f.kFactorContained = contained;
    return f;
}

KmzLevelFileFacts NoLevel() {
    KmzLevelFileFacts f;
    f.hasLevel = false;
    return f;
}

struct OffsetCase {
    const char* story;
    int commonUnit;
    KmzLevelFileFacts file;
    KmzLevelManualInput manual;
    double expected;
};

TEST(KmzLevelOffsets, EveryRecordedUnitToEveryCommonUnit) {
    const OffsetCase cases[] = {
        {"dBm at 75 Ohm shown as dBuV", kKmzUnitDbuV, File(kKmzUnitDbm, 75.0), {}, 108.75},
        {"dBm at 75 Ohm stays dBm", kKmzUnitDbm, File(kKmzUnitDbm, 75.0), {}, 0.0},
        {"dBm at 50 Ohm shown as dBuV", kKmzUnitDbuV, File(kKmzUnitDbm, 50.0), {}, 106.98},
        {"dBm at 50 Ohm shown as dBmV", kKmzUnitDbmV, File(kKmzUnitDbm, 50.0), {}, 46.98},
        {"dBmV at 75 Ohm shown as dBm", kKmzUnitDbm, File(kKmzUnitDbmV, 75.0), {}, 60.0 - 108.75},
        {"dBuV shown as dBmV", kKmzUnitDbmV, File(kKmzUnitDbuV), {}, -60.0},
        {"newer dBuV/m file uses its own K-factor", kKmzUnitFieldStrength, File(kKmzUnitFieldStrength, 50, 10.0), {}, 10.0},
        {"newer dBuV/m file with a manual K-factor", kKmzUnitFieldStrength, File(kKmzUnitFieldStrength, 50, 10.0),
         {12.5, {}}, 12.5},
        {"old dBuV/m file already holds its K-factor", kKmzUnitFieldStrength, File(kKmzUnitFieldStrength, 50, 10.0, true),
         {}, 0.0},
        {"old dBuV/m file gets a manual K-factor in place of its own", kKmzUnitFieldStrength,
         File(kKmzUnitFieldStrength, 50, 10.0, true), {4.0, {}}, -6.0},
        {"old dBuV/m file shown as dBuV loses its K-factor", kKmzUnitDbuV, File(kKmzUnitFieldStrength, 50, 10.0, true),
         {}, -10.0},
        {"newer dBuV/m file shown as dBuV", kKmzUnitDbuV, File(kKmzUnitFieldStrength, 50, 10.0), {}, 0.0},
        {"dBm at 75 Ohm to field strength with manual K", kKmzUnitFieldStrength, File(kKmzUnitDbm, 75.0), {5.0, {}},
         113.75},
        {"manual offset adds to the conversion", kKmzUnitDbm, File(kKmzUnitDbmV, 50.0), {{}, -3.0}, 60.0 - 106.98 - 3.0},
        {"manual K-factor is ignored outside field strength", kKmzUnitDbuV, File(kKmzUnitDbuV), {99.0, 1.0}, 1.0},
    };
    for (const OffsetCase& c : cases) {
        std::vector<KmzLevelSettings> settings;
        ASSERT_TRUE(KmzLevel_ComputeOffsets(c.commonUnit, {c.file}, {c.manual}, settings)) << c.story;
        ASSERT_EQ(settings.size(), 1u);
        EXPECT_NEAR(settings[0].levelOffset, c.expected, 1e-9) << c.story;
    }
}

TEST(KmzLevelOffsets, ManualFlagsAndValuesAreStored) {
    std::vector<KmzLevelSettings> settings;
    ASSERT_TRUE(KmzLevel_ComputeOffsets(kKmzUnitFieldStrength,
                                        {File(kKmzUnitFieldStrength, 50, 10.0), File(kKmzUnitDbuV)},
                                        {{{}, 2.0}, {7.0, {}}}, settings));
    EXPECT_FALSE(settings[0].manualKFactorUsed);
    EXPECT_TRUE(settings[0].manualOffsetUsed);
    EXPECT_EQ(settings[0].manualOffset, 2.0);
    EXPECT_EQ(settings[0].levelOffset, 12.0);
    EXPECT_TRUE(settings[1].manualKFactorUsed);
    EXPECT_EQ(settings[1].manualKFactor, 7.0);
    EXPECT_FALSE(settings[1].manualOffsetUsed);
    EXPECT_EQ(settings[1].levelOffset, 7.0);
}

TEST(KmzLevelOffsets, MissingKFactorNamesTheEntryAndChangesNothing) {
    // Entry 2 has no level channel and is not checked; entry 3 needs a K-factor.
    const std::vector<KmzLevelFileFacts> files = {File(kKmzUnitFieldStrength, 50, 10.0), NoLevel(), File(kKmzUnitDbm)};
    std::vector<KmzLevelSettings> settings(3);
    settings[0].levelOffset = 42.0;
    KmzLevelError error;
    EXPECT_FALSE(KmzLevel_ComputeOffsets(kKmzUnitFieldStrength, files, {}, settings, &error));
    EXPECT_EQ(error.entry, 3);
    EXPECT_EQ(error.message, "The selected level unit requires a manual k-factor assignment for entry #3.");
    EXPECT_EQ(settings[0].levelOffset, 42.0);

    // With the K-factor given, the same list passes.
    EXPECT_TRUE(KmzLevel_ComputeOffsets(kKmzUnitFieldStrength, files, {{}, {}, {{0.0}, {}}}, settings, &error));
    EXPECT_NEAR(settings[2].levelOffset, 106.98, 1e-9);
}

TEST(KmzLevelOffsets, FileWithoutLevelChannelKeepsItsSettings) {
    std::vector<KmzLevelSettings> settings(1);
    settings[0] = {true, 3.0, true, 4.0, 5.0};
    ASSERT_TRUE(KmzLevel_ComputeOffsets(kKmzUnitFieldStrength, {NoLevel()}, {{1.0, 1.0}}, settings));
    EXPECT_EQ(settings[0].levelOffset, 5.0);
    EXPECT_EQ(settings[0].manualKFactor, 3.0);
}

TEST(KmzLevelOffsets, NonFiniteManualNumbersCountAsZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<KmzLevelSettings> settings;
    ASSERT_TRUE(KmzLevel_ComputeOffsets(kKmzUnitFieldStrength, {File(kKmzUnitDbuV)},
                                        {{nan, std::numeric_limits<double>::infinity()}}, settings));
    EXPECT_EQ(settings[0].levelOffset, 0.0);
}

TEST(KmzLevelDefaults, DefaultUnitFollowsTheFiles) {
    EXPECT_EQ(KmzLevel_DefaultUnit({NoLevel(), File(kKmzUnitDbm), File(kKmzUnitDbuV)}, kKmzUnitDbmV), kKmzUnitDbm);
    EXPECT_EQ(KmzLevel_DefaultUnit({File(kKmzUnitDbm), File(kKmzUnitFieldStrength)}, kKmzUnitDbmV),
              kKmzUnitFieldStrength);
    EXPECT_EQ(KmzLevel_DefaultUnit({NoLevel(), NoLevel()}, kKmzUnitDbmV), kKmzUnitDbmV);
    EXPECT_EQ(KmzLevel_DefaultUnit({}, kKmzUnitDbuV), kKmzUnitDbuV);
    EXPECT_EQ(KmzLevel_DefaultUnit({File(-1)}, kKmzUnitDbuV), kKmzUnitDbuV);
}

TEST(KmzLevelDefaults, UnitNamesAndTypedUnits) {
    EXPECT_STREQ(KmzLevel_ChannelName(kKmzUnitFieldStrength), "Level [dB\xB5V/m]");
    EXPECT_STREQ(KmzLevel_ChannelName(kKmzUnitDbuV), "Level [dB\xB5V]");
    EXPECT_EQ(KmzLevel_ChannelName(4), nullptr);
    EXPECT_EQ(KmzLevel_ParseUnit("dBuV/m"), kKmzUnitFieldStrength);
    EXPECT_EQ(KmzLevel_ParseUnit("dBm"), kKmzUnitDbm);
    EXPECT_EQ(KmzLevel_ParseUnit("dBmV"), kKmzUnitDbmV);
    EXPECT_EQ(KmzLevel_ParseUnit("dB\xB5V"), kKmzUnitDbuV);
    EXPECT_EQ(KmzLevel_ParseUnit("W"), -1);
    EXPECT_EQ(KmzLevel_ParseUnit("dBxV"), -1);
}

TEST(KmzLevelCells, PlainDecimalConversion) {
    const std::pair<const char*, double> numbers[] = {
        {"12.5", 12.5}, {" -3 ", -3.0}, {"+4", 4.0},   {"3dB", 3.0},  {"-1.5e1x", -15.0}, {"1,5", 1.0},
        {".5", 0.5},    {"abc", 0.0},   {"--5", 0.0},  {"nan", 0.0},  {"inf", 0.0},       {"1e999", 0.0},
    };
    for (auto [text, value] : numbers) {
        auto parsed = KmzLevel_ParseCell(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(*parsed, value) << text;
    }
    EXPECT_FALSE(KmzLevel_ParseCell("").has_value());
    EXPECT_FALSE(KmzLevel_ParseCell("   ").has_value());
}

// Records the page's calls and holds its cells.
class FakeLevelTable : public KmzLevelTableView {
public:
    void deleteRowsBelowHeader() override {
        ++deletes;
        rows = 0;
        cells.clear();
    }
    void appendRow(const std::vector<KmzLevelCell>& c) override {
        ++rows;
        for (int col = 1; col <= static_cast<int>(c.size()); ++col) cells[{rows + 1, col}] = c[col - 1];
    }
    void setCell(int row, int column, const KmzLevelCell& cell) override { cells[{row, column}] = cell; }
    std::string cellText(int row, int column) override { return cells[{row, column}].text; }
    void setCellBackground(int row, int column, std::uint32_t colour) override {
        cells[{row, column}].background = colour;
    }
    int commonUnit() override { return unit; }
    void setCommonUnit(int u) override { unit = u; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void startEditing(int row, int column) override { editing.push_back({row, column}); }
    void setActiveCell(int row, int column) override { active = {row, column}; }

    KmzLevelCell& at(int row, int column) { return cells[{row, column}]; }

    int deletes = 0;
    int rows = 0;
    int unit = kKmzUnitDbmV;
    std::map<std::pair<int, int>, KmzLevelCell> cells;
    std::vector<std::string> messages;
    std::vector<std::pair<int, int>> editing;
    std::pair<int, int> active{0, 0};
};

std::vector<KmzLevelFileFacts> PageFiles() {
    KmzLevelFileFacts a = File(kKmzUnitDbm, 75.0);
    a.description = "North loop";
    a.created = "06.12.2024 10:00:00";
    a.type = "ETL";
    a.input = "75";
    KmzLevelFileFacts b = File(kKmzUnitFieldStrength, 50.0, 10.0);
    b.description = "South loop";
    return {a, b, NoLevel()};
}

TEST(KmzLevelPage, FillShowsOneRowPerFileAndTheDefaultUnit) {
    FakeLevelTable view;
    view.rows = 9;
    fillLevelTable(view, PageFiles());
    EXPECT_EQ(view.deletes, 1);
    EXPECT_EQ(view.rows, 3);
    EXPECT_EQ(view.unit, kKmzUnitFieldStrength);  // a later dBuV/m file wins over the first file's dBm
    EXPECT_EQ(view.at(2, kKmzColDescription).text, "North loop");
    EXPECT_EQ(view.at(2, kKmzColInput).text, "75");
    EXPECT_EQ(view.at(2, kKmzColKFactor).text, kKmzNoneText);
    EXPECT_TRUE(view.at(2, kKmzColKFactor).centred);
    EXPECT_EQ(view.at(3, kKmzColKFactor).text, "10.00");
    EXPECT_FALSE(view.at(3, kKmzColKFactor).editable);
    // File rows start on table row 2: grey, white, grey.
    EXPECT_EQ(view.at(2, kKmzColCreated).background, 0xE6E6E6u);
    EXPECT_EQ(view.at(3, kKmzColCreated).background, 0xFFFFFFu);
    EXPECT_EQ(view.at(4, kKmzColCreated).background, 0xE6E6E6u);
    for (int row = 2; row <= 4; ++row) {
        EXPECT_TRUE(view.at(row, kKmzColManualKFactor).editable);
        EXPECT_EQ(view.at(row, kKmzColManualKFactor).text, "");
        EXPECT_TRUE(view.at(row, kKmzColManualOffset).editable);
    }
}

TEST(KmzLevelPage, LeavingFieldStrengthLocksTheKFactorColumn) {
    FakeLevelTable view;
    fillLevelTable(view, PageFiles());
    view.at(2, kKmzColManualKFactor).text = "5";
    view.unit = kKmzUnitDbuV;
    updateUnitColumn(view, 3);
    for (int row = 2; row <= 4; ++row) {
        const KmzLevelCell& cell = view.at(row, kKmzColManualKFactor);
        EXPECT_FALSE(cell.editable) << row;
        EXPECT_TRUE(cell.centred) << row;
        EXPECT_EQ(cell.text, kKmzNoneText) << row;
        EXPECT_EQ(cell.background, KmzLevel_RowColour(row)) << row;
    }
    view.unit = kKmzUnitFieldStrength;
    updateUnitColumn(view, 3);
    EXPECT_TRUE(view.at(2, kKmzColManualKFactor).editable);
    EXPECT_EQ(view.at(2, kKmzColManualKFactor).text, "");
}

TEST(KmzLevelPage, MissingKFactorHighlightsTheCellUntilItIsGiven) {
    FakeLevelTable view;
    const auto files = PageFiles();
    fillLevelTable(view, files);
    std::vector<KmzLevelSettings> settings(files.size());

    EXPECT_FALSE(computeLevelOffsets(view, files, settings));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], "The selected level unit requires a manual k-factor assignment for entry #1.");
    EXPECT_EQ(view.at(2, kKmzColManualKFactor).background, 0xE6E696u);  // even table row

    view.at(2, kKmzColManualKFactor).text = "3.5";
    view.at(3, kKmzColManualOffset).text = "-2";
    view.at(4, kKmzColManualKFactor).text = "garbage";  // no level channel: never read
    EXPECT_TRUE(computeLevelOffsets(view, files, settings));
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.at(2, kKmzColManualKFactor).background, 0xE6E6E6u);
    EXPECT_NEAR(settings[0].levelOffset, 108.75 + 3.5, 1e-9);
    EXPECT_NEAR(settings[1].levelOffset, 10.0 - 2.0, 1e-9);
    EXPECT_FALSE(settings[2].manualKFactorUsed);
}

TEST(KmzLevelPage, HighlightOnAnOddRow) {
    FakeLevelTable view;
    const std::vector<KmzLevelFileFacts> files = {File(kKmzUnitFieldStrength), File(kKmzUnitDbuV)};
    fillLevelTable(view, files);
    std::vector<KmzLevelSettings> settings;
    EXPECT_FALSE(computeLevelOffsets(view, files, settings));
    EXPECT_EQ(view.at(3, kKmzColManualKFactor).background, 0xFFFF96u);
    EXPECT_EQ(view.at(2, kKmzColManualKFactor).background, 0xE6E6E6u);
}

TEST(KmzLevelPage, EditingStartsOnEditableCellsAndReturnsToTheHeader) {
    FakeLevelTable view;
    fillLevelTable(view, PageFiles());  // field strength
    KmzLevel_TableActiveCellMoved(view, 2, kKmzColManualKFactor);
    KmzLevel_TableActiveCellMoved(view, 3, kKmzColManualOffset);
    KmzLevel_TableActiveCellMoved(view, 3, kKmzColKFactor);
    KmzLevel_TableActiveCellMoved(view, 1, kKmzColManualOffset);  // header row
    view.unit = kKmzUnitDbm;
    KmzLevel_TableActiveCellMoved(view, 2, kKmzColManualKFactor);
    const std::vector<std::pair<int, int>> expected = {{2, kKmzColManualKFactor}, {3, kKmzColManualOffset}};
    EXPECT_EQ(view.editing, expected);
    KmzLevel_TableEditEnded(view);
    EXPECT_EQ(view.active, std::make_pair(1, 1));
}

}  // namespace
