#include "ui/gpspanel.h"

#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/uishell.h"

namespace {

constexpr int kValueColumn = 2;  // column 3 of the setup's table
constexpr int kMinimumRole = Qt::UserRole;
constexpr int kMaximumRole = Qt::UserRole + 1;
constexpr const char* kEditedRow = "editedRow";

// The value cell: an integer held to the row's [minimum, maximum].
class InputDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        auto* spin = new QSpinBox(parent);
        spin->setRange(index.data(kMinimumRole).toInt(), index.data(kMaximumRole).toInt());
        spin->setProperty(kEditedRow, index.row());
        Ui_Name(spin, "Value");
        return spin;
    }
};

// The widget the panel lies over: parent, unless that would be turned off with dimmed.
QWidget* Host(QWidget* dimmed, QWidget* parent) {
    for (QWidget* w = parent; w && dimmed; w = w->parentWidget())
        if (w == dimmed) return dimmed->parentWidget() ? dimmed->parentWidget() : parent;
    return parent;
}

QTableWidgetItem* Fixed(const std::string& text, const QColor& colour) {
    auto* item = new QTableWidgetItem(Ui_Text(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setBackground(colour);
    item->setForeground(Qt::black);
    return item;
}

}  // namespace

GpsPanel::GpsPanel(QWidget* dimmed, QWidget* parent) : QWidget(Host(dimmed, parent)), dimmed_(dimmed) {
    Ui_Name(this, "GPS receiver setup");
    card_ = new QFrame(this);
    card_->setFrameShape(QFrame::StyledPanel);
    card_->setAutoFillBackground(true);
    card_->setMinimumWidth(560);
    card_->setMaximumWidth(760);
    auto* outer = new QGridLayout(this);
    outer->addWidget(card_, 1, 1);
    outer->setRowStretch(0, 1);
    outer->setRowStretch(2, 1);
    outer->setColumnStretch(0, 1);
    outer->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(card_);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->setSpacing(12);
    auto* title = new QLabel("GPS receiver setup", card_);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    title->setFont(font);
    auto* intro = new QLabel(
        "Connect the GPS receiver to the TV analyzer and choose it below. The TV analyzer is set up for it and then "
        "asked once a second whether the receiver is there.",
        card_);
    intro->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    receivers_ = new QComboBox(card_);
    receivers_->setMinimumWidth(320);
    receivers_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Ui_Name(receivers_, "GPS receiver");
    form->addRow("GPS receiver:", receivers_);
    layout->addLayout(form);

    inputBox_ = new QGroupBox("Receiver settings", card_);
    auto* inputLayout = new QVBoxLayout(inputBox_);
    inputs_ = new QTableWidget(0, 4, inputBox_);
    inputs_->setHorizontalHeaderLabels({"Input", "", "Value", "Help"});
    inputs_->setColumnHidden(1, true);
    inputs_->verticalHeader()->setVisible(false);
    inputs_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    inputs_->horizontalHeader()->setStretchLastSection(true);
    inputs_->setWordWrap(true);
    inputs_->setSelectionMode(QAbstractItemView::SingleSelection);
    inputs_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    inputs_->setItemDelegateForColumn(kValueColumn, new InputDelegate(inputs_));
    inputs_->setMinimumHeight(110);
    Ui_Name(inputs_, "Receiver settings");
    inputLayout->addWidget(inputs_);
    layout->addWidget(inputBox_, 1);
    inputBox_->hide();

    caption_ = new QLabel("Status", card_);
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    progressBar_ = new QProgressBar(card_);
    progressBar_->setRange(0, 100);
    progressBar_->setMinimumHeight(26);
    Ui_Name(progressBar_, "Setup progress");
    result_ = new QLabel("---", card_);
    result_->setAlignment(Qt::AlignCenter);
    result_->setMinimumHeight(34);
    result_->setFrameShape(QFrame::StyledPanel);
    result_->setAutoFillBackground(true);
    QFont big = result_->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    big.setBold(true);
    result_->setFont(big);
    Ui_Name(result_, "Status");
    progressBar_->hide();
    layout->addWidget(caption_);
    layout->addWidget(progressBar_);
    layout->addWidget(result_);

    auto* buttons = new QHBoxLayout;
    close_ = new QPushButton("Close", card_);
    close_->setMinimumSize(110, 36);
    Ui_Name(close_, "Close");
    buttons->addStretch(1);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    connect(receivers_, &QComboBox::activated, this, [this](int index) {
        if (!applying_) onGsRing(index);
    });
    connect(close_, &QPushButton::clicked, this, [] { onGsClose(); });
    connectInputs();
    if (parentWidget()) parentWidget()->installEventFilter(this);
    hide();
}

void GpsPanel::connectInputs() {
    // Moving onto a value opens it for editing half a second later (a cell
    // moved onto is never in edit mode yet: the move closed any editor).
    connect(inputs_, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (!applying_ && row >= 0 && column == kValueColumn) Ui_AutoEdit(inputs_);
    });
    // A value that leaves edit mode sends the current cell back to the start of its row,
    // so that moving onto the value again opens it again. (Connected after the view's own
    // handling of the editor's closing, so this placement wins.)
    connect(inputs_->itemDelegateForColumn(kValueColumn), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget* editor) {
                const int row = editor->property(kEditedRow).toInt();
                if (!applying_ && row < inputs_->rowCount()) inputs_->setCurrentCell(row, 0);
            });
    connect(inputs_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!applying_ && item->column() == kValueColumn) onGsTable(item->row() + 1, item->data(Qt::EditRole).toInt());
    });
}

