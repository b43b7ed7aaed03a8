#include "ui/treepath.h"

#include <QTreeWidget>

#include "ui/uishell.h"

namespace {

QTreeWidgetItem* Child(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& label) {
    const int n = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : tree->topLevelItem(i);
        if (item->text(0) == label && !item->data(0, kUiTreeValueRole).isValid()) return item;
    }
    return nullptr;
}

void Paint(QTreeWidgetItem* item, int columns, const QColor& colour) {
    for (int c = 0; c < columns; ++c) item->setBackground(c, colour);
}

void CollectLeaves(QTreeWidgetItem* item, std::vector<QTreeWidgetItem*>& out) {
    if (item->data(0, kUiTreeValueRole).isValid()) out.push_back(item);
    for (int i = 0; i < item->childCount(); ++i) CollectLeaves(item->child(i), out);
}

}  // namespace

QTreeWidgetItem* UiTree_InsertByPath(QTreeWidget* tree, const std::string& path, const std::string& label,
                                     const std::string& tag, const std::string& value, int columnMode,
                                     bool highlight) {
    const int columns = tree->columnCount();
    QTreeWidgetItem* parent = nullptr;
    for (const QString& part : Ui_Text(path).split('|', Qt::SkipEmptyParts)) {
        if (part == "Values") continue;  // its items stay one level up
        QTreeWidgetItem* group = Child(tree, parent, part);
        if (!group) {
            group = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
            group->setText(0, part);
            group->setFlags(Qt::ItemIsEnabled);
            if (columnMode >= 1) Paint(group, columns, kUiTreeGroupColour);
        }
        if (highlight) group->setForeground(0, kUiTreeHighlight);
        parent = group;
    }
    const int index = static_cast<int>(UiTree_Leaves(tree).size());
    QTreeWidgetItem* leaf = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    leaf->setText(0, Ui_Text(label));
    leaf->setData(0, kUiTreeValueRole, Ui_Text(value));
    leaf->setData(0, kUiTreeTagRole, Ui_Text(tag));
    leaf->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (columnMode >= 1) Paint(leaf, columns, index % 2 ? kUiTreeGreyRow : QColor(Qt::white));
    if (columnMode >= 2 && columns > 2) {
        leaf->setBackground(2, kUiTreeGroupColour);
        leaf->setData(2, kUiTreeLockedRole, true);
    }
    if (highlight) leaf->setForeground(0, kUiTreeHighlight);
    if (parent) parent->setExpanded(true);
    return leaf;
}

std::vector<QTreeWidgetItem*> UiTree_Leaves(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) CollectLeaves(tree->topLevelItem(i), out);
    return out;
}
