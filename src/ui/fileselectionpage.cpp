#include "ui/fileselectionpage.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/text.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

enum Column { kColumnMark = 0, kColumnDescription, kColumnCreated, kColumnSamples, kColumnCount };

QPushButton* Button(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    Ui_Name(button, text);
    return button;
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    // Marks are kept by the selection module: no cell edits or toggles itself.
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(alignment);
    return item;
}

void ShowMarkState(QTableWidgetItem* item, bool marked) {
    item->setCheckState(marked ? Qt::Checked : Qt::Unchecked);
    item->setData(Qt::AccessibleTextRole, marked ? QStringLiteral("Marked") : QStringLiteral("Not marked"));
}

}  // namespace

FileSelectionPage::FileSelectionPage(QWidget* parent) : QWidget(parent) {
    title_ = new QLabel(this);
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    Ui_Name(title_, "Page title");
    Ui_Name(hint_, "Hint");

    auto* folderLabel = new QLabel(tr("Folder:"), this);
    directory_ = new QLineEdit(this);
    directory_->setReadOnly(true);
    directory_->setMinimumWidth(260);
    folderLabel->setBuddy(directory_);
    Ui_Name(directory_, "Folder");
    folder_ = Button(tr("Choose folder..."), this);
    refresh_ = Button(tr("Refresh"), this);

    auto* standardLabel = new QLabel(tr("Standard:"), this);
    standard_ = new QComboBox(this);
    standard_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    standard_->setMinimumContentsLength(14);
    standardLabel->setBuddy(standard_);
    Ui_Name(standard_, "Standard");
    auto* frequencyLabel = new QLabel(tr("Frequency:"), this);
    frequency_ = new QComboBox(this);
    frequency_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    frequency_->setMinimumContentsLength(16);
    frequencyLabel->setBuddy(frequency_);
    Ui_Name(frequency_, "Frequency");
    markAll_ = Button(tr("Mark all"), this);
    markNone_ = Button(tr("Mark none"), this);

    table_ = new QTableWidget(0, kColumnCount, this);
    table_->setHorizontalHeaderLabels({tr("Mark"), tr("Description"), tr("Created"), tr("Samples")});
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setMinimumSize(520, 220);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(kColumnMark, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kColumnDescription, QHeaderView::Stretch);
    header->setSectionResizeMode(kColumnCreated, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kColumnSamples, QHeaderView::ResizeToContents);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 14);
    table_->installEventFilter(this);
    Ui_Name(table_, "Record files");

    home_ = Button(tr("Home"), this);
    previous_ = Button(tr("Previous"), this);
    next_ = Button(tr("Next"), this);
    next_->setDefault(true);
    for (QPushButton* b : {home_, previous_, next_}) b->setMinimumWidth(110);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(directory_, 1);
    folderRow->addWidget(folder_);
    folderRow->addWidget(refresh_);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(standardLabel);
    filterRow->addWidget(standard_);
    filterRow->addSpacing(16);
    filterRow->addWidget(frequencyLabel);
    filterRow->addWidget(frequency_);
    filterRow->addStretch(1);
    filterRow->addWidget(markAll_);
    filterRow->addWidget(markNone_);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(home_);
    buttonRow->addStretch(1);
    buttonRow->addWidget(previous_);
    buttonRow->addWidget(next_);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kUiPageMarginX, kUiPageMarginY, kUiPageMarginX, kUiPageMarginY);
    page->setSpacing(kUiPageSpacing);
    page->addWidget(title_);
    page->addWidget(hint_);
    page->addLayout(folderRow);
    page->addLayout(filterRow);
    page->addWidget(table_, 1);
    page->addLayout(buttonRow);

    connect(folder_, &QPushButton::clicked, this, [] { onFileSelectionDir(); });
    connect(refresh_, &QPushButton::clicked, this, [] { onFileSelectionRefresh(); });
    // activated: only the user's choice, never the lists the module puts in.
    connect(standard_, &QComboBox::activated, this,
            [this](int index) { onFileSelectionUpdateStandard(Ui_Latin1(standard_->itemText(index))); });
    connect(frequency_, &QComboBox::activated, this,
            [this](int index) { onFileSelectionUpdateFrequency(Ui_Latin1(frequency_->itemText(index))); });
    // Each press on a mark cell toggles it, so a double click toggles twice like two clicks.
    connect(table_, &QTableWidget::cellClicked, this, [](int row, int column) { onFileSelectionTable(row + 1, column + 1); });
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [](int row, int column) { onFileSelectionTable(row + 1, column + 1); });
    connect(markAll_, &QPushButton::clicked, this, [] { onFileSelectionAll(); });
    connect(markNone_, &QPushButton::clicked, this, [] { onFileSelectionNone(); });
    connect(home_, &QPushButton::clicked, this, [] { onFileSelectionHome(); });
    // The page before the first step is the start page.
    connect(previous_, &QPushButton::clicked, this, [] { onFileSelectionHome(); });
    connect(next_, &QPushButton::clicked, this, [] { onFileSelectionNext(); });
}

