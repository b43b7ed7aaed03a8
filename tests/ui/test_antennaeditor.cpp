// The antenna editor driven as a user would: typing into cells, pressing the
// row buttons, importing and exporting through the (replaced) file dialogs,
// and closing the window, which must leave antennas.ini holding the edits.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <string>
#include <thread>
#include <vector>

#include "antenna/antennacsv.h"
#include "platform/paths.h"
#include "support/testsupport.h"
#include "ui/antennaeditor.h"
#include "ui/kfactorplot.h"
#include "ui/uitest.h"

namespace {

// An editor on the antenna module, with the data directory in a TempDir
// that may already hold an antennas.ini.
struct EditorFixture {
    explicit EditorFixture(const AntennaList& initial = {}) {
        UiTest_App();
        Platform_SetDataDirectory(dir.path());
        if (initial.count() > 0) {
            EXPECT_TRUE(AntennaList_Save(initial, dir.file("antennas.ini")));
        }
        Antenna_Init(&editor, dir.path());
        Ui_Flush();
        editor.open(nullptr, [this] { ++closedCalls; });
    }
    ~EditorFixture() { Antenna_Close(); }

    QString cell(QTableWidget* table, int row, int column) const {
        QTableWidgetItem* item = table->item(row, column);
        return item ? item->text() : QString();
    }
    // Opens the cell's editor, types text and commits it with Return.
    void type(QTableWidget* table, int row, int column, const QString& text) {
        table->setCurrentCell(row, column);
        table->editItem(table->item(row, column));
        auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!line) line = table->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(line, nullptr);
        line->selectAll();
        QTest::keyClicks(line, text);
        QTest::keyClick(line, Qt::Key_Return);
        // The delegate commits a Return through a queued call of its own.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the closed cell editor
        Ui_Flush();
    }
    void click(QWidget* button) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        Ui_Flush();
    }
    void addAntenna(const QString& name) {
        type(editor.antennaTable(), 0, 1, name);
        click(editor.antennaTable()->cellWidget(0, 0));
    }
    void addPoint(const QString& f, const QString& k) {
        type(editor.pointTable(), 0, 1, f);
        type(editor.pointTable(), 0, 2, k);
        click(editor.pointTable()->cellWidget(0, 0));
    }
    QStringList column(QTableWidget* table, int column) const {
        QStringList texts;
        for (int r = 1; r < table->rowCount(); ++r) texts << cell(table, r, column);
        return texts;
    }

    TempDir dir;
    UiTestDialogs dialogs{true};
    AntennaEditor editor;
    int closedCalls = 0;
};

AntennaList ThreeAntennas() {
    AntennaList list;
    for (const char* name : {"Alpha", "Beta", "Gamma"}) EXPECT_EQ(list.addAntenna(name), AntennaEdit::Ok);
    EXPECT_EQ(list.addPoint(2, {100, 1.0}), AntennaEdit::Ok);
    EXPECT_EQ(list.addPoint(2, {200, 2.0}), AntennaEdit::Ok);
    return list;
}

}  // namespace

TEST(AntennaEditor, TypedAntennaAndPointsAreSavedOnClose) {
    EditorFixture fx;
    fx.addAntenna("Yagi");
    ASSERT_EQ(fx.editor.antennaTable()->rowCount(), 2);
    EXPECT_EQ(fx.cell(fx.editor.antennaTable(), 1, 1), "Yagi");
    EXPECT_EQ(fx.editor.selectedAntenna(), 1);
    EXPECT_TRUE(fx.editor.pointTable()->isEnabled());

    fx.addPoint("200", "0");
    EXPECT_EQ(fx.cell(fx.editor.antennaTable(), 1, 2), "---");  // one point: no interval yet
    fx.addPoint("100", "10");
    fx.addPoint("150.5", "7.25");
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 1), (QStringList{"100.000000", "150.500000", "200.000000"}));
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 2), (QStringList{"10.00", "7.25", "0.00"}));
    EXPECT_EQ(fx.cell(fx.editor.antennaTable(), 1, 2), "100.000000");
    EXPECT_EQ(fx.cell(fx.editor.antennaTable(), 1, 3), "200.000000");
    // The curve passes through the end points.
    ASSERT_EQ(fx.editor.plot()->curve().size(), 200u);
    EXPECT_EQ(fx.editor.plot()->curve().front().kFactor, 10.0);
    EXPECT_EQ(fx.editor.plot()->curve().back().kFactor, 0.0);
    EXPECT_TRUE(fx.dialogs.messages.empty());

    fx.click(fx.editor.closeButton());
    EXPECT_EQ(fx.closedCalls, 1);
    EXPECT_FALSE(fx.editor.isVisible());
    AntennaList saved;
    ASSERT_TRUE(AntennaList_Load(fx.dir.file("antennas.ini"), saved));
    ASSERT_EQ(saved.count(), 1);
    const auto& pts = saved.antenna(1)->kFactors;
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[1].frequency, 150.5);
    EXPECT_EQ(pts[1].kFactor, 7.25);
}

