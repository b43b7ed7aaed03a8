#pragma once
// Measurement trees grouped by a "|"-separated name path (the KMZ scope and
// colour trees): group rows are shared, leaves carry their value and tag.
#include <QColor>
#include <QTreeWidgetItem>
#include <string>

class QTreeWidget;

// Item data of a leaf: its value ("V1", "G0", ...) and its tag.
constexpr int kUiTreeValueRole = Qt::UserRole;
constexpr int kUiTreeTagRole = Qt::UserRole + 1;
// A leaf cell that may not be edited (true) in trees with columns.
constexpr int kUiTreeLockedRole = Qt::UserRole + 2;

inline const QColor kUiTreeGroupColour(200, 200, 200);
inline const QColor kUiTreeGreyRow(230, 230, 230);
inline const QColor kUiTreeHighlight(255, 100, 0);

// Adds a leaf under the groups of path (Latin-1); a component "Values" adds no
// level. columnMode >= 1: grey group rows and alternating leaf rows;
// >= 2: the leaf's third column is grey and locked. highlight draws the path
// and the leaf in orange. Returns the leaf.
QTreeWidgetItem* UiTree_InsertByPath(QTreeWidget* tree, const std::string& path, const std::string& label,
                                     const std::string& tag, const std::string& value, int columnMode = 0,
                                     bool highlight = false);
// Every leaf of the tree (items that carry a value), in tree order.
std::vector<QTreeWidgetItem*> UiTree_Leaves(QTreeWidget* tree);
