// The frequency page driven as a user drives it: buttons and cells that open
// by themselves, the checks of Next, dragging a recently used entry onto a
// row and deleting entries, with the frequency list module behind it and no
// network at all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "drivetest/frequencylist.h"
#include "drivetest/wizard.h"
#include "instrument/receiverinfo.h"
#include "platform/paths.h"
#include "support/testsupport.h"
#include "ui/frequencycells.h"
#include "ui/frequencypage.h"
#include "ui/uitest.h"

namespace {

AnalyzerSlot MakeSlot(const char* standard, const char* serial) {
    ReceiverInfo_Init();
    AnalyzerSlot slot;
    ReceiverInfo_CopyFamily(slot.family, ReceiverInfo_Families().front());
    const BroadcastStandard* s = ReceiverInfo_FindStandard(slot.family, standard);
    EXPECT_NE(s, nullptr) << standard;
    slot.standardIndex = static_cast<int>(s - slot.family.standards.data()) + 1;
    std::snprintf(slot.serialNumber, sizeof slot.serialNumber, "%s", serial);
    return slot;
}

std::string Label(const AnalyzerSlot& slot) { return std::string("Korvane Alvra, ") + slot.serialNumber; }

class FrequencyPageUi : public ::testing::Test {
protected:
    void SetUp() override {
        UiTest_App();
        Platform_SetDataDirectory(dir.path());
        Ui_SetPageHandler([this](int p) { pages.push_back(p); });
        page = std::make_unique<FrequencyPage>(nullptr);
        page->resize(1000, 700);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        DriveTest_FrequencyInit(page.get(), dir.path());
    }
    void TearDown() override {
        DriveTest_FrequencyClose();
        page.reset();
        Ui_SetPageHandler({});
    }

    // The engagement as the wizard does it: one block of one row per analyzer.
    void Engage(int analyzers) {
        slotList.clear();
        for (int k = 0; k < analyzers; ++k) slotList.push_back(MakeSlot("DVB-T2", ("20000" + std::to_string(k)).c_str()));
        DriveTest_FrequencyReset(slotList[0].family, slotList[0].family.standards[slotList[0].standardIndex - 1]);
        for (int k = 0; k < analyzers; ++k) DriveTest_AddFrequencyRow(k + 2, Label(slotList[k]), 1, &slotList[k]);
        Settle();
    }
    // Entries of the recently used list, stored the way Home would store them.
    void Seed(const std::vector<std::pair<std::string, std::string>>& entries) {
        Engage(1);
        for (const auto& [description, mhz] : entries) {
            onDtFreqTable(FreqTableEvent::ValueCommitted, 2, 3, description);
            onDtFreqTable(FreqTableEvent::ValueCommitted, 2, 4, mhz);
            DriveTest_SaveFrequencies();
        }
    }
    static void Settle() {
        Ui_Flush();
        QCoreApplication::processEvents();
        Ui_Flush();
    }

    QTableWidget* table() const { return page->frequencyTable(); }
    QTableWidget* recent() const { return page->recentTable(); }
    static QPoint CellCentre(QTableWidget* t, int row, int column) {
        t->scrollTo(t->model()->index(row - 2, column - 1));
        return t->visualRect(t->model()->index(row - 2, column - 1)).center();
    }
    static std::string Text(QTableWidget* t, int row, int column) {
        const QTableWidgetItem* item = t->item(row - 2, column - 1);
        return item ? Ui_Latin1(item->text()) : "(none)";
    }
    static QColor Background(QTableWidget* t, int row, int column) {
        return t->item(row - 2, column - 1)->background().color();
    }
    static void Click(QTableWidget* t, int row, int column) {
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, CellCentre(t, row, column));
        Settle();
    }
    // Selects the cell, waits for it to open by itself, types and presses Enter.
    void Type(int row, int column, const QString& text) {
        Click(table(), row, column);
        QLineEdit* editor = nullptr;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (editor = qobject_cast<QLineEdit*>(table()->indexWidget(table()->currentIndex()))) != nullptr; },
            3000))
            << "cell " << row << "/" << column << " did not open by itself";
        for (QChar c : text) {
            if (c.unicode() < 128) QTest::keyClick(editor, c.toLatin1());
            else QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QTest::keyClick(editor, Qt::Key_Return);
        Settle();
    }

    TempDir dir;
    UiTestDialogs dialogs;
    std::vector<int> pages;
    std::unique_ptr<FrequencyPage> page;
    std::vector<AnalyzerSlot> slotList;
};

}  // namespace

