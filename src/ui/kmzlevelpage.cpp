#include "ui/kmzlevelpage.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>

#include "ui/uishell.h"

namespace {

constexpr const char* kHelp =
    "Select the common level unit used for export.\nIf this is a field strength unit, make sure, that a K-Factor is "
    "assigned to each measurement file.\nAssign manual level correction offsets to compensate for different "
    "recording conditions among the measurement files.";

const char* const kHeaders[kKmzLevelColumns] = {"Description", "Created",         "Type",
                                                "Input",       "K-Factor [dB/m]", "Manual K-Factor [dB/m]",
                                                "Manual level offset [dB]"};

}  // namespace

QColor KmzLevelPage_Colour(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

KmzLevelPage KmzLevelPage_Build(QWidget* parent) {
    KmzLevelPage p;
    p.page = new QWidget(parent);
    p.frame = UiWizard_Frame(p.page, "Step 2 of 5: Level configuration", kHelp);

    auto* form = new QFormLayout;
    p.unit = new QComboBox(p.page);
    for (int u = 0; u < kKmzUnitCount; ++u) p.unit->addItem(Ui_Text(KmzLevel_UnitName(u)));
    p.unit->setMinimumWidth(160);
    Ui_Name(p.unit, kKmzLevelUnitLabel);
    form->addRow(QString(kKmzLevelUnitLabel) + ":", p.unit);
    p.frame.content->addLayout(form);

    p.table = new QTableWidget(0, kKmzLevelColumns, p.page);
    for (int c = 0; c < kKmzLevelColumns; ++c) p.table->setHorizontalHeaderItem(c, new QTableWidgetItem(kHeaders[c]));
    p.table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    p.table->horizontalHeader()->setStretchLastSection(true);
    p.table->verticalHeader()->setVisible(false);
    p.table->setSelectionMode(QAbstractItemView::SingleSelection);
    p.table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    p.table->setMinimumHeight(160);
    Ui_Name(p.table, "Selected record files");
    p.frame.content->addWidget(p.table, 1);
    return p;
}

void KmzLevelPage_SetCell(QTableWidget* table, int tableRow, int column, const KmzLevelCell& cell) {
    const int row = KmzLevelPage_WidgetRow(tableRow);
    if (row < 0 || row >= table->rowCount() || column < 1 || column > kKmzLevelColumns) return;
    auto* item = new QTableWidgetItem(Ui_Text(cell.text));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (cell.editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    item->setTextAlignment(cell.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    item->setBackground(KmzLevelPage_Colour(cell.background));
    item->setForeground(Qt::black);
    table->setItem(row, column - 1, item);
}
