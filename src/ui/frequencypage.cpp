#include "ui/frequencypage.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

#include "drivetest/wizard.h"
#include "ui/frequencycells.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

constexpr const char* kTitle = "Drive test: frequencies";
constexpr const char* kHelp =
    "Enter the signals each TV analyzer measures: a description, the centre frequency and the demodulation "
    "parameters. A cell opens for typing as soon as it is selected. [+] adds an entry to an analyzer's block, "
    "[x] deletes one.";
constexpr int kButtonColumn = 1;  // widget column of the add/delete buttons

QTableWidget* MakeTable(QWidget* parent, const QString& name) {
    auto* t = new QTableWidget(0, 0, parent);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(std::max(30, t->fontMetrics().height() + 14));
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    t->horizontalHeader()->setHighlightSections(false);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setWordWrap(false);
    Ui_Name(t, name);
    return t;
}

// Public only through the base class.
int ContentWidth(const QAbstractItemView* view, int column) { return view->sizeHintForColumn(column); }

// The widget's rectangle in page coordinates.
QRect PageRect(const QWidget* page, const QWidget* widget) { return QRect(widget->mapTo(page, QPoint(0, 0)), widget->size()); }

}  // namespace

FrequencyPage::FrequencyPage(QWidget* parent) : QWidget(parent) {
    Ui_Name(this, kTitle);
    const UiWizardFrame frame = UiWizard_Frame(this, kTitle, kHelp);
    home_ = frame.home;
    previous_ = frame.previous;
    next_ = frame.next;

    table_ = MakeTable(this, "Frequencies");
    table_->setMinimumHeight(180);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    // What an editor ends with goes to the module, which redraws the row with what it took.
    table_->setItemDelegate(new FrequencyCellDelegate(table_, [](int row, int column, const QString& text) {
        onDtFreqTable(FreqTableEvent::ValueCommitted, row + 2, column + 1, Ui_Latin1(text));
    }));
    help_ = std::make_unique<ColumnHelp>(table_);

    auto* heading = new QLabel(Ui_Text(kFreqRecentHeading), this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    auto* hint = new QLabel(Ui_Text(kFreqRecentHint), this);
    hint->setWordWrap(true);
    recent_ = MakeTable(this, Ui_Text(kFreqRecentHeading));
    recent_->setMinimumHeight(140);
    recent_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    // The floating copy of a dragged entry: drawn over the page, never in the way of the mouse.
    floating_ = MakeTable(this, "Dragged entry");
    floating_->horizontalHeader()->setVisible(false);
    floating_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    floating_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    floating_->setAttribute(Qt::WA_TransparentForMouseEvents);
    floating_->setFocusPolicy(Qt::NoFocus);
    floating_->hide();

    frame.content->addWidget(table_, 3);
    frame.content->addSpacing(6);
    frame.content->addWidget(heading);
    frame.content->addWidget(hint);
    frame.content->addWidget(recent_, 2);

    // Every mouse event over the page is dispatched by position; the tables'
    // own areas keep theirs, so that nothing reaches the page twice.
    setMouseTracking(true);
    installEventFilter(this);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(table_), static_cast<QAbstractItemView*>(recent_),
                                    static_cast<QAbstractItemView*>(table_->horizontalHeader()),
                                    static_cast<QAbstractItemView*>(recent_->horizontalHeader())}) {
        view->viewport()->setMouseTracking(true);
        view->viewport()->setAttribute(Qt::WA_NoMousePropagation);
        view->viewport()->installEventFilter(this);
    }

    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (applying_ || row < 0 || column < 0) return;
        if (onDtFreqTable(FreqTableEvent::ActiveCellChanged, row + 2, column + 1) == 1) Ui_AutoEdit(table_);
    });
    connect(recent_, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (applying_ || dragging_ || row < 0 || column != kButtonColumn) return;
        onDtFreqTableRecent(row + 2, column + 1);
        // Off the button again, so that the entry moving up can be deleted with the next press.
        Ui_PostTo(this, [this, row] {
            apply([&] {
                if (recent_->rowCount() == 0) recent_->setCurrentIndex({});
                else recent_->setCurrentCell(std::min(row, recent_->rowCount() - 1), kButtonColumn + 1);
            });
        });
    });
    connect(home_, &QPushButton::clicked, this, [] { onDtFreqHome(); });
    connect(previous_, &QPushButton::clicked, this, [] { onDtFreqPrevious(); });
    connect(next_, &QPushButton::clicked, this, [] { onDtFreqNext(); });
}

FrequencyPage::~FrequencyPage() {
    if (cursorSet_) QApplication::restoreOverrideCursor();
}

template <class Fn>
void FrequencyPage::apply(Fn fn) {
    const bool was = applying_;
    applying_ = true;
    fn();
    applying_ = was;
}

// ---- View calls: each queued to the main thread in call order ----

