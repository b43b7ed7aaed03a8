#include "ui/hardwarepage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "antenna/antenna.h"
#include "drivetest/wizard.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

constexpr const char* kHelp =
    "Choose the TV analyzers for the drive test and their role. Exactly one of them provides the GPS coordinates. "
    "Rest the mouse on a column title for help.";
constexpr const char* kNotice =
    "No TV analyzer was found. Connect the TV analyzers to this computer's network, switch them on and press "
    "Refresh.";
const char* const kTitles[] = {"Type", "Status", "Role", "Input", "Antenna"};
constexpr int kAntennaMinWidth = 115;
constexpr const char* kCommitted = "committed";  // the combo's value as the wizard holds it

int Percent(double percent) { return static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0))); }

QTableWidgetItem* Cell(const std::string& text, RowColour colour) {
    auto* item = new QTableWidgetItem(Ui_Text(text));
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(QColor(colour.r, colour.g, colour.b));
    item->setForeground(Qt::black);
    return item;
}

}  // namespace

HardwarePage::HardwarePage(QWidget* parent) : QWidget(parent) {
    UiWizardFrame f = UiWizard_Frame(this, "Drive test: TV analyzers", kHelp);
    home_ = f.home;
    previous_ = f.previous;
    next_ = f.next;
    setMouseTracking(true);

    auto* top = new QHBoxLayout;
    rangeCaption_ = new QLabel("Searched networks:", this);
    rangeText_ = new QLabel(this);
    rangeText_->setWordWrap(true);
    rangeText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Ui_Name(rangeText_, "Searched networks");
    refresh_ = new QPushButton("Refresh", this);
    refresh_->setMinimumSize(110, 36);
    Ui_Name(refresh_, "Refresh");
    top->addWidget(rangeCaption_);
    top->addWidget(rangeText_, 1);
    top->addWidget(refresh_);
    f.content->addLayout(top);

    progressBox_ = new QWidget(this);
    auto* progress = new QVBoxLayout(progressBox_);
    progress->setContentsMargins(0, 24, 0, 24);
    progressLabel_ = new QLabel(progressBox_);
    progressLabel_->setAlignment(Qt::AlignCenter);
    progressBar_ = new QProgressBar(progressBox_);
    progressBar_->setRange(0, 100);
    progressBar_->setMinimumHeight(28);
    Ui_Name(progressBar_, "Search progress");
    progress->addWidget(progressLabel_);
    progress->addWidget(progressBar_);
    f.content->addWidget(progressBox_);

    notice_ = new QLabel(kNotice, this);
    notice_->setWordWrap(true);
    notice_->setMargin(12);
    notice_->setFrameShape(QFrame::StyledPanel);
    notice_->setAutoFillBackground(true);
    QPalette p = notice_->palette();
    p.setColor(QPalette::Window, QColor(255, 255, 200));
    p.setColor(QPalette::WindowText, Qt::black);
    notice_->setPalette(p);
    Ui_Name(notice_, "No TV analyzer found");
    f.content->addWidget(notice_);

    table_ = new QTableWidget(0, 4, this);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QFont font = table_->font();
    font.setPointSizeF(font.pointSizeF() * 1.1);
    table_->setFont(font);
    table_->setSelectionMode(QAbstractItemView::NoSelection);  // the row colours stay readable
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setMinimumHeight(180);
    Ui_Name(table_, "TV analyzers");
    f.content->addWidget(table_, 1);
    help_ = std::make_unique<ColumnHelp>(table_);

    // The column help follows the mouse over the title cells.
    table_->horizontalHeader()->viewport()->setMouseTracking(true);
    table_->horizontalHeader()->viewport()->installEventFilter(this);
    table_->viewport()->setMouseTracking(true);
    table_->viewport()->installEventFilter(this);

    for (QWidget* w : {static_cast<QWidget*>(rangeCaption_), static_cast<QWidget*>(rangeText_),
                       static_cast<QWidget*>(progressBox_), static_cast<QWidget*>(notice_), static_cast<QWidget*>(table_)})
        w->hide();
    connect(refresh_, &QPushButton::clicked, this, [] {
        Ui_SetOnTop(1);
        onDtRefresh();
    });
    connect(home_, &QPushButton::clicked, this, [] { onDtHwHome(); });
    connect(previous_, &QPushButton::clicked, this, [] { onDtHwPrevious(); });
    connect(next_, &QPushButton::clicked, this, [] { onDtHwNext(); });
}

