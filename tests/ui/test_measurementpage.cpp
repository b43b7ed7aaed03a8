// The measurement page against the wizard's selection logic: the tree as the
// core sends it, a user's check that marks a whole group through the core,
// marks shown without calling back, and the default option with its indicators.
#include <gtest/gtest.h>

#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "drivetest/wizardfakes.h"
#include "drivetest/wizardstate.h"
#include "ui/measurementpage.h"
#include "ui/treepath.h"
#include "ui/uitest.h"

namespace {

// The wizard's view with the measurement calls also drawn on the page.
class PageView : public FakeWizardView {
public:
    explicit PageView(MeasurementPage& page) : page_(page) {}
    void setTree(const std::vector<MeasurementTreeItem>& items) override {
        FakeWizardView::setTree(items);
        page_.setTree(items);
    }
    void setMarks(const std::vector<bool>& m) override {
        ++marksShown;
        FakeWizardView::setMarks(m);
        page_.setMarks(m);
    }
    void setOptions(bool d, bool u, bool visible) override {
        FakeWizardView::setOptions(d, u, visible);
        page_.setOptions(d, u, visible);
    }
    void setIndicator(int category, const std::string& text, bool visible, bool highlighted) override {
        FakeWizardView::setIndicator(category, text, visible, highlighted);
        page_.setIndicator(category, text, visible, highlighted);
    }
    int marksShown = 0;

private:
    MeasurementPage& page_;
};

// The wizard's module state with this tree and view, as an engagement leaves it.
struct EngagedTree {
    explicit EngagedTree(PageView& view) {
        MeasurementTree_InsertByPath(tree, "Values|MER", "RMS [dB]", "V3", false);
        MeasurementTree_InsertByPath(tree, "Values|MER", "Peak [dB]", "V4", true);
        MeasurementTree_InsertByPath(tree, "Values", "Level", "V1", false);
        MeasurementTree_InsertByPath(tree, "Graphs|Echo", "Echo pattern", "G1", false);
        Wizard& w = Wizard_Get();
        std::lock_guard<std::mutex> lock(w.driveTestLock);
        w.tree = tree;
        w.view = &view;
    }
    ~EngagedTree() {
        Wizard& w = Wizard_Get();
        std::lock_guard<std::mutex> lock(w.driveTestLock);
        w.tree = {};
        w.view = nullptr;
    }
    int index(const std::string& label) const {
        for (std::size_t i = 0; i < tree.items.size(); ++i)
            if (tree.items[i].label == label) return static_cast<int>(i);
        return -1;
    }
    MeasurementTree tree;
};

}  // namespace

TEST(MeasurementPage, TreeMarksOptionsAndIndicators) {
    UiTest_App();
    MeasurementPage page(nullptr);
    PageView view(page);
    EngagedTree engaged(view);
    page.resize(1000, 700);
    page.show();

    view.setTree(engaged.tree.items);
    onDtMeasUsr(true);
    Ui_Flush();
    EXPECT_TRUE(page.userOption()->isChecked());
    EXPECT_FALSE(page.defaultOption()->isChecked());
    EXPECT_TRUE(page.tree()->isVisibleTo(&page));

    // The tree holds the items under their parents, in order; the highlighted one in bold orange.
    const int mer = engaged.index("MER"), peak = engaged.index("Peak [dB]"), rms = engaged.index("RMS [dB]");
    ASSERT_GE(mer, 0);
    ASSERT_EQ(page.tree()->topLevelItemCount(), 3);  // MER, Level, Echo
    QTreeWidgetItem* group = page.treeItem(mer);
    ASSERT_EQ(group->childCount(), 2);
    EXPECT_EQ(group->child(0), page.treeItem(rms));
    EXPECT_EQ(group->child(1)->text(0), "Peak [dB]");
    EXPECT_TRUE(page.treeItem(peak)->font(0).bold());
    EXPECT_EQ(page.treeItem(peak)->foreground(0).color(), kUiTreeHighlight);
    EXPECT_FALSE(page.treeItem(rms)->font(0).bold());

    // The user checks the group: the core marks it and both children, and the
    // page shows that once, without calling back for the boxes it sets.
    page.treeItem(mer)->setCheckState(0, Qt::Checked);
    Ui_Flush();
    EXPECT_EQ(view.marksShown, 1);
    for (int i : {mer, rms, peak}) EXPECT_EQ(page.treeItem(i)->checkState(0), Qt::Checked) << i;
    EXPECT_EQ(page.treeItem(engaged.index("Level"))->checkState(0), Qt::Unchecked);
    EXPECT_EQ(DriveTest_MarkedTags(), (std::vector<std::string>{"V3", "V4"}));
    page.treeItem(peak)->setCheckState(0, Qt::Unchecked);
    Ui_Flush();
    EXPECT_EQ(DriveTest_MarkedTags(), (std::vector<std::string>{"V3"}));

    // "Default:" hides the tree and applies the categories; an indicator
    // shows only with a match, in bold orange when a highlighted item matched.
    QTest::mouseClick(page.defaultOption(), Qt::LeftButton);
    Ui_Flush();
    EXPECT_TRUE(page.defaultOption()->isChecked());
    EXPECT_FALSE(page.tree()->isVisibleTo(&page));
    EXPECT_EQ(DriveTest_MarkedTags(), (std::vector<std::string>{"V3", "V4", "V1", "G1"}));
    const struct {
        int category;
        const char* text;
        bool visible, bold;
    } indicators[] = {{0, "- Level", true, false}, {1, "- Sync", false, false}, {3, "- MER", true, true},
                      {6, "- Echo", true, false}};
    for (const auto& c : indicators) {
        QLabel* label = page.indicator(c.category);
        EXPECT_EQ(label->text(), c.text);
        EXPECT_EQ(label->isVisibleTo(&page), c.visible) << c.text;
        EXPECT_EQ(label->font().bold(), c.bold) << c.text;
    }
}