TEST(AntennaEditor, ACurrentCellOpensForEditingByItself) {
    EditorFixture fx(ThreeAntennas());
    QTableWidget* table = fx.editor.pointTable();
    auto editing = [table] { return table->viewport()->findChild<QLineEdit*>() != nullptr; };
    table->setCurrentCell(0, 1);
    EXPECT_FALSE(editing());
    QTest::qWait(700);
    EXPECT_TRUE(editing());
}

TEST(AntennaEditor, RefusedEditsShowTheirMessageAndChangeNothing) {
    EditorFixture fx(ThreeAntennas());
    fx.addAntenna("a/b");
    fx.addAntenna("Beta");
    fx.addAntenna("beta");  // another letter case is another name, sorted after every upper-case one
    EXPECT_EQ(fx.column(fx.editor.antennaTable(), 1), (QStringList{"Alpha", "Beta", "Gamma", "beta"}));
    ASSERT_EQ(fx.dialogs.messages.size(), 2u);
    EXPECT_EQ(fx.dialogs.messages[0],
              "The new antenna name must consist of at least one character.\n"
              "Do not use the following characters: \\ / * ? \" < > | :");
    EXPECT_EQ(fx.dialogs.messages[1], "The new antenna name does already exist.");

    fx.dialogs.messages.clear();
    fx.click(fx.editor.antennaTable()->cellWidget(0, 0));  // nothing typed
    EXPECT_EQ(fx.dialogs.messages.size(), 1u);

    // Beta: 100, 200. An added frequency that exists is refused.
    fx.dialogs.messages.clear();
    fx.editor.antennaTable()->setCurrentCell(2, 1);
    Ui_Flush();
    ASSERT_EQ(fx.editor.selectedAntenna(), 2);
    fx.addPoint("200", "5");
    ASSERT_EQ(fx.dialogs.messages.size(), 1u);
    EXPECT_EQ(fx.dialogs.messages[0], "This frequency list entry does already exist.");
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 2), (QStringList{"1.00", "2.00"}));

    // Editing a frequency past its neighbour re-sorts the table; editing it
    // onto another point's frequency is refused and the cell shows the old value.
    fx.type(fx.editor.pointTable(), 1, 1, "300");
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 1), (QStringList{"200.000000", "300.000000"}));
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 2), (QStringList{"2.00", "1.00"}));
    fx.type(fx.editor.pointTable(), 2, 1, "200");
    EXPECT_EQ(fx.dialogs.messages.size(), 2u);
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 1), (QStringList{"200.000000", "300.000000"}));
    fx.type(fx.editor.pointTable(), 2, 2, "not a number");
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 2), (QStringList{"2.00", "1.00"}));
    AntennaType beta;
    ASSERT_TRUE(Antenna_Get(2, beta));
    EXPECT_EQ(beta.kFactors[0].frequency, 200.0);
    EXPECT_EQ(beta.kFactors[1].frequency, 300.0);

    fx.click(fx.editor.pointTable()->cellWidget(1, 0));  // delete 200 MHz
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 1), (QStringList{"300.000000"}));
    EXPECT_EQ(fx.cell(fx.editor.antennaTable(), 2, 2), "---");
}

TEST(AntennaEditor, DeletingTheSelectedAntennaDisablesTheKFactorSide) {
    EditorFixture fx(ThreeAntennas());
    fx.editor.antennaTable()->setCurrentCell(2, 1);  // Beta
    Ui_Flush();
    ASSERT_EQ(fx.editor.selectedAntenna(), 2);

    fx.dialogs.answer = false;
    fx.click(fx.editor.antennaTable()->cellWidget(1, 0));
    ASSERT_EQ(fx.dialogs.questions.size(), 1u);
    EXPECT_EQ(fx.dialogs.questions[0], "Do you really want do delete this antenna?");
    EXPECT_EQ(Antenna_Count(), 3);

    // Deleting another antenna keeps the same one selected.
    fx.dialogs.answer = true;
    fx.click(fx.editor.antennaTable()->cellWidget(1, 0));
    EXPECT_EQ(fx.column(fx.editor.antennaTable(), 1), (QStringList{"Beta", "Gamma"}));
    EXPECT_EQ(fx.editor.selectedAntenna(), 1);
    EXPECT_EQ(fx.column(fx.editor.pointTable(), 1).size(), 2);
    EXPECT_TRUE(fx.editor.pointTable()->isEnabled());

    fx.click(fx.editor.antennaTable()->cellWidget(1, 0));
    EXPECT_EQ(fx.column(fx.editor.antennaTable(), 1), (QStringList{"Gamma"}));
    EXPECT_EQ(fx.editor.selectedAntenna(), -1);
    EXPECT_FALSE(fx.editor.pointTable()->isEnabled());
    EXPECT_FALSE(fx.editor.importButton()->isEnabled());
    EXPECT_FALSE(fx.editor.exportButton()->isEnabled());
    EXPECT_EQ(fx.editor.pointTable()->rowCount(), 1);  // no points of a deleted antenna stay visible
}