// ---- View calls (any thread, queued in order) ----

void HardwarePage::showProgress(const std::string& label, double percent) {
    Ui_PostTo(this, [this, label, percent] {
        progressLabel_->setText(Ui_Text(label));
        progressBar_->setValue(Percent(percent));
        progressBox_->show();
    });
}

void HardwarePage::setProgress(double percent) {
    Ui_PostTo(this, [this, percent] { progressBar_->setValue(Percent(percent)); });
}

void HardwarePage::hideResults() {
    Ui_PostTo(this, [this] {
        notice_->hide();
        rangeCaption_->hide();
        rangeText_->hide();
        table_->hide();
        helpColumn_ = 0;
        help_->show(0);
        next_->setEnabled(false);
        refresh_->setEnabled(false);
    });
}

void HardwarePage::showRangeText(const std::string& text) {
    Ui_PostTo(this, [this, text] {
        rangeText_->setText(Ui_Text(text));
        rangeCaption_->show();
        rangeText_->show();
    });
}

void HardwarePage::showNoAnalyzerNotice() {
    Ui_PostTo(this, [this] {
        progressBox_->hide();
        notice_->show();
    });
}

void HardwarePage::showAnalyzerTable(const std::vector<AnalyzerTableRow>& rows, bool antennaColumn,
                                     const std::vector<std::string>& antennaChoices) {
    Ui_PostTo(this, [this, rows, antennaColumn, antennaChoices] {
        const int columns = antennaColumn ? 5 : 4;
        table_->setRowCount(0);  // drops the choices of the last table with their rows
        table_->setColumnCount(columns);
        for (int c = 0; c < columns; ++c) table_->setHorizontalHeaderItem(c, new QTableWidgetItem(kTitles[c]));
        table_->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const AnalyzerTableRow& row = rows[static_cast<std::size_t>(r)];
            const std::string values[] = {row.type, row.status, row.role, row.input, row.antenna};
            for (int c = 0; c < columns; ++c) table_->setItem(r, c, Cell(values[c], row.colour));
            // Only a usable analyzer offers choices; the others show their values.
            if (!row.roleEditable) continue;
            addChoice(r, 3, AnalyzerTable_Roles(), row.role);
            if (!row.inputChoices.empty()) addChoice(r, 4, row.inputChoices, row.input);
            if (antennaColumn) addChoice(r, 5, antennaChoices, row.antenna);
        }
        table_->resizeColumnsToContents();
        // The status takes the room left: its reasons are the longest texts.
        table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
        if (antennaColumn && table_->columnWidth(4) < kAntennaMinWidth) table_->setColumnWidth(4, kAntennaMinWidth);
        helpColumn_ = 0;
        help_->show(0);
        progressBox_->hide();
        notice_->hide();
        table_->show();
    });
}

void HardwarePage::setActionsEnabled(bool next, bool refresh) {
    Ui_PostTo(this, [this, next, refresh] {
        next_->setEnabled(next);
        refresh_->setEnabled(refresh);
    });
}

void HardwarePage::setCell(int row, int column, const std::string& text) {
    Ui_PostTo(this, [this, row, column, text] {
        const int r = row - 2;
        if (r < 0 || r >= table_->rowCount() || column < 1 || column > table_->columnCount()) return;
        const QString value = Ui_Text(text);
        if (QComboBox* combo = choice(row, column)) {
            const int at = combo->findText(value, Qt::MatchExactly);
            if (at < 0) return;
            combo->setCurrentIndex(at);  // not activated(): the wizard is not called back
            combo->setProperty(kCommitted, at);
        }
        if (QTableWidgetItem* item = table_->item(r, column - 1)) item->setText(value);
    });
}

