#include "ui/antennaeditor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "antenna/antennacsv.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui/kfactorplot.h"
#include "ui/uishell.h"

namespace {

// Column 0 of both tables holds the add or delete button; row 0 is the entry row.
constexpr int kButtonColumn = 0;
constexpr int kNameColumn = 1, kStartColumn = 2, kStopColumn = 3;
constexpr int kFrequencyColumn = 1, kKFactorColumn = 2;

const char* const kInvalidNameText =
    "The new antenna name must consist of at least one character.\n"
    "Do not use the following characters: \\ / * ? \" < > | :";
const char* const kNameExistsText = "The new antenna name does already exist.";
const char* const kDeleteQuestion = "Do you really want do delete this antenna?";
const char* const kListFullText = "The maximum number of list entries has been reached.\nNo more entries are possible.";
const char* const kPointExistsText = "This frequency list entry does already exist.";

// Fixed light shades with dark text, so the rows read alike in any theme.
const QColor kEntryShade(255, 248, 214);
const QColor kSelectedShade(196, 222, 255);
const QColor kEvenShade(255, 255, 255);
const QColor kOddShade(238, 242, 247);

// Sets the text of a cell, creating it on first use.
void SetCell(QTableWidget* table, int row, int column, const QString& text, bool editable) {
    if (QTableWidgetItem* item = table->item(row, column)) {
        item->setText(text);
        return;
    }
    table->setItem(row, column, Ui_TableCell(text, editable));
}

void ShadeRow(QTableWidget* table, int row, const QColor& shade, bool bold) {
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem* item = table->item(row, c);
        if (!item) continue;
        item->setBackground(shade);
        item->setForeground(QColor(20, 20, 20));
        QFont f = item->font();
        f.setBold(bold);
        item->setFont(f);
    }
}

QTableWidget* MakeTable(const QStringList& headers, const QString& name) {
    auto* table = new QTableWidget(1, static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(kButtonColumn, QHeaderView::ResizeToContents);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() * 2);
    Ui_Name(table, name);
    return table;
}

QPushButton* RowButton(const QString& text, const QString& name, int row) {
    auto* button = new QPushButton(text);
    button->setProperty("row", row);
    button->setFocusPolicy(Qt::TabFocus);
    Ui_Name(button, name);
    return button;
}

// The path as the file system wants it (the local 8-bit encoding, UTF-8 here).
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString DefaultChooser(bool save, const QString& caption, const QString& directory, const QString& proposed) {
    QFileDialog dialog(nullptr, caption, directory, "CSV files (*.csv)");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("csv");
    if (!proposed.isEmpty()) dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

// A number typed into a cell, read in the C locale; false for anything else.
bool CellNumber(const QTableWidgetItem* item, double& value) {
    return item && Text_ParseDouble(Ui_Latin1(item->text()), value) && std::isfinite(value);
}

}  // namespace

