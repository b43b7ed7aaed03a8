#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

#include "antenna/antenna.h"
#include "drivetest/frequencylist.h"
#include "drivetest/signalsfile.h"
#include "support/testsupport.h"

namespace {

// Mirrors both tables from the calls it gets, so that the tests see what a
// page would show; a call naming a row that does not exist fails the test.
class FakeFrequencyView : public FrequencyPageView {
public:
    void frequencyColumns(const std::vector<FrequencyColumnView>& c) override {
        columns = c;
        rows.clear();
    }
    void frequencyRowInserted(int row, const FrequencyRowView& cells) override { Insert(rows, row, cells); }
    void frequencyRowDeleted(int row) override { Erase(rows, row); }
    void frequencyRowChanged(int row, const FrequencyRowView& cells) override {
        if (Valid(rows, row, 0)) rows[static_cast<std::size_t>(row - 2)] = cells;
        // A view may ask the module from within a call: the module holds no lock then.
        blocksSeen = DriveTest_FrequencyBlockCount();
    }
    void frequencyFocus(int row, int column) override { focus = {row, column}; }
    void recentColumns(const std::vector<FrequencyColumnView>& c, int width) override {
        recentTitles.clear();
        for (const auto& column : c) recentTitles.push_back(column.title);
        dragWidth = width;
        recent.clear();
    }
    void recentRowInserted(int row, const FrequencyRowView& cells) override { Insert(recent, row, cells); }
    void recentRowDeleted(int row) override { Erase(recent, row); }
    void recentRowChanged(int row, const FrequencyRowView& cells) override {
        if (Valid(recent, row, 0)) recent[static_cast<std::size_t>(row - 2)] = cells;
    }
    void helpText(const std::string& text) override { help.push_back(text); }
    void dragStarted(const FrequencyRowView& entry) override { dragging = entry.cells.at(2).text; }
    void dragEnded() override { dragging = "(ended)"; }
    void message(const std::string& text) override { messages.push_back(text); }

    std::string text(int row, int column) const { return cell(row, column).text; }
    const FrequencyCellView& cell(int row, int column) const {
        return rows.at(static_cast<std::size_t>(row - 2)).cells.at(static_cast<std::size_t>(column - 1));
    }
    std::string recentText(int row, int column) const {
        return recent.at(static_cast<std::size_t>(row - 2)).cells.at(static_cast<std::size_t>(column - 1)).text;
    }
    bool yellow(int row, int column) const { return cell(row, column).background.b == 150; }

    std::vector<FrequencyColumnView> columns;
    std::vector<FrequencyRowView> rows, recent;
    std::vector<std::string> recentTitles, help, messages;
    std::pair<int, int> focus{0, 0};
    int dragWidth = 0;
    int blocksSeen = -1;
    std::string dragging;

private:
    static bool Valid(const std::vector<FrequencyRowView>& table, int row, int extra) {
        const bool ok = row >= 2 && row <= static_cast<int>(table.size()) + 1 + extra;
        if (!ok) ADD_FAILURE() << "view call for row " << row << " of a table of " << table.size() + 1 << " rows";
        return ok;
    }
    static void Insert(std::vector<FrequencyRowView>& table, int row, const FrequencyRowView& cells) {
        if (Valid(table, row, 1)) table.insert(table.begin() + (row - 2), cells);
    }
    static void Erase(std::vector<FrequencyRowView>& table, int row) {
        if (Valid(table, row, 0)) table.erase(table.begin() + (row - 2));
    }
};

const AnalyzerFamily& Alvra() {
    ReceiverInfo_Init();
    return ReceiverInfo_Families().front();
}

AnalyzerSlot MakeSlot(const char* standard, const char* serial, int antennaIndex = 0) {
    AnalyzerSlot slot;
    ReceiverInfo_CopyFamily(slot.family, Alvra());
    const BroadcastStandard* s = ReceiverInfo_FindStandard(slot.family, standard);
    EXPECT_NE(s, nullptr) << standard;
    slot.standardIndex = static_cast<int>(s - slot.family.standards.data()) + 1;
    std::snprintf(slot.serialNumber, sizeof slot.serialNumber, "%s", serial);
    slot.antennaIndex = antennaIndex;
    return slot;
}

std::string Label(const AnalyzerSlot& slot) { return std::string("Korvane Alvra, ") + slot.serialNumber; }

class FrequencyPage : public ::testing::Test {
protected:
    void SetUp() override { DriveTest_FrequencyInit(&view, dir.path()); }
    void TearDown() override {
        DriveTest_FrequencyClose();
        Antenna_Close();
    }