void FrequencyPage::frequencyColumns(const std::vector<FrequencyColumnView>& columns) {
    Ui_PostTo(this, [this, columns] {
        apply([&] {
            help_->clear();
            helpColumn_ = 0;
            widths_.clear();
            for (const auto& c : columns) widths_.push_back(c.width);
            setColumns(table_, columns);
            scheduleFit();
        });
    });
}

void FrequencyPage::frequencyRowInserted(int row, const FrequencyRowView& cells) {
    Ui_PostTo(this, [this, row, cells] {
        apply([&] {
            if (row < 2 || row - 2 > table_->rowCount()) return;
            table_->insertRow(row - 2);
            FrequencyCells_Apply(table_, row - 2, cells);
            scheduleFit();
        });
    });
}

void FrequencyPage::frequencyRowDeleted(int row) {
    Ui_PostTo(this, [this, row] {
        apply([&] {
            if (row >= 2 && row - 2 < table_->rowCount()) table_->removeRow(row - 2);
        });
    });
}

void FrequencyPage::frequencyRowChanged(int row, const FrequencyRowView& cells) {
    Ui_PostTo(this, [this, row, cells] {
        apply([&] {
            FrequencyCells_Apply(table_, row - 2, cells);
            scheduleFit();
        });
    });
}

void FrequencyPage::frequencyFocus(int row, int column) {
    Ui_PostTo(this, [this, row, column] {
        apply([&] {
            if (row >= 2 && row - 2 < table_->rowCount() && column >= 1 && column <= table_->columnCount())
                table_->setCurrentCell(row - 2, column - 1);
        });
    });
}

void FrequencyPage::recentColumns(const std::vector<FrequencyColumnView>& columns, int dragTableWidth) {
    Ui_PostTo(this, [this, columns, dragTableWidth] {
        apply([&] {
            // A list loaded anew ends a drag of an entry of the old one.
            hideDrag();
            dragging_ = false;
            dragWidth_ = dragTableWidth;
            recentWidths_.clear();
            for (const auto& c : columns) recentWidths_.push_back(c.width);
            setColumns(recent_, columns);
            floating_->setColumnCount(static_cast<int>(columns.size()));
            floating_->setRowCount(0);
            // The first column of an entry is always empty.
            if (!columns.empty()) floating_->setColumnHidden(0, true);
            scheduleFit();
        });
    });
}

void FrequencyPage::recentRowInserted(int row, const FrequencyRowView& cells) {
    Ui_PostTo(this, [this, row, cells] {
        apply([&] {
            if (row < 2 || row - 2 > recent_->rowCount()) return;
            recent_->insertRow(row - 2);
            FrequencyCells_Apply(recent_, row - 2, cells);
            scheduleFit();
        });
    });
}

void FrequencyPage::recentRowDeleted(int row) {
    Ui_PostTo(this, [this, row] {
        apply([&] {
            if (row >= 2 && row - 2 < recent_->rowCount()) recent_->removeRow(row - 2);
        });
    });
}

void FrequencyPage::recentRowChanged(int row, const FrequencyRowView& cells) {
    Ui_PostTo(this, [this, row, cells] { apply([&] { FrequencyCells_Apply(recent_, row - 2, cells); }); });
}

void FrequencyPage::helpText(const std::string& text) {
    Ui_PostTo(this, [this, t = Ui_Text(text)] {
        // The text belongs to the header cell the mouse is over.
        if (t.isEmpty() || helpColumn_ < 1) {
            help_->show(0);
            return;
        }
        help_->setText(helpColumn_, t);
        help_->show(helpColumn_);
    });
}

void FrequencyPage::dragStarted(const FrequencyRowView& entry) {
    Ui_PostTo(this, [this, entry] {
        floating_->setRowCount(1);
        FrequencyCells_Apply(floating_, 0, entry);
        floating_->show();
        floating_->raise();
        if (!cursorSet_) QApplication::setOverrideCursor(Qt::ClosedHandCursor);
        cursorSet_ = true;
    });
}

void FrequencyPage::dragEnded() {
    Ui_PostTo(this, [this] { hideDrag(); });
}

void FrequencyPage::hideDrag() {
    floating_->hide();
    if (cursorSet_) QApplication::restoreOverrideCursor();
    cursorSet_ = false;
}

void FrequencyPage::message(const std::string& text) {
    Ui_PostTo(this, [t = Ui_Text(text)] { Ui_Message(t); });
}

// ---- Columns ----

void FrequencyPage::setColumns(QTableWidget* table, const std::vector<FrequencyColumnView>& columns) {
    table->setRowCount(0);
    table->setColumnCount(static_cast<int>(columns.size()));
    const QFontMetrics metrics(table->horizontalHeader()->font());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        auto* header = new QTableWidgetItem(FrequencyCells_Title(columns[c].title, columns[c].width, metrics));
        table->setHorizontalHeaderItem(static_cast<int>(c), header);
    }
}