AntennaEditor::AntennaEditor(QWidget* parent) : QWidget(parent, Qt::Window), chooser_(DefaultChooser) {
    setWindowTitle("Antenna editor - Fieldtrace");
    Ui_Name(this, "Antenna editor");

    // Antenna types.
    antennas_ = MakeTable({"", "Antenna", "Start [MHz]", "Stop [MHz]"}, "Antenna types");
    // The name takes the room; the frequencies keep their width, so no name is cut while there is space.
    for (int c : {kStartColumn, kStopColumn})
        antennas_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    auto* addAntennaButton = RowButton("Add", "Add antenna", 0);
    antennas_->setCellWidget(0, kButtonColumn, addAntennaButton);
    antennas_->setItem(0, kNameColumn, Ui_TableCell({}, true));
    antennas_->setItem(0, kStartColumn, Ui_TableCell({}, false));
    antennas_->setItem(0, kStopColumn, Ui_TableCell({}, false));
    antennas_->item(0, kNameColumn)->setToolTip("Type the name of a new antenna here, then press Add.");
    connect(addAntennaButton, &QPushButton::clicked, this, [this] { addAntenna(); });
    connect(antennas_, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (filling_) return;  // rows removed by the editor move the current cell, not the user
        if (row == 0 && column == kNameColumn) Ui_AutoEdit(antennas_);
        if (row >= 1 && column >= kNameColumn) selectAntenna(row);
    });
    connect(antennas_, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (row >= 1 && column >= kNameColumn) selectAntenna(row);
    });
    auto* antennaBox = new QGroupBox("Antenna types");
    auto* antennaLayout = new QVBoxLayout(antennaBox);
    antennaLayout->addWidget(antennas_);

    // K-factor points of the selected antenna.
    points_ = MakeTable({"", "Frequency [MHz]", "K-Factor [dB/m]"}, "K-factor points");
    auto* addPointButton = RowButton("Add", "Add K-factor", 0);
    points_->setCellWidget(0, kButtonColumn, addPointButton);
    points_->setItem(0, kFrequencyColumn, Ui_TableCell({}, true));
    points_->setItem(0, kKFactorColumn, Ui_TableCell({}, true));
    connect(addPointButton, &QPushButton::clicked, this, [this] { addPoint(); });
    connect(points_, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (row >= 0 && column >= kFrequencyColumn) Ui_AutoEdit(points_);
    });
    connect(points_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling_ && item->row() >= 1) editPoint(item->row(), item->column());
    });

    import_ = new QPushButton("Import .csv...");
    export_ = new QPushButton("Export .csv...");
    Ui_Name(import_, "Import .csv");
    Ui_Name(export_, "Export .csv");
    for (QPushButton* b : {import_, export_}) b->setToolTip(kAntennaCsvToolTip);
    connect(import_, &QPushButton::clicked, this, [this] { importCsv(); });
    connect(export_, &QPushButton::clicked, this, [this] { exportCsv(); });

    plot_ = new KFactorPlot;
    hint_ = new QLabel("Enter at least 2 K-factors to see the curve.");
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setWordWrap(true);
    Ui_Name(hint_, "Curve hint");
    graphStack_ = new QStackedWidget;
    graphStack_->addWidget(hint_);
    graphStack_->addWidget(plot_);

    pointSide_ = new QGroupBox("K-factors");
    pointTitle_ = new QLabel;
    auto* csvRow = new QHBoxLayout;
    csvRow->addWidget(import_);
    csvRow->addWidget(export_);
    csvRow->addStretch();
    auto* pointColumn = new QVBoxLayout;
    pointColumn->addWidget(pointTitle_);
    pointColumn->addWidget(points_, 1);
    pointColumn->addLayout(csvRow);
    auto* pointLayout = new QHBoxLayout(pointSide_);
    pointLayout->addLayout(pointColumn, 2);
    pointLayout->addWidget(graphStack_, 3);

    close_ = new QPushButton("Close");
    Ui_Name(close_, "Close");
    connect(close_, &QPushButton::clicked, this, [this] { close(); });

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(antennaBox);
    splitter->addWidget(pointSide_);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 5);
    splitter->setChildrenCollapsible(false);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);

    antennaBox->setMinimumWidth(420);
    points_->setMinimumWidth(296);  // with the curve's minimum, the editor fits a 1024-pixel screen
    resize(1280, 640);
    refreshColours();
    enablePointSide(false);
}

// ---------------------------------------------------------------------------
// The view the antenna module fills

void AntennaEditor::setRows(const std::vector<AntennaTableRow>& rows) {
    QPointer<AntennaEditor> self(this);
    Ui_Post([self, rows] {
        if (!self) return;
        // The list was replaced: positions may name other antennas now.
        const int keep = self->selected_;
        self->fillAntennaRows(rows);
        self->selected_ = -1;
        self->enablePointSide(false);
        if (keep >= 1 && keep <= static_cast<int>(rows.size())) self->selectAntenna(keep);
        self->refreshColours();
    });
}

void AntennaEditor::selectRow(int position) {
    QPointer<AntennaEditor> self(this);
    Ui_Post([self, position] {
        if (self) self->selectAntenna(position);
    });
}

void AntennaEditor::fillAntennaRows(const std::vector<AntennaTableRow>& rows) {
    filling_ = true;
    const int count = static_cast<int>(rows.size());
    const int before = antennas_->rowCount();
    antennas_->setRowCount(count + 1);
    for (int r = 1; r <= count; ++r) {
        const AntennaTableRow& row = rows[static_cast<std::size_t>(r - 1)];
        const QString name = Ui_Text(row.name);
        if (r >= before) {
            auto* button = RowButton("Delete", {}, r);
            connect(button, &QPushButton::clicked, this, [this, button] { deleteAntenna(button->property("row").toInt()); });
            antennas_->setCellWidget(r, kButtonColumn, button);
        }
        Ui_Name(antennas_->cellWidget(r, kButtonColumn), "Delete antenna " + name);
        SetCell(antennas_, r, kNameColumn, name, false);
        SetCell(antennas_, r, kStartColumn, Ui_Text(row.firstFrequency), false);
        SetCell(antennas_, r, kStopColumn, Ui_Text(row.lastFrequency), false);
    }
    filling_ = false;
    refreshColours();
}