    // The engagement as the wizard does it: one block of one row per analyzer.
    void Engage(const char* standard, std::vector<int> antennas = {0}) {
        slots.clear();
        for (std::size_t k = 0; k < antennas.size(); ++k)
            slots.push_back(MakeSlot(standard, ("10000" + std::to_string(k)).c_str(), antennas[k]));
        DriveTest_FrequencyReset(slots[0].family, slots[0].family.standards[slots[0].standardIndex - 1]);
        for (std::size_t k = 0; k < slots.size(); ++k)
            DriveTest_AddFrequencyRow(static_cast<int>(k) + 2, Label(slots[k]), 1, &slots[k]);
    }
    void Set(int row, int column, const std::string& text) {
        EXPECT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, row, column, text), 1) << row << "/" << column;
    }
    void Press(int row) { onDtFreqTable(FreqTableEvent::ActiveCellChanged, row, 2); }
    // A row with description, frequency and the given parameter texts from column 5 on.
    void Fill(int row, const std::string& description, const std::string& mhz, std::vector<std::string> params = {}) {
        Set(row, 3, description);
        Set(row, 4, mhz);
        for (std::size_t p = 0; p < params.size(); ++p) Set(row, 5 + static_cast<int>(p), params[p]);
    }

    TempDir dir;
    FakeFrequencyView view;
    std::vector<AnalyzerSlot> slots;
};

}  // namespace

TEST_F(FrequencyPage, EngagementBuildsColumnsBlocksAndDefaults) {
    Engage("DVB-T2", {0, 0});
    ASSERT_EQ(view.columns.size(), 8u);
    EXPECT_EQ(view.columns[2].title, "Description");
    EXPECT_EQ(view.columns[3].title, "Frequency [MHz]");
    EXPECT_EQ(view.columns[7].title, "PLP ID");
    EXPECT_EQ(view.columns[7].width, 40);
    EXPECT_EQ(view.columns[1].help, "[+]\nAdd an entry.\n\n[x]\nDelete an entry.");
    EXPECT_EQ(view.recentTitles.size(), 8u);
    EXPECT_EQ(view.dragWidth, 212 + 61 + 71 + 81 + 41);

    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.text(2, 1), "Korvane Alvra, 100000");
    EXPECT_EQ(view.text(3, 1), "Korvane Alvra, 100001");
    EXPECT_EQ(view.text(2, 2), "[+]");
    EXPECT_EQ(view.text(2, 4), "500.000000");
    EXPECT_EQ(view.cell(2, 4).minimum, 0.5);
    EXPECT_EQ(view.cell(2, 4).maximum, 3000.0);
    EXPECT_EQ(view.text(2, 6), "8") << "a selection shows its first choice";
    EXPECT_EQ(view.cell(2, 6).choices.size(), 5u);
    EXPECT_EQ(view.text(2, 8), "0") << "a number shows its minimum";
    EXPECT_EQ(view.cell(2, 8).maximum, 255.0);
    EXPECT_EQ(view.cell(2, 1).background, (RowColour{255, 255, 255}));
    EXPECT_EQ(view.cell(3, 1).background, (RowColour{230, 230, 230}));

    EXPECT_EQ(DriveTest_FrequencyBlockCount(), 2);
    const auto block = DriveTest_FrequencyBlock(2);
    ASSERT_EQ(block.size(), 1u);
    EXPECT_EQ(block[0].frequencyMHz, 500.0);
    EXPECT_EQ(block[0].parameterValues, (std::vector<std::string>{"Present", "8", "Normal", "0"}));
    EXPECT_TRUE(DriveTest_FrequencyBlock(3).empty());

    // Help over the title cells only; the decorations clear it.
    onDtFreqTableDragDrop({FreqMouseEvent::Move, FreqPageArea::FrequencyTable, 1, 4});
    onDtFreqTableDragDrop({FreqMouseEvent::Move, FreqPageArea::FrequencyTable, 1, 4});
    onDtFreqTableDragDrop({FreqMouseEvent::Move, FreqPageArea::FrequencyTable, 2, 4});
    onDtFreqTableDragDrop({FreqMouseEvent::Move, FreqPageArea::FrequencyTable, 1, 1});
    onDtFreqBack();
    EXPECT_EQ(view.help, (std::vector<std::string>{"Center frequency of the desired signal.", "",
                                                   "Type and serial number of the available TV analyzers.", ""}));
}