// ---- View calls (any thread, queued in order) ----

void GpsPanel::showReceivers(const std::vector<std::string>& names) {
    Ui_PostTo(this, [this, names] {
        applying_ = true;
        receivers_->clear();
        for (const auto& name : names) receivers_->addItem(Ui_Text(name));
        receivers_->setCurrentIndex(names.empty() ? -1 : 0);
        applying_ = false;
    });
}

void GpsPanel::setControlsEnabled(bool enabled) {
    Ui_PostTo(this, [this, enabled] {
        receivers_->setEnabled(enabled);
        inputs_->setEnabled(enabled);
    });
}

void GpsPanel::showInputs(const std::vector<GpsSetupInputRow>& rows) {
    Ui_PostTo(this, [this, rows] {
        applying_ = true;
        inputs_->setRowCount(0);
        inputs_->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const GpsSetupInputRow& row = rows[static_cast<std::size_t>(r)];
            const QColor colour(row.colour.r, row.colour.g, row.colour.b);
            inputs_->setItem(r, 0, Fixed(row.description, colour));
            inputs_->setItem(r, 1, Fixed("", colour));
            auto* value = new QTableWidgetItem;
            value->setData(Qt::EditRole, row.minimum);
            value->setData(kMinimumRole, row.minimum);
            value->setData(kMaximumRole, row.maximum);
            value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            value->setBackground(colour);
            value->setForeground(Qt::black);
            inputs_->setItem(r, kValueColumn, value);
            inputs_->setItem(r, 3, Fixed(row.help, colour));
        }
        inputs_->resizeColumnToContents(0);
        inputs_->setColumnWidth(kValueColumn, std::max(90, inputs_->columnWidth(kValueColumn)));
        if (!rows.empty()) inputs_->setCurrentCell(0, 0);
        inputBox_->setVisible(!rows.empty());
        applying_ = false;
    });
}

void GpsPanel::showProgress(const std::string& caption, int percent) {
    Ui_PostTo(this, [this, caption, percent] {
        caption_->setText(Ui_Text(caption));
        progressBar_->setValue(std::clamp(percent, 0, 100));
        result_->hide();
        progressBar_->show();
    });
}

void GpsPanel::showResult(const std::string& caption, const std::string& text, RowColour colour) {
    Ui_PostTo(this, [this, caption, text, colour] {
        caption_->setText(Ui_Text(caption));
        result_->setText(Ui_Text(text));
        QPalette p = result_->palette();
        p.setColor(QPalette::Window, QColor(colour.r, colour.g, colour.b));
        p.setColor(QPalette::WindowText, Qt::black);
        result_->setPalette(p);
        progressBar_->hide();
        result_->show();
    });
}

void GpsPanel::showPanel(bool shown) {
    Ui_PostTo(this, [this, shown] {
        if (!shown) {
            hide();
            return;
        }
        if (parentWidget()) setGeometry(parentWidget()->rect());
        show();
        raise();
        receivers_->setFocus();
    });
}

void GpsPanel::setMainTabsEnabled(bool enabled) {
    Ui_PostTo(this, [this, enabled] {
        if (dimmed_) dimmed_->setEnabled(enabled);
    });
}

// ---- Over the window ----

bool GpsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void GpsPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 110));
}