void FrequencyPage::scheduleFit() {
    if (fitPending_) return;
    fitPending_ = true;
    // Once after a run of row calls (a long recently used list arrives row by row).
    Ui_PostTo(this, [this] {
        fitPending_ = false;
        fitColumns();
    });
}

void FrequencyPage::fitColumns() {
    QHeaderView* header = table_->horizontalHeader();
    QHeaderView* recentHeader = recent_->horizontalHeader();
    const int count = table_->columnCount();
    for (int c = 0; c < count; ++c) {
        int width = c < static_cast<int>(widths_.size()) ? widths_[static_cast<std::size_t>(c)] : 0;
        width = std::max({width, ContentWidth(table_, c), header->sectionSizeHint(c)});
        const bool shared = c < recent_->columnCount();
        // The recent table's first column stays empty but as wide as the
        // label column, so that an entry sits right under the cells it fills.
        if (shared && c > 0) {
            const int own = c < static_cast<int>(recentWidths_.size()) ? recentWidths_[static_cast<std::size_t>(c)] : 0;
            width = std::max({width, own, ContentWidth(recent_, c), recentHeader->sectionSizeHint(c)});
        }
        table_->setColumnWidth(c, width);
        if (shared) recent_->setColumnWidth(c, width);
        if (c < floating_->columnCount()) floating_->setColumnWidth(c, width);
    }
    int width = 2 * floating_->frameWidth();
    for (int c = 1; c < floating_->columnCount(); ++c) width += floating_->columnWidth(c);
    floating_->resize(std::max(width, dragWidth_), floating_->verticalHeader()->defaultSectionSize() +
                                                       2 * floating_->frameWidth());
}

// ---- The mouse over the page ----

FrequencyPage::Hit FrequencyPage::hitAt(QPoint point) const {
    const std::pair<QTableWidget*, FreqPageArea> tables[] = {{table_, FreqPageArea::FrequencyTable},
                                                              {recent_, FreqPageArea::RecentTable}};
    for (const auto& [table, area] : tables) {
        const QHeaderView* header = table->horizontalHeader();
        const QRect headerRect = PageRect(this, header);
        if (header->isVisible() && headerRect.contains(point)) {
            const int column = header->logicalIndexAt(point.x() - headerRect.x());
            return {area, 1, column < 0 ? 0 : column + 1};
        }
        const QRect cells = PageRect(this, table->viewport());
        if (cells.contains(point)) {
            const QPoint at = point - cells.topLeft();
            const int row = table->rowAt(at.y()), column = table->columnAt(at.x());
            return {area, row < 0 ? 0 : row + 2, column < 0 ? 0 : column + 1};
        }
        if (PageRect(this, table).contains(point)) return {area, 0, 0};
    }
    return {};
}

bool FrequencyPage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    auto* m = static_cast<QMouseEvent*>(event);
    if (type != QEvent::MouseMove && m->button() != Qt::LeftButton) return QWidget::eventFilter(watched, event);
    // Only widgets of this page are watched.
    const QPoint point = static_cast<QWidget*>(watched)->mapTo(this, m->position().toPoint());
    const Hit hit = hitAt(point);

    if (type == QEvent::MouseMove) {
        if (dragging_) floating_->move(point - dragOffset_);
        if (hit.area == FreqPageArea::FrequencyTable && hit.row == 1) helpColumn_ = hit.column;
        if (hit.area == FreqPageArea::Elsewhere && !dragging_) onDtFreqFront();
        else onDtFreqTableDragDrop({FreqMouseEvent::Move, hit.area, hit.row, hit.column});
        return false;
    }
    if (type == QEvent::MouseButtonPress) {
        const bool startsDrag = hit.area == FreqPageArea::RecentTable && hit.row >= 2 && hit.column > kButtonColumn + 1;
        if (startsDrag) {
            // The floating table keeps the mouse where it took the row.
            // (It shows the entry from its button column on.)
            const QPoint rowCorner = recent_->viewport()->mapTo(
                this, QPoint(recent_->columnViewportPosition(kButtonColumn), recent_->rowViewportPosition(hit.row - 2)));
            dragOffset_ = point - rowCorner;
            floating_->move(rowCorner);
            dragging_ = true;
        }
        onDtFreqTableDragDrop({FreqMouseEvent::Press, hit.area, hit.row, hit.column});
        // The recent table does not see a press that takes its entry away.
        return startsDrag;
    }
    // The entry lands on the row under the centre of the floating table.
    const Hit drop = dragging_ ? hitAt(floating_->geometry().center()) : hit;
    dragging_ = false;
    onDtFreqTableDragDrop({FreqMouseEvent::Release, drop.area, drop.row, drop.column});
    return false;
}
