// Column help: the box follows the column under the mouse and hides for
// columns without a text.
#include <gtest/gtest.h>

#include <QHeaderView>

#include "ui/columnhelp.h"
#include "ui/uitest.h"

TEST(ColumnHelp, ShowsTheTextUnderItsColumnAndHidesWithoutOne) {
    UiTest_App();
    QWidget page;
    QTableWidget table(3, 4, &page);
    page.resize(800, 400);
    table.resize(780, 300);
    page.show();
    ColumnHelp help(&table);
    help.setText(1, "Type and serial number of the available TV analyzers.");
    help.setText(4, "Determines, to which physical input the receiving antenna is connected.");
    help.show(4);
    EXPECT_TRUE(help.box()->isVisible());
    EXPECT_EQ(help.box()->text(), "Determines, to which physical input the receiving antenna is connected.");
    const int centre = table.horizontalHeader()->sectionViewportPosition(3) + table.horizontalHeader()->sectionSize(3) / 2;
    EXPECT_LE(help.box()->x(), centre);
    EXPECT_GE(help.box()->x() + help.box()->width(), std::min(centre, page.width()));
    help.show(2);  // skipped when the texts were set: empty
    EXPECT_FALSE(help.box()->isVisible());
    help.show(9);
    EXPECT_FALSE(help.box()->isVisible());
    help.show(1);
    EXPECT_TRUE(help.box()->isVisible());
    help.clear();
    EXPECT_FALSE(help.box()->isVisible());
    help.show(1);
    EXPECT_FALSE(help.box()->isVisible());
}