TEST_F(FrequencyPageUi, AddDeleteAndTypingIntoCellsThatOpenByThemselves) {
    Engage(2);
    ASSERT_EQ(table()->rowCount(), 2);
    EXPECT_EQ(Text(table(), 3, 1), Label(slotList[1]));

    Click(table(), 2, 2);  // the add button of the first block
    ASSERT_EQ(table()->rowCount(), 3);
    EXPECT_EQ(Text(table(), 2, 2), "[x]");
    EXPECT_EQ(Text(table(), 3, 1), "");
    EXPECT_EQ(Text(table(), 3, 2), "[+]");
    EXPECT_EQ(Text(table(), 4, 1), Label(slotList[1])) << "the second block moved down";

    // Latin-1 reaches the module; the 21st character cannot be typed.
    Type(3, 3, QString::fromUtf8("Mux \xc3\xa4 123456789012345678"));
    Type(3, 4, "474.25");
    Type(3, 8, "7");  // PLP ID
    auto block = DriveTest_FrequencyBlock(1);
    ASSERT_EQ(block.size(), 2u);
    EXPECT_EQ(block[1].description, "Mux \xe4 12345678901234");
    EXPECT_EQ(block[1].frequencyMHz, 474.25);
    EXPECT_EQ(block[1].parameterValues.back(), "7");
    EXPECT_EQ(Text(table(), 3, 4), "474.250000");

    // Deleting the block's first row: the row moving up keeps the label, and
    // its button can be pressed again at once.
    Click(table(), 2, 2);
    ASSERT_EQ(table()->rowCount(), 2);
    EXPECT_EQ(Text(table(), 2, 1), Label(slotList[0]));
    EXPECT_EQ(Text(table(), 2, 3), "Mux \xe4 12345678901234");
    EXPECT_EQ(Text(table(), 2, 2), "[+]");
    Click(table(), 2, 2);
    EXPECT_EQ(table()->rowCount(), 3);
    EXPECT_TRUE(pages.empty());
}