TEST_F(FrequencyPage, AddAndDeleteButtonsKeepBlocksAndLabels) {
    Engage("DVB-T2", {0, 0});
    Fill(2, "first", "474", {"None", "7", "Inverse", "3"});
    Press(2);  // the add button of block 1's only row
    ASSERT_EQ(view.rows.size(), 3u);
    EXPECT_EQ(view.focus, std::make_pair(2, 1));
    EXPECT_EQ(view.text(2, 2), "[x]");
    EXPECT_EQ(view.text(3, 2), "[+]");
    EXPECT_EQ(view.text(3, 1), "");
    EXPECT_EQ(view.text(3, 3), "") << "a new row has no description";
    EXPECT_EQ(view.text(3, 4), "474.000000") << "frequency copied from the row above";
    EXPECT_EQ(view.text(3, 6), "8") << "a selection shows its first choice again";
    EXPECT_EQ(view.text(3, 8), "3") << "a number copies its value";
    EXPECT_EQ(view.cell(4, 1).background, (RowColour{255, 255, 255})) << "restriped: row 4 is even";
    EXPECT_EQ(view.text(4, 1), "Korvane Alvra, 100001");

    Press(3);  // add again at the end of block 1
    Set(3, 3, "second");
    Press(2);  // delete the first row of block 1
    ASSERT_EQ(view.rows.size(), 3u);
    EXPECT_EQ(view.text(2, 1), "Korvane Alvra, 100000") << "the block keeps its label";
    EXPECT_EQ(view.text(2, 3), "second");
    EXPECT_EQ(view.text(2, 2), "[x]");
    EXPECT_EQ(view.text(3, 2), "[+]");
    Press(2);  // delete again: the row moving up is now the block's last
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.text(2, 1), "Korvane Alvra, 100000");
    EXPECT_EQ(view.text(2, 2), "[+]");
    EXPECT_EQ(DriveTest_FrequencyBlockCount(), 2);
    EXPECT_EQ(DriveTest_FrequencyBlock(1).size(), 1u);

    Press(3);  // the last row of the table
    EXPECT_EQ(DriveTest_FrequencyBlock(2).size(), 2u);
    EXPECT_EQ(view.blocksSeen, 2);
}

TEST_F(FrequencyPage, CellEditsStayWithinTheirLimits) {
    Engage("DVB-T2");
    struct Case {
        int column;
        std::string typed;
        int taken;
        std::string shown;
    } cases[] = {
        {3, "ABCDEFGHIJKLMNOPQRSTU", 1, "ABCDEFGHIJKLMNOPQRST"},  // 21 characters: cut to 20
        {3, "", 1, ""},
        {4, "3500", 1, "3000.000000"},
        {4, "0.1", 1, "0.500000"},
        {4, "474.0000004", 1, "474.000000"},
        {4, "abc", 0, "474.000000"},
        {4, "nan", 0, "474.000000"},
        {6, "1.7", 1, "1.7"},
        {6, "9", 0, "1.7"},
        {8, "300", 1, "255"},
        {8, "-1", 1, "0"},
        {8, "x", 0, "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, 2, c.column, c.typed), c.taken) << c.typed;
        EXPECT_EQ(view.text(2, c.column), c.shown) << c.typed;
    }
    EXPECT_EQ(DriveTest_FrequencyBlock(1)[0].frequencyMHz, 474.0) << "kept to the 6 decimals shown";
    EXPECT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, 1, 3, "title"), 0);

    // Cells that enter edit mode at once: description, frequency, numbers.
    const std::vector<int> autoEdit = {0, 0, 1, 1, 0, 0, 0, 1};
    for (int column = 1; column <= 8; ++column)
        EXPECT_EQ(onDtFreqTable(FreqTableEvent::ActiveCellChanged, 2, column), column == 2 ? 0 : autoEdit[column - 1])
            << column;
}