// Space toggles the mark of the current row, for the keyboard and screen readers.
bool FileSelectionPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space && table_->currentRow() >= 0) {
        onFileSelectionTable(table_->currentRow() + 1, kColumnMark + 1);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FileSelectionPage::setPageTexts(const std::string& title, const std::string& hint) {
    Ui_PostTo(this, [this, title = Ui_Text(title), hint = Ui_Text(hint)] {
        title_->setText(title);
        hint_->setText(hint);
    });
}

void FileSelectionPage::showModeControls(int mode) {
    // Marking every file at once makes sense only where many files are taken (not for the KMZ map).
    Ui_PostTo(this, [this, mode] {
        const bool many = mode == kSelectionModeCsv || mode == kSelectionModeCoverage;
        markAll_->setVisible(many);
        markNone_->setVisible(many);
    });
}

void FileSelectionPage::showDirectory(const std::string& directory) {
    Ui_PostTo(this, [this, directory = Ui_PathText(directory)] {
        directory_->setText(directory);
        directory_->setToolTip(directory);
        directory_->setCursorPosition(0);
    });
}

void FileSelectionPage::setListEnabled(bool enabled) {
    Ui_PostTo(this, [this, enabled] {
        for (QWidget* w : std::initializer_list<QWidget*>{table_, standard_, frequency_, markAll_, markNone_, next_})
            w->setEnabled(enabled);
    });
}

void FileSelectionPage::fillCombo(QComboBox* combo, const std::vector<std::string>& items, int selected) {
    const QSignalBlocker block(combo);
    combo->clear();
    for (const auto& item : items) combo->addItem(Ui_Text(item));
    combo->setCurrentIndex(selected);
}

void FileSelectionPage::setStandardFilter(const std::vector<std::string>& items, int selected) {
    Ui_PostTo(this, [this, items, selected] { fillCombo(standard_, items, selected); });
}

void FileSelectionPage::setFrequencyFilter(const std::vector<std::string>& items, int selected) {
    Ui_PostTo(this, [this, items, selected] { fillCombo(frequency_, items, selected); });
}

void FileSelectionPage::paintShade(int tableRow, const RowShade& shade) {
    const QBrush brush(QColor(shade.red, shade.green, shade.blue));
    for (int column = 0; column < kColumnCount; ++column)
        if (QTableWidgetItem* item = table_->item(tableRow, column)) {
            item->setBackground(brush);
            // The shades are light whatever the desktop theme: keep the text dark on them.
            item->setForeground(QBrush(Qt::black));
        }
}

void FileSelectionPage::setRows(const std::vector<FileSelectionRow>& rows) {
    Ui_PostTo(this, [this, rows] {
        table_->setRowCount(0);
        table_->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const FileSelectionRow& row = rows[static_cast<std::size_t>(r)];
            auto* mark = Cell(QString(), Qt::AlignCenter);
            ShowMarkState(mark, false);
            table_->setItem(r, kColumnMark, mark);
            table_->setItem(r, kColumnDescription, Cell(Ui_Text(row.description)));
            table_->setItem(r, kColumnCreated, Cell(Ui_Text(row.created)));
            table_->setItem(r, kColumnSamples, Cell(Ui_Text(row.samples), Qt::AlignRight | Qt::AlignVCenter));
            paintShade(r, row.shade);
        }
    });
}

void FileSelectionPage::setMark(int row, bool marked) {
    Ui_PostTo(this, [this, row, marked] {
        if (QTableWidgetItem* item = table_->item(row - 1, kColumnMark)) ShowMarkState(item, marked);
    });
}

void FileSelectionPage::shadeRows(const std::vector<RowShade>& shades) {
    Ui_PostTo(this, [this, shades] {
        for (int r = 0; r < static_cast<int>(shades.size()) && r < table_->rowCount(); ++r)
            paintShade(r, shades[static_cast<std::size_t>(r)]);
    });
}

std::optional<std::string> FileSelectionPage::chooseDirectory(const std::string& title, const std::string& start) {
    const QString chosen = QFileDialog::getExistingDirectory(this, Ui_Text(title), Ui_PathText(start));
    if (chosen.isEmpty()) return std::nullopt;
    return Ui_PathBytes(chosen);
}

void FileSelectionPage::showMessage(const std::string&, const std::string& text) {
    // Ui_Message titles every box "Fieldtrace", the title the module asks for.
    Ui_Post([text = Ui_Text(text)] { Ui_Message(text); });
}

void FileSelectionPage::showStartPage() {
    Ui_Post([] { Ui_ShowPage(kPageStart); });
}