TEST_F(FrequencyPageUi, EngagementOnTheWorkerThreadArrivesInOrder) {
    std::thread worker([this] {
        slotList = {MakeSlot("DVB-T2", "1"), MakeSlot("DVB-T2", "2"), MakeSlot("DVB-T2", "3")};
        DriveTest_FrequencyReset(slotList[0].family, slotList[0].family.standards[slotList[0].standardIndex - 1]);
        // Inserted at the top each time: only the order of the calls puts them right.
        for (int k = 2; k >= 0; --k) DriveTest_AddFrequencyRow(2, Label(slotList[k]), 1, &slotList[k]);
    });
    worker.join();
    Settle();
    ASSERT_EQ(table()->rowCount(), 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(Text(table(), k + 2, 1), Label(slotList[k]));
    EXPECT_EQ(Background(table(), 3, 3), QColor(230, 230, 230)) << "rows restriped after each insert";
}

TEST_F(FrequencyPageUi, NumbersAreTypedWithADotUnderACommaLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Engage(1);
    Type(2, 4, "474.5");
    QLocale::setDefault(before);
    EXPECT_EQ(DriveTest_FrequencyBlock(1).at(0).frequencyMHz, 474.5);
    EXPECT_EQ(Text(table(), 2, 4), "474.500000");
}

TEST_F(FrequencyPageUi, NextShowsTheCheckMessageAndMarksTheCellsYellow) {
    const QString descriptions =
        "The descriptions must be unique and consist of at least one character.\nDo not use the following "
        "characters: \\ / * ? \" < > | :";
    struct Case {
        const char* name;
        bool secondRowInFirstBlock;
        std::vector<std::pair<QString, QString>> rows;  // description, frequency from row 2 on
        QString message;
        std::vector<std::pair<int, int>> yellow;
    } cases[] = {
        {"empty description", false, {{"", "474"}, {"B", "482"}}, descriptions, {{2, 3}}},
        {"one description for two slotList", false, {{"A", "474"}, {"A", "482"}}, descriptions, {{2, 3}, {3, 3}}},
        {"the same channel twice for one analyzer",
         true,
         {{"A", "474"}, {"B", "474"}, {"C", "474"}},
         "Please enter unique channels for each TV analyzer.",
         {{3, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Engage(2);
        if (c.secondRowInFirstBlock) Click(table(), 2, 2);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            const int row = static_cast<int>(i) + 2;
            if (!c.rows[i].first.isEmpty()) Type(row, 3, c.rows[i].first);
            Type(row, 4, c.rows[i].second);
        }
        dialogs.messages.clear();
        QTest::mouseClick(page->nextButton(), Qt::LeftButton);
        Settle();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], c.message);
        for (int row = 2; row <= table()->rowCount() + 1; ++row)
            for (int column : {3, 4}) {
                const bool expected =
                    std::find(c.yellow.begin(), c.yellow.end(), std::make_pair(row, column)) != c.yellow.end();
                const QColor stripe = row % 2 == 0 ? QColor(255, 255, 255) : QColor(230, 230, 230);
                const QColor yellow = row % 2 == 0 ? QColor(255, 255, 150) : QColor(230, 230, 150);
                EXPECT_EQ(Background(table(), row, column), expected ? yellow : stripe) << row << "/" << column;
            }
        EXPECT_TRUE(pages.empty()) << "a failed check keeps the page";
    }
}

TEST_F(FrequencyPageUi, DraggingARecentEntryOntoARowFillsIt) {
    Seed({{"Mux B", "602"}, {"Mux A", "594"}});
    Engage(2);
    ASSERT_EQ(recent()->rowCount(), 2);
    EXPECT_EQ(Text(recent(), 3, 3), "Mux B");

    // Pressed on the entry, moved over the second analyzer's row, released.
    QTest::mousePress(recent()->viewport(), Qt::LeftButton, {}, CellCentre(recent(), 3, 3));
    Settle();
    ASSERT_TRUE(page->dragTable()->isVisible());
    EXPECT_EQ(Text(page->dragTable(), 2, 3), "Mux B");
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    const QPoint target = CellCentre(table(), 3, 4);
    QTest::mouseMove(table()->viewport(), target - QPoint(0, 40));
    QTest::mouseMove(table()->viewport(), target);
    Settle();
    const QRect floating = page->dragTable()->geometry();
    EXPECT_TRUE(floating.contains(table()->viewport()->mapTo(page.get(), target))) << "it follows the mouse";
    QTest::mouseRelease(table()->viewport(), Qt::LeftButton, {}, target);
    Settle();

    EXPECT_FALSE(page->dragTable()->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Text(table(), 3, 3), "Mux B");
    EXPECT_EQ(Text(table(), 3, 4), "602.000000");
    EXPECT_EQ(Text(table(), 2, 3), "") << "the first analyzer's row is untouched";
    ASSERT_EQ(DriveTest_FrequencyBlock(2).size(), 1u);
    EXPECT_EQ(DriveTest_FrequencyBlock(2)[0].frequencyMHz, 602.0);

    // Released over the recently used table: the drag only ends.
    QTest::mousePress(recent()->viewport(), Qt::LeftButton, {}, CellCentre(recent(), 2, 4));
    QTest::mouseRelease(recent()->viewport(), Qt::LeftButton, {}, CellCentre(recent(), 3, 4));
    Settle();
    EXPECT_FALSE(page->dragTable()->isVisible());
    EXPECT_EQ(Text(table(), 2, 3), "");
    EXPECT_EQ(recent()->rowCount(), 2) << "a drag takes nothing out of the list";
}

TEST_F(FrequencyPageUi, DeleteButtonsOfTheRecentListCanBePressedOneAfterTheOther) {
    Seed({{"A", "474"}, {"B", "482"}, {"C", "490"}});
    Engage(1);
    ASSERT_EQ(recent()->rowCount(), 3);
    Click(recent(), 2, 2);
    ASSERT_EQ(recent()->rowCount(), 2);
    EXPECT_EQ(Text(recent(), 2, 3), "B");
    Click(recent(), 2, 2);  // the same place, now the next entry
    ASSERT_EQ(DriveTest_RecentEntries().size(), 1u);
    EXPECT_EQ(DriveTest_RecentEntries()[0][0], "C");
    EXPECT_EQ(Text(recent(), 2, 3), "C");
    EXPECT_EQ(Text(recent(), 2, 2), "[x]");
}

TEST_F(FrequencyPageUi, ColumnHelpWhileTheMouseIsOverATitleCell) {
    Engage(1);
    QHeaderView* header = table()->horizontalHeader();
    const auto overTitle = [&](int column) {
        return QPoint(header->sectionViewportPosition(column - 1) + header->sectionSize(column - 1) / 2,
                      header->height() / 2);
    };
    QTest::mouseMove(header->viewport(), overTitle(4));
    Settle();
    EXPECT_TRUE(page->columnHelp().box()->isVisible());
    EXPECT_EQ(page->columnHelp().box()->text(), "Center frequency of the desired signal.");
    QTest::mouseMove(header->viewport(), overTitle(2));
    Settle();
    EXPECT_EQ(page->columnHelp().shown(), 2);
    EXPECT_TRUE(page->columnHelp().box()->text().startsWith("[+]\nAdd an entry."));
    QTest::mouseMove(table()->viewport(), CellCentre(table(), 2, 3));
    Settle();
    EXPECT_FALSE(page->columnHelp().box()->isVisible()) << "a body cell has no help";
}

TEST(FrequencyCells, SoftBreaksOfNarrowColumnTitles) {
    UiTest_App();
    const QFontMetrics metrics(QApplication::font());
    EXPECT_EQ(FrequencyCells_Title("Side- band", 20, metrics), "Side-\nband");
    EXPECT_EQ(FrequencyCells_Title("Side- band", 400, metrics), "Sideband");
    EXPECT_EQ(FrequencyCells_Title("Bandwidth [MHz]", 20, metrics), "Bandwidth [MHz]") << "no mark, no break";
}