TEST_F(FrequencyPage, DescriptionsMustBeValidAndUniqueOverAllAnalyzers) {
    const std::string refused =
        "The descriptions must be unique and consist of at least one character.\n"
        "Do not use the following characters: \\ / * ? \" < > | :";
    struct Case {
        std::string first, second;
        int ok;
    } cases[] = {{"Ch21", "Ch22", 1}, {"Ch21", "Ch21", 0}, {"", "Ch22", 0}, {"a/b", "Ch22", 0}, {"a;b=c", "Ch22", 1}};
    for (const auto& c : cases) {
        Engage("DVB-T / DVB-H", {0, 0});
        Fill(2, c.first, "474");
        Fill(3, c.second, "474");  // same frequency under another analyzer is no duplicate
        view.messages.clear();
        EXPECT_EQ(DriveTest_CheckFrequencies(), c.ok) << c.first << "|" << c.second;
        EXPECT_EQ(view.messages, c.ok ? std::vector<std::string>{} : std::vector<std::string>{refused});
        EXPECT_EQ(view.yellow(2, 3), !c.ok) << c.first;
        EXPECT_FALSE(view.yellow(2, 4));
    }
    Set(2, 3, "Ch22");
    EXPECT_EQ(DriveTest_CheckFrequencies(), 0);
    EXPECT_TRUE(view.yellow(2, 3) && view.yellow(3, 3)) << "both rows of a pair are marked";
    Set(2, 3, "fixed");
    EXPECT_EQ(DriveTest_CheckFrequencies(), 1);
    EXPECT_FALSE(view.yellow(2, 3)) << "the marks of the last check are cleared";
}

TEST_F(FrequencyPage, DuplicateChannelsOfOneAnalyzer) {
    struct Case {
        const char* standard;
        std::vector<std::vector<std::string>> rows;  // frequency, then parameters
        std::vector<int> duplicateRows;
    } cases[] = {
        // Differing only in bandwidth: the same channel.
        {"DVB-T / DVB-H", {{"474", "Present", "8"}, {"474", "Present", "7"}}, {3}},
        {"DVB-T / DVB-H", {{"474"}, {"482"}}, {}},
        // DVB-T2: PLP 0 and 1 of one frequency are two signals.
        {"DVB-T2", {{"474", "Present", "8", "Normal", "0"}, {"474", "Present", "8", "Normal", "1"}}, {}},
        {"DVB-T2", {{"474", "Present", "8", "Normal", "1"}, {"474", "None", "7", "Inverse", "1"}}, {3}},
        // A difference found later must not hide the duplicate found first.
        {"DVB-T2", {{"474", "Present", "8", "Normal", "0"}, {"474", "Present", "8", "Normal", "1"},
                    {"474", "Present", "8", "Normal", "0"}}, {4}},
    };
    for (const auto& c : cases) {
        Engage(c.standard);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            const int row = static_cast<int>(i) + 2;
            if (i > 0) Press(row - 1);
            Fill(row, "S" + std::to_string(i), c.rows[i][0], std::vector<std::string>(c.rows[i].begin() + 1, c.rows[i].end()));
        }
        view.messages.clear();
        EXPECT_EQ(DriveTest_CheckFrequencies(), c.duplicateRows.empty() ? 1 : 0) << c.standard;
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            const int row = static_cast<int>(i) + 2;
            const bool duplicate = std::find(c.duplicateRows.begin(), c.duplicateRows.end(), row) != c.duplicateRows.end();
            EXPECT_EQ(view.yellow(row, 4), duplicate) << c.standard << " row " << row;
        }
        if (!c.duplicateRows.empty()) {
            EXPECT_EQ(view.messages, (std::vector<std::string>{"Please enter unique channels for each TV analyzer."}));
            if (std::string(c.standard) == "DVB-T2") {
                EXPECT_TRUE(view.yellow(c.duplicateRows[0], 8)) << "the equal PLP ID";
            }
        }
    }
}