void HardwarePage::showHelp(const std::string& text) {
    Ui_PostTo(this, [this, text] {
        if (text.empty() || helpColumn_ == 0) {
            help_->show(0);
            return;
        }
        help_->setText(helpColumn_, Ui_Text(text));
        help_->show(helpColumn_);
    });
}

// ---- The table's choices ----

QComboBox* HardwarePage::choice(int row, int column) const {
    QWidget* cell = table_->cellWidget(row - 2, column - 1);
    return cell ? cell->findChild<QComboBox*>() : nullptr;
}

void HardwarePage::addChoice(int widgetRow, int column, const std::vector<std::string>& items, const std::string& current) {
    // A frame without its own background, so that the row colour shows above and
    // below the combo; the combo covers the cell's text from side to side.
    auto* cell = new QWidget;
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 2, 0, 2);
    auto* combo = new QComboBox(cell);
    for (const auto& item : items) combo->addItem(Ui_Text(item));
    combo->setCurrentIndex(std::max(0, combo->findText(Ui_Text(current), Qt::MatchExactly)));
    combo->setProperty(kCommitted, combo->currentIndex());
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Ui_Name(combo, QString("%1 of row %2").arg(kTitles[column - 1]).arg(widgetRow + 1));
    layout->addWidget(combo);
    table_->setCellWidget(widgetRow, column - 1, cell);
    // activated: the user's choice only, also the entry already shown (the edit entry opens the editor again).
    connect(combo, &QComboBox::activated, this,
            [this, combo, widgetRow, column](int index) { chosen(combo, widgetRow, column, index); });
}

void HardwarePage::chosen(QComboBox* combo, int widgetRow, int column, int index) {
    const QString value = combo->itemText(index);
    if (column == 5 && value == Ui_Text(kAntennaEditItem)) {
        // The editor is not an antenna: the cell keeps the antenna the wizard holds
        // until the editor's changes refill the table.
        combo->setCurrentIndex(combo->property(kCommitted).toInt());
        onDtHwTable(widgetRow + 2, column, kAntennaEditItem);
        return;
    }
    combo->setProperty(kCommitted, index);
    if (QTableWidgetItem* item = table_->item(widgetRow, column - 1)) item->setText(value);
    onDtHwTable(widgetRow + 2, column, Ui_Latin1(value));
}

// ---- The mouse and the column help ----

void HardwarePage::mouseAt(int row, int column) {
    if (row == mouseRow_ && column == mouseColumn_) return;
    mouseRow_ = row;
    mouseColumn_ = column;
    if (row == 1) helpColumn_ = column;
    onDtHwTableMouse(row, column);
}

bool HardwarePage::eventFilter(QObject* watched, QEvent* event) {
    QHeaderView* header = table_->horizontalHeader();
    const bool onHeader = watched == header->viewport();
    if (event->type() == QEvent::MouseMove && (onHeader || watched == table_->viewport())) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (onHeader) {
            const int column = header->logicalIndexAt(at);
            if (column >= 0) mouseAt(1, column + 1);
            else mouseAt(0, 0);
        } else {
            const int row = table_->rowAt(at.y()), column = table_->columnAt(at.x());
            if (row >= 0 && column >= 0) mouseAt(row + 2, column + 1);
            else mouseAt(0, 0);
        }
    } else if (event->type() == QEvent::Leave && onHeader) {
        mouseAt(0, 0);
    }
    return QWidget::eventFilter(watched, event);
}

void HardwarePage::mouseMoveEvent(QMouseEvent* event) {
    // The page background: the help goes.
    if (mouseRow_ != -1 || mouseColumn_ != -1) {
        mouseRow_ = mouseColumn_ = -1;
        onDtHwBack();
    }
    QWidget::mouseMoveEvent(event);
}
