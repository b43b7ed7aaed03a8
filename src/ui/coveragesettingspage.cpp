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
    p.format->addItem("Campaign database (PostGIS)", QString(kCoverageDatabaseFormat));
    p.format->setItemData(2,
                          "The marked files are imported into the campaign database, which then computes the "
                          "coverage of every drive it holds.",
                          Qt::ToolTipRole);
    Ui_Name(p.format, "Format");
    p.outputForm->addRow("Format:", p.format);

    p.fileRow = new QWidget(box);
    auto* file = new QHBoxLayout(p.fileRow);
    file->setContentsMargins(0, 0, 0, 0);
    p.output = new QLineEdit(p.fileRow);
    p.output->setMinimumWidth(160);
    Ui_Name(p.output, "Output file");
    p.chooseOutput = new QPushButton("Choose...", p.fileRow);
    Ui_Name(p.chooseOutput, "Choose the output file");
    file->addWidget(p.output, 1);
    file->addWidget(p.chooseOutput);
    p.outputForm->addRow("File:", p.fileRow);
    p.report = new QCheckBox("Write a report", box);
    Ui_Name(p.report, "Write a report");
    p.outputForm->addRow(p.report);

    // The field takes the whole width (connection texts are long), the test below it.
    p.databaseRow = new QWidget(box);
    auto* db = new QVBoxLayout(p.databaseRow);
    db->setContentsMargins(0, 0, 0, 0);
    p.connection = new QLineEdit(p.databaseRow);
    p.connection->setMinimumWidth(160);
    p.connection->setPlaceholderText("PG:dbname=... host=... user=...");
    p.connection->setToolTip("The database as GDAL names it. The password comes from PGPASSWORD or ~/.pgpass, "
                             "never from this field.");
    Ui_Name(p.connection, "Database connection");
    p.testConnection = new QPushButton("Test connection", p.databaseRow);
    Ui_Name(p.testConnection, "Test connection");
    p.testConnection->setMinimumWidth(p.testConnection->sizeHint().width() + 16);
    auto* test = new QHBoxLayout;
    test->addWidget(p.testConnection);
    test->addStretch(1);
    db->addWidget(p.connection);
    db->addLayout(test);
    p.outputForm->addRow("Database:", p.databaseRow);
    p.connectionResult = new QLabel(box);
    p.connectionResult->setWordWrap(true);
    p.connectionResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Ui_Name(p.connectionResult, "Connection result");
    p.outputForm->addRow(p.connectionResult);
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
