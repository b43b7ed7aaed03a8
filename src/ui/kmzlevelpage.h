#pragma once
// The widgets of "Step 2 of 5: Level configuration": the common unit and the
// table of the selected files with their manual K-factor and level offset.
#include <QComboBox>
#include <QTableWidget>

#include "export/kmz/levelconfig.h"
#include "ui/wizardframe.h"

struct KmzLevelPage {
    QWidget* page = nullptr;
    UiWizardFrame frame;
    QComboBox* unit = nullptr;  // items in kKmzUnit* order
    QTableWidget* table = nullptr;
};

KmzLevelPage KmzLevelPage_Build(QWidget* parent);

// Table rows as the level module counts them: row 1 is the header.
inline int KmzLevelPage_WidgetRow(int tableRow) { return tableRow - 2; }
// Writes one cell: text, editability, alignment and background.
void KmzLevelPage_SetCell(QTableWidget* table, int tableRow, int column, const KmzLevelCell& cell);
QColor KmzLevelPage_Colour(std::uint32_t rgb);