TEST_F(FrequencyPage, FrequenciesWithinTheAntennaKFactorInterval) {
    Antenna_Init(nullptr, dir.path());
    ASSERT_EQ(Antenna_Update([](AntennaList& list) {
                  list.addAntenna("Band IV");
                  list.addPoint(1, {470.0, 10.0});
                  list.addPoint(1, {790.0, 14.0});
                  list.addAntenna("Single");
                  return list.addPoint(2, {500.0, 10.0});
              }),
              AntennaEdit::Ok);
    struct Case {
        int antenna;
        std::string mhz;
        std::string message;
    } cases[] = {
        {1, "470", ""},
        {1, "790", ""},
        {0, "3000", ""},
        {1, "469.999999",
         "Korvane Alvra, 100001: The selected frequency 469.999999 MHz is not within the K-Factor interval\n"
         "of the assigned antenna type 'Band IV' (470.000000 MHz - 790.000000 MHz)."},
        {2, "500",
         "Korvane Alvra, 100001: The assigned antenna type 'Single'\n"
         "must at least provide 2 K-Factor entries (currently 1)."},
        {7, "500",
         "Korvane Alvra, 100001: The assigned antenna type ''\n"
         "must at least provide 2 K-Factor entries (currently 0)."},
    };
    for (const auto& c : cases) {
        Engage("DVB-T / DVB-H", {1, c.antenna});  // the second analyzer's block is checked with its own antenna
        Fill(2, "A", "600");
        Fill(3, "B", c.mhz);
        view.messages.clear();
        EXPECT_EQ(DriveTest_CheckFrequencies(), c.message.empty() ? 1 : 0) << c.mhz;
        EXPECT_EQ(view.messages, c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
        EXPECT_EQ(view.yellow(3, 4), c.message.find("selected frequency") != std::string::npos) << c.mhz;
    }

    // The antenna travels with the label when the block's first row is deleted.
    Engage("DVB-T / DVB-H", {0, 1});
    Fill(2, "A", "600");
    Fill(3, "B", "600");
    Press(3);
    Fill(4, "C", "800");
    Press(3);
    EXPECT_EQ(DriveTest_CheckFrequencies(), 0);
    EXPECT_TRUE(view.yellow(3, 4));
}

TEST_F(FrequencyPage, SavingMergesIntoTheSortedRecentList) {
    const std::string path = SignalsFile_Path(dir.path(), "q", "t");
    Engage("DVB-T / DVB-H");
    Fill(2, "B", "474");
    DriveTest_SaveFrequencies();
    Fill(2, "A", "482");
    Press(2);
    Set(3, 3, "A");  // the same description: the frequency decides
    Set(3, 4, "474");
    DriveTest_SaveFrequencies();
    const std::vector<RecentEntry> expected = {{"A", "0474.000000", "Present", "8", "Required"},
                                               {"A", "0482.000000", "Present", "8", "Required"},
                                               {"B", "0474.000000", "Present", "8", "Required"}};
    EXPECT_EQ(DriveTest_RecentEntries(), expected);
    ASSERT_EQ(view.recent.size(), 3u);
    EXPECT_EQ(view.recentText(2, 4), "0474.000000");
    EXPECT_EQ(view.recentText(3, 2), "[x]");
    EXPECT_EQ(view.recent[1].cells[0].background, (RowColour{230, 230, 230}));

    // Saving entries already in the list leaves the file as it was.
    const auto bytes = ReadWholeFile(path);
    EXPECT_EQ(bytes.size(), 15u * 300);
    DriveTest_SaveFrequencies();
    EXPECT_EQ(ReadWholeFile(path), bytes);

    // The next engagement of the family and standard finds the list; another standard has its own.
    DriveTest_FrequencyInit(&view, dir.path());
    Engage("DVB-T2");
    EXPECT_TRUE(view.recent.empty());
    Engage("DVB-T / DVB-H");
    EXPECT_EQ(DriveTest_RecentEntries(), expected);
    EXPECT_EQ(view.recent.size(), 3u);

    // A deleted entry is gone from the file with the next save.
    onDtFreqTableRecent(2, 3);  // a value cell: nothing
    onDtFreqTableRecent(3, 2);
    EXPECT_EQ(view.recentText(3, 3), "B");
    Fill(2, "B", "474");  // already in the list
    DriveTest_SaveFrequencies();
    std::vector<RecentEntry> back;
    ASSERT_TRUE(SignalsFile_Read(path, {"Description", "Frequency [MHz]", "Adjacent channels", "Bandwidth [MHz]", "FEC Sync"}, back));
    EXPECT_EQ(back, (std::vector<RecentEntry>{expected[0], expected[2]}));
}

TEST_F(FrequencyPage, NumbersInTheFileIgnoreTheUserLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.utf8")) GTEST_SKIP() << "no German locale";
    Engage("DVB-T / DVB-H");
    Fill(2, "A", "474.5");
    DriveTest_SaveFrequencies();
    const std::string stored = DriveTest_RecentEntries().at(0).at(1);
    const std::string shown = view.text(2, 4);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(stored, "0474.500000");
    EXPECT_EQ(shown, "474.500000");
}

TEST_F(FrequencyPage, DraggingARecentEntryOntoAFrequencyRow) {
    const std::vector<std::string> titles = {"Description", "Frequency [MHz]", "Adjacent channels", "Bandwidth [MHz]",
                                             "Sideband", "PLP ID"};
    ASSERT_TRUE(SignalsFile_Write(SignalsFile_Path(dir.path(), "q", "u"), titles,
                                  {{"Ch21 with a long name", "0474.000000", "None", "6", "Inverse", "7"},
                                   {"Ch22", "junk", "Nothing", "", "Normal", ""}}));
    Engage("DVB-T2", {0, 0});
    ASSERT_EQ(view.recent.size(), 2u);

    onDtFreqTableDragDrop({FreqMouseEvent::Press, FreqPageArea::RecentTable, 2, 3});
    EXPECT_EQ(view.dragging, "Ch21 with a long name");
    onDtFreqTableDragDrop({FreqMouseEvent::Release, FreqPageArea::FrequencyTable, 3, 5});
    EXPECT_EQ(view.dragging, "(ended)");
    EXPECT_EQ(view.text(3, 1), "Korvane Alvra, 100001") << "the label stays";
    EXPECT_EQ(view.text(3, 3), "Ch21 with a long nam") << "cut to what the cell accepts";
    EXPECT_EQ(view.text(3, 4), "474.000000");
    EXPECT_EQ(view.text(3, 5), "None");
    EXPECT_EQ(view.text(3, 6), "6");
    EXPECT_EQ(view.text(3, 8), "7");

    // No matching label, an empty number and an unreadable frequency leave their cells.
    EXPECT_EQ(DriveTest_FrequencyDrop(3, 3), 1);
    EXPECT_EQ(view.text(3, 3), "Ch22");
    EXPECT_EQ(view.text(3, 4), "474.000000");
    EXPECT_EQ(view.text(3, 5), "None");
    EXPECT_EQ(view.text(3, 6), "6");
    EXPECT_EQ(view.text(3, 7), "Normal");
    EXPECT_EQ(view.text(3, 8), "7");

    // Dropped on the title row or outside the table: only the drag ends.
    const auto before = view.rows;
    onDtFreqTableDragDrop({FreqMouseEvent::Press, FreqPageArea::RecentTable, 2, 4});
    onDtFreqTableDragDrop({FreqMouseEvent::Release, FreqPageArea::FrequencyTable, 1, 3});
    onDtFreqTableDragDrop({FreqMouseEvent::Press, FreqPageArea::RecentTable, 2, 4});
    onDtFreqTableDragDrop({FreqMouseEvent::Release, FreqPageArea::Elsewhere, 2, 3});
    EXPECT_EQ(view.rows, before);
    view.dragging.clear();
    onDtFreqTableDragDrop({FreqMouseEvent::Press, FreqPageArea::RecentTable, 2, 2});  // the delete button
    onDtFreqTableDragDrop({FreqMouseEvent::Press, FreqPageArea::RecentTable, 9, 3});
    EXPECT_EQ(view.dragging, "") << "no drag from a button or a missing row";
    EXPECT_EQ(DriveTest_FrequencyDrop(4, 2), 0);
    EXPECT_EQ(DriveTest_FrequencyDrop(2, 4), 0);
}
