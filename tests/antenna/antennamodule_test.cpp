#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "antenna/antenna.h"
#include "platform/paths.h"
#include "support/testsupport.h"

namespace {

class FakeTableView : public AntennaTableView {
public:
    void setRows(const std::vector<AntennaTableRow>& rows) override {
        calls.push_back("setRows " + std::to_string(rows.size()));
        this->rows = rows;
    }
    void selectRow(int position) override { calls.push_back("selectRow " + std::to_string(position)); }
    std::vector<std::string> calls;
    std::vector<AntennaTableRow> rows;
};

class FakeRingView : public AntennaRingView {
public:
    void setItems(const std::vector<std::string>& items) override { this->items = items; }
    std::vector<std::string> items;
};

// Leaves the process-wide list empty for the next test.
class AntennaModule : public ::testing::Test {
protected:
    void TearDown() override {
        Antenna_Close();
        Platform_SetDataDirectory("");
    }
    TempDir dir;
};

void WriteTwoAntennas(const std::string& directory) {
    AntennaList list;
    ASSERT_EQ(list.addAntenna("wide"), AntennaEdit::Ok);
    ASSERT_EQ(list.addAntenna("Band III"), AntennaEdit::Ok);
    ASSERT_EQ(list.addPoint(1, {100.0, 10.0}), AntennaEdit::Ok);
    ASSERT_EQ(list.addPoint(1, {200.0, 0.0}), AntennaEdit::Ok);
    ASSERT_TRUE(AntennaList_Save(list, directory + "/antennas.ini"));
}

}  // namespace

TEST_F(AntennaModule, InitLoadsShowsAndSelectsTheFirst) {
    WriteTwoAntennas(dir.path());
    FakeTableView table;
    Antenna_Init(&table, dir.path());
    EXPECT_EQ(table.calls, (std::vector<std::string>{"setRows 2", "selectRow 1"}));
    EXPECT_EQ(table.rows[0].name, "Band III");
    EXPECT_EQ(table.rows[1].firstFrequency, "---");
    EXPECT_EQ(Antenna_Count(), 2);

    FakeRingView ring;
    Antenna_FillRing(ring);
    EXPECT_EQ(ring.items, (std::vector<std::string>{"Band III", "wide", "----------Edit----------"}));

    EXPECT_EQ(Antenna_KFactorAt(2, 150.0), 0.0);  // no points
    EXPECT_NEAR(Antenna_KFactorAt(1, 150.0), 5.0, 1e-12);
    EXPECT_EQ(Antenna_KFactorAt(0, 150.0), 0.0);
    EXPECT_EQ(Antenna_KFactorAt(-3, 150.0), 0.0);
    EXPECT_EQ(Antenna_KFactorAt(3, 150.0), 0.0);

    Antenna_Close();
    EXPECT_EQ(Antenna_Count(), 0);
    EXPECT_EQ(Antenna_KFactorAt(1, 150.0), 0.0);
}

TEST_F(AntennaModule, WithoutFileTheListStaysEmpty) {
    FakeTableView table;
    Antenna_Init(&table, dir.path());
    EXPECT_EQ(table.calls, (std::vector<std::string>{"setRows 0"}));
    EXPECT_FALSE(Antenna_Load(dir.path()));
    EXPECT_EQ(Antenna_Count(), 0);
    FakeRingView ring;
    Antenna_FillRing(ring);
    EXPECT_EQ(ring.items, (std::vector<std::string>{"----------Edit----------"}));
}

TEST_F(AntennaModule, EditsAreSavedToTheDataDirectory) {
    Platform_SetDataDirectory(dir.path());
    Antenna_Init(nullptr);
    int position = 0;
    EXPECT_EQ(Antenna_Update([&](AntennaList& list) { return list.addAntenna("Horn", &position); }),
              AntennaEdit::Ok);
    EXPECT_EQ(Antenna_Update([](AntennaList& list) { return list.addPoint(1, {600.0, 22.0}); }), AntennaEdit::Ok);
    EXPECT_EQ(Antenna_Update([](AntennaList& list) { return list.addAntenna("Horn"); }), AntennaEdit::NameExists);
    ASSERT_TRUE(Antenna_Save());
    ASSERT_TRUE(FileExists(dir.file("antennas.ini")));

    Antenna_Close();
    FakeTableView table;
    Antenna_Init(&table);
    AntennaType horn;
    ASSERT_TRUE(Antenna_Get(1, horn));
    EXPECT_STREQ(horn.name, "Horn");
    ASSERT_EQ(horn.kFactors.size(), 1u);
    EXPECT_EQ(horn.kFactors[0].kFactor, 22.0);
    EXPECT_FALSE(Antenna_Get(2, horn));

    // Showing the table after an edit keeps the editor's selection alone.
    table.calls.clear();
    Antenna_Update([](AntennaList& list) { return list.addAntenna("Dipole"); });
    Antenna_ShowTable();
    EXPECT_EQ(table.calls, (std::vector<std::string>{"setRows 2"}));
}