void AntennaEditor::showAntennaRow(int position) {
    AntennaType antenna;
    if (position < 1 || position >= antennas_->rowCount() || !Antenna_Get(position, antenna)) return;
    const AntennaTableRow row = Antenna_TableRow(antenna);
    filling_ = true;
    SetCell(antennas_, position, kStartColumn, Ui_Text(row.firstFrequency), false);
    SetCell(antennas_, position, kStopColumn, Ui_Text(row.lastFrequency), false);
    filling_ = false;
}

void AntennaEditor::fillPointRows() {
    AntennaType antenna;
    if (!Antenna_Get(selected_, antenna)) antenna.kFactors.clear();
    filling_ = true;
    const int count = static_cast<int>(antenna.kFactors.size());
    const int before = points_->rowCount();
    // Rows are added and removed at the end only, so a delete button keeps its row.
    points_->setRowCount(count + 1);
    for (int r = 1; r <= count; ++r) {
        const KFactorPoint& p = antenna.kFactors[static_cast<std::size_t>(r - 1)];
        if (r >= before) {
            auto* button = RowButton("Delete", {}, r);
            connect(button, &QPushButton::clicked, this, [this, button] { deletePoint(button->property("row").toInt()); });
            points_->setCellWidget(r, kButtonColumn, button);
        }
        const QString frequency = QString::fromStdString(Text_FormatFixed(p.frequency, 6));
        Ui_Name(points_->cellWidget(r, kButtonColumn), "Delete K-factor at " + frequency + " MHz");
        SetCell(points_, r, kFrequencyColumn, frequency, true);
        SetCell(points_, r, kKFactorColumn, QString::fromStdString(Text_FormatFixed(p.kFactor, 2)), true);
    }
    pointTitle_->setText(selected_ >= 1 ? "Points of " + Ui_Text(Text_View(antenna.name)) : QString());
    filling_ = false;
    refreshColours();
}

void AntennaEditor::refreshColours() {
    filling_ = true;
    ShadeRow(antennas_, 0, kEntryShade, false);
    for (int r = 1; r < antennas_->rowCount(); ++r)
        ShadeRow(antennas_, r, r == selected_ ? kSelectedShade : (r % 2 ? kEvenShade : kOddShade), r == selected_);
    ShadeRow(points_, 0, kEntryShade, false);
    for (int r = 1; r < points_->rowCount(); ++r) ShadeRow(points_, r, r % 2 ? kEvenShade : kOddShade, false);
    filling_ = false;
}

void AntennaEditor::drawGraph() {
    AntennaType antenna;
    const bool ok = Antenna_Get(selected_, antenna);
    if (ok) showAntennaRow(selected_);
    if (!ok || antenna.kFactors.size() < 2) {
        plot_->setPoints({});
        graphStack_->setCurrentWidget(hint_);
        return;
    }
    plot_->setPoints(antenna.kFactors);
    graphStack_->setCurrentWidget(plot_);
}

void AntennaEditor::enablePointSide(bool on) {
    pointSide_->setEnabled(on);
    if (!on) {
        fillPointRows();
        drawGraph();
    }
}

// ---------------------------------------------------------------------------
// Antennas

void AntennaEditor::addAntenna() {
    QTableWidgetItem* entry = antennas_->item(0, kNameColumn);
    const std::string name = Ui_Latin1(entry->text().trimmed());
    int position = 0;
    const AntennaEdit edit = Antenna_Update([&](AntennaList& list) { return list.addAntenna(name, &position); });
    if (edit == AntennaEdit::InvalidName) return Ui_Message(kInvalidNameText);
    if (edit == AntennaEdit::NameExists) return Ui_Message(kNameExistsText);
    if (edit != AntennaEdit::Ok) return;
    // Inserted at or before the selected antenna: the same antenna stays selected.
    if (selected_ >= position) ++selected_;
    fillAntennaRows(Antenna_TableRows(Antenna_Snapshot()));
    filling_ = true;
    entry->setText({});
    filling_ = false;
    // With nothing selected the new antenna is what the user wants to fill.
    if (selected_ < 1) selectAntenna(position);
    refreshColours();
}

void AntennaEditor::deleteAntenna(int position) {
    if (position < 1 || !Ui_Confirm(kDeleteQuestion)) return;
    if (Antenna_Update([&](AntennaList& list) { return list.removeAntenna(position); }) != AntennaEdit::Ok) return;
    // Rows shrink from the end; texts move up.
    const auto rows = Antenna_TableRows(Antenna_Snapshot());
    if (position == selected_) {
        selected_ = -1;
        enablePointSide(false);
    } else if (position < selected_) {
        --selected_;
    }
    fillAntennaRows(rows);
}

void AntennaEditor::selectAntenna(int position) {
    if (position == selected_ || position < 1 || position > Antenna_Count()) return;
    selected_ = position;
    pointSide_->setEnabled(true);
    fillPointRows();
    drawGraph();
    refreshColours();
}

