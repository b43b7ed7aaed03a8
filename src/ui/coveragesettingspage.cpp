#include "ui/coveragesettingspage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "coverage/grid.h"
#include "export/gis/giswriter.h"
#include "export/kmz/levelconfig.h"
#include "ui/uishell.h"

namespace {

constexpr const char* kHelp =
    "Every valid, positioned sample is binned into the square cells of a UTM grid, per standard and frequency. Each "
    "cell gets its statistics and, against the channel's planning threshold, the share of samples meeting it, the "
    "location probability of the level and a class.";

QWidget* ThresholdSection(CoverageSettingsPage& p, QWidget* parent) {
    auto* box = new QGroupBox("Planning thresholds", parent);
    auto* layout = new QVBoxLayout(box);
    auto* note = new QLabel("A number in the unit shown (a level may name another level unit: \"-50 dBm\"). "
                            "Empty: no threshold.",
                            box);
    note->setWordWrap(true);
    layout->addWidget(note);
    p.thresholds = new QTableWidget(0, kCoverageColumns, box);
    p.thresholds->setHorizontalHeaderLabels({"Channel", "Unit", "Threshold"});
    p.thresholds->verticalHeader()->setVisible(false);
    p.thresholds->setSelectionMode(QAbstractItemView::SingleSelection);
    p.thresholds->setEditTriggers(QAbstractItemView::AllEditTriggers);
    p.thresholds->setWordWrap(false);
    QHeaderView* header = p.thresholds->horizontalHeader();
    header->setSectionResizeMode(kCoverageColChannel, QHeaderView::Stretch);
    header->setSectionResizeMode(kCoverageColUnit, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kCoverageColThreshold, QHeaderView::Interactive);
    header->resizeSection(kCoverageColThreshold, 110);
    p.thresholds->setMinimumSize(300, 150);
    Ui_Name(p.thresholds, "Planning thresholds");
    layout->addWidget(p.thresholds, 1);
    return box;
}

QWidget* AnalysisSection(CoverageSettingsPage& p, QWidget* parent) {
    auto* box = new QGroupBox("Analysis", parent);
    auto* form = new QFormLayout(box);
    p.cellSize = new QComboBox(box);
    for (int metres : kCoverageCellSizes) p.cellSize->addItem(QString("%1 m").arg(metres), metres);
    Ui_Name(p.cellSize, "Cell size");
    form->addRow("Cell size:", p.cellSize);
    p.unit = new QComboBox(box);
    for (int u = 0; u < kKmzUnitCount; ++u) p.unit->addItem(Ui_Text(KmzLevel_UnitName(u)));
    Ui_Name(p.unit, "Common level unit");
    form->addRow("Common level unit:", p.unit);
    p.minSamples = new QSpinBox(box);
    p.minSamples->setRange(1, 100000);
    p.minSamples->setToolTip("A cell with fewer valid values of a channel is classed \"insufficient\".");
    Ui_Name(p.minSamples, "Minimum samples per cell");
    form->addRow("Minimum samples per cell:", p.minSamples);
    p.keepStationary = new QCheckBox("Keep samples taken standing still", box);
    p.keepStationary->setToolTip("By default only the first sample of a stop (below 1 km/h) counts.");
    Ui_Name(p.keepStationary, "Keep samples taken standing still");
    form->addRow(p.keepStationary);
    return box;
}

QWidget* OutputSection(CoverageSettingsPage& p, QWidget* parent) {
    auto* box = new QGroupBox("Output", parent);
    p.outputForm = new QFormLayout(box);
    p.format = new QComboBox(box);
    p.format->addItem("GeoPackage (every layer)", QString(kGisGeoPackage));
    p.format->addItem("GeoJSON (cells only)", QString(kGisGeoJson));
    Ui_Name(p.format, "Format");
    p.outputForm->addRow("Format:", p.format);
    auto* row = new QHBoxLayout;
    p.output = new QLineEdit(box);
    p.output->setMinimumWidth(160);
    Ui_Name(p.output, "Output file");
    p.chooseOutput = new QPushButton("Choose...", box);
    Ui_Name(p.chooseOutput, "Choose the output file");
    row->addWidget(p.output, 1);
    row->addWidget(p.chooseOutput);
    p.outputForm->addRow("File:", row);
    return box;
}

}  // namespace

CoverageSettingsPage CoverageSettingsPage_Build(QWidget* parent) {
    CoverageSettingsPage p;
    p.page = new QWidget(parent);
    p.frame = UiWizard_Frame(p.page, "Step 2 of 3: Coverage analysis", kHelp);
    auto* row = new QHBoxLayout;
    row->addWidget(ThresholdSection(p, p.page), 5);
    auto* column = new QVBoxLayout;
    column->addWidget(AnalysisSection(p, p.page));
    column->addWidget(OutputSection(p, p.page));
    column->addStretch(1);
    row->addLayout(column, 4);
    p.frame.content->addLayout(row, 1);
    p.frame.next->setDefault(true);
    return p;
}