TEST(AntennaEditor, ImportAndExportThroughTheFileDialogs) {
    EditorFixture fx(ThreeAntennas());
    for (QPushButton* b : {fx.editor.importButton(), fx.editor.exportButton()})
        EXPECT_EQ(b->toolTip(), kAntennaCsvToolTip);

    std::string text;
    for (int i = 0; i < 700; ++i) text += std::to_string(1 + i) + ".5,-2.5\n";
    WriteWholeFile(fx.dir.file("big.csv"), std::vector<std::uint8_t>(text.begin(), text.end()));
    QString chosen = QString::fromStdString(fx.dir.file("big.csv"));
    std::vector<bool> saves;
    fx.editor.setFileChooser([&](bool save, const QString&, const QString& directory, const QString& proposed) {
        saves.push_back(save);
        EXPECT_EQ(directory.toStdString(), fx.dir.path());
        if (save) {
            EXPECT_EQ(proposed, "Alpha.csv");
        }
        return chosen;
    });
    ASSERT_EQ(fx.editor.selectedAntenna(), 1);  // the first antenna is selected after loading
    fx.click(fx.editor.importButton());
    EXPECT_EQ(fx.editor.pointTable()->rowCount(), 601);
    ASSERT_EQ(fx.dialogs.messages.size(), 1u);
    EXPECT_TRUE(fx.dialogs.messages[0].startsWith("Successfully found 600 K-Factors in:\n" + chosen));
    EXPECT_TRUE(fx.dialogs.messages[0].endsWith("since the maximum number of list entries has been reached."));

    chosen = QString::fromStdString(fx.dir.file("Alpha.csv"));
    fx.click(fx.editor.exportButton());
    EXPECT_EQ(fx.dialogs.messages.back(), "Successfully wrote:\n" + chosen);
    EXPECT_EQ(saves, (std::vector<bool>{false, true}));

    // A cancelled dialog does nothing.
    chosen.clear();
    fx.click(fx.editor.importButton());
    EXPECT_EQ(fx.dialogs.messages.size(), 2u);
}

TEST(AntennaEditor, PagesThatOpenedItStayDisabledUntilItCloses) {
    EditorFixture fx;  // already open, for no page
    QWidget page;
    int refills = 0;
    fx.editor.open(&page, [&] { ++refills; });
    auto* deleted = new QWidget;
    fx.editor.open(deleted, {});  // a page that goes while the editor is open is forgotten
    delete deleted;
    EXPECT_FALSE(page.isEnabled());
    fx.addAntenna("Yagi");
    EXPECT_FALSE(page.isEnabled());

    fx.editor.close();  // the window's own close button
    EXPECT_TRUE(page.isEnabled());
    EXPECT_EQ(refills, 1);
    EXPECT_EQ(fx.closedCalls, 1);
    AntennaList saved;
    ASSERT_TRUE(AntennaList_Load(fx.dir.file("antennas.ini"), saved));
    EXPECT_EQ(saved.count(), 1);

    // Opened again: the page waits again; the calls of the last opening are not repeated.
    fx.editor.open(&page, {});
    EXPECT_FALSE(page.isEnabled());
    fx.click(fx.editor.closeButton());
    EXPECT_TRUE(page.isEnabled());
    EXPECT_EQ(refills, 1);
    EXPECT_EQ(fx.closedCalls, 1);
}

TEST(AntennaEditor, ViewCallsFromAWorkerArriveInOrder) {
    EditorFixture fx;
    std::thread worker([&] {
        fx.editor.setRows({{"One", "---", "---"}});
        fx.editor.setRows({{"One", "---", "---"}, {"Two", "1.000000", "2.000000"}});
    });
    worker.join();
    Ui_Flush();
    EXPECT_EQ(fx.column(fx.editor.antennaTable(), 1), (QStringList{"One", "Two"}));
    EXPECT_EQ(fx.cell(fx.editor.antennaTable(), 2, 3), "2.000000");
}