// ---------------------------------------------------------------------------
// K-factor points

void AntennaEditor::addPoint() {
    if (selected_ < 1) return;
    QTableWidgetItem* fItem = points_->item(0, kFrequencyColumn);
    QTableWidgetItem* kItem = points_->item(0, kKFactorColumn);
    double f = 0.0, k = 0.0;
    if (!CellNumber(fItem, f) || !CellNumber(kItem, k)) return;  // nothing typed yet
    const AntennaEdit edit = Antenna_Update([&](AntennaList& list) { return list.addPoint(selected_, {f, k}); });
    if (edit == AntennaEdit::ListFull) return Ui_Message(kListFullText);
    if (edit == AntennaEdit::PointExists) return Ui_Message(kPointExistsText);
    if (edit != AntennaEdit::Ok) return;
    filling_ = true;
    fItem->setText({});
    kItem->setText({});
    filling_ = false;
    fillPointRows();
    drawGraph();
    points_->setCurrentCell(0, kFrequencyColumn);  // ready for the next point
}

void AntennaEditor::deletePoint(int position) {
    if (Antenna_Update([&](AntennaList& list) { return list.removePoint(selected_, position); }) != AntennaEdit::Ok)
        return;
    fillPointRows();
    drawGraph();
}

void AntennaEditor::editPoint(int row, int column) {
    AntennaType antenna;
    if (!Antenna_Get(selected_, antenna) || row > static_cast<int>(antenna.kFactors.size())) return;
    KFactorPoint point = antenna.kFactors[static_cast<std::size_t>(row - 1)];
    double value = 0.0;
    if (CellNumber(points_->item(row, column), value)) {
        // Only the edited cell changes; the other keeps its full precision.
        (column == kFrequencyColumn ? point.frequency : point.kFactor) = value;
        int moved = row;
        const AntennaEdit edit =
            Antenna_Update([&](AntennaList& list) { return list.changePoint(selected_, row, point, &moved); });
        if (edit == AntennaEdit::PointExists) Ui_Message(kPointExistsText);
        // The cell follows its point once the view has closed the cell editor.
        if (edit == AntennaEdit::Ok && moved != row)
            QTimer::singleShot(0, this, [this, moved, column] { points_->setCurrentCell(moved, column); });
    }
    // Shows the stored values again: re-sorted after a move, restored after a refusal.
    fillPointRows();
    drawGraph();
}

// ---------------------------------------------------------------------------
// CSV

void AntennaEditor::importCsv() {
    if (selected_ < 1) return;
    const QString path = chooser_(false, "Please select the input file", Ui_Text(Platform_DataDirectory()), {});
    if (path.isEmpty()) return;
    AntennaCsvImport result;
    Antenna_Update([&](AntennaList& list) {
        result = AntennaCsv_Import(LocalPath(path), list, selected_);
        return AntennaEdit::Ok;
    });
    if (result.found > 0) {
        fillPointRows();
        drawGraph();
    }
    Ui_Message(QString::fromStdString(AntennaCsv_ImportMessage(result, path.toStdString())));
}

void AntennaEditor::exportCsv() {
    AntennaType antenna;
    if (!Antenna_Get(selected_, antenna)) return;
    const QString proposed = Ui_Text(Text_View(antenna.name)) + ".csv";
    const QString path = chooser_(true, "Please select the output file", Ui_Text(Platform_DataDirectory()), proposed);
    if (path.isEmpty()) return;
    const bool written = AntennaCsv_Export(LocalPath(path), antenna);
    Ui_Message(QString::fromStdString(AntennaCsv_ExportMessage(written, path.toStdString())));
}

// ---------------------------------------------------------------------------
// Opening and closing

void AntennaEditor::open(QWidget* opener, std::function<void()> closed) {
    if (opener) {
        opener->setEnabled(false);
        openers_.emplace_back(opener);
    }
    if (closed) closed_.push_back(std::move(closed));
    open_ = true;
    show();
    raise();
    activateWindow();
}

void AntennaEditor::closeEvent(QCloseEvent* event) {
    event->accept();
    finishClose();
}

void AntennaEditor::saveOnQuit() {
    if (!open_) return;
    // A cell still being typed into counts as typed: losing the focus commits it.
    if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus)) focus->clearFocus();
    Antenna_Save();  // a failure is told once per run by the settings notice
}

void AntennaEditor::finishClose() {
    if (!open_) return;
    saveOnQuit();
    open_ = false;
    const auto openers = std::exchange(openers_, {});
    const auto closed = std::exchange(closed_, {});
    for (const QPointer<QWidget>& opener : openers)
        if (opener) opener->setEnabled(true);
    for (const auto& call : closed) call();
}
