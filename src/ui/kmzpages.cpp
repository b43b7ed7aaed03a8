#include "ui/kmzpages.h"

#include <QAbstractItemDelegate>
#include <QLabel>
#include <QVBoxLayout>
#include <cmath>

#include "ui/treepath.h"
#include "ui/uishell.h"

namespace {

constexpr int kChannelRole = Qt::UserRole + 3;  // map channel of a colour tree row

// Runs fn with flag set, so that the widgets' signals it causes are not taken for the user's.
template <class F>
void Applying(bool& flag, F fn) {
    flag = true;
    fn();
    flag = false;
}

// The closing messages name the archive: its path is the file system's bytes.
void ShowBox(const std::string& text) {
    Ui_Post([text] { Ui_Message(Ui_PathText(text)); });
}

}  // namespace

KmzPages::KmzPages(QWidget* parent) : QObject(parent), levelTable_(level_) {
    level_ = KmzLevelPage_Build(parent);
    scope_ = KmzScopePage_Build(parent);
    colour_ = KmzColourPage_Build(parent, [this](int anchor, std::uint32_t colour) {
        KmzColourSet set = colours();
        (anchor == 0 ? set.bad : anchor == 1 ? set.average : set.good) = colour;
        setColours(set);
    });
    buildProgressPage(parent);
    connectLevelPage();
    connectScopePage();
    connectColourPage();
    for (int a = 0; a < 3; ++a)
        KmzColourPage_ShowColour(colour_.colourButtons[a], a == 0 ? colours_.bad : a == 1 ? colours_.average : colours_.good);
}

QWidget* KmzPages::page(int uiPage) const {
    switch (uiPage) {
        case kPageKmzLevels: return level_.page;
        case kPageKmzScope: return scope_.page;
        case kPageKmzColours: return colour_.page;
        case kPageKmzProgress: return progressPage_;
        default: return nullptr;
    }
}

KmzLevelTableView& KmzPages::levelTableView() { return levelTable_; }

void KmzPages::buildProgressPage(QWidget* parent) {
    progressPage_ = new QWidget(parent);
    UiWizardFrame f = UiWizard_Frame(progressPage_, "Step 5 of 5: Writing the KMZ file", {}, false);
    progressHome_ = f.home;
    progressHome_->setEnabled(false);
    progressLabel_ = new QLabel(progressPage_);
    progressLabel_->setAlignment(Qt::AlignCenter);
    progressBar_ = new QProgressBar(progressPage_);
    progressBar_->setRange(0, 100);
    progressBar_->setMinimumHeight(28);
    Ui_Name(progressBar_, "Writing progress");
    f.content->addStretch(1);
    f.content->addWidget(progressLabel_);
    f.content->addWidget(progressBar_);
    f.content->addStretch(1);
    connect(progressHome_, &QPushButton::clicked, this, [] { onKmzProgHome(); });
}

// ---- Level configuration page ----

void KmzPages::connectLevelPage() {
    connect(level_.frame.home, &QPushButton::clicked, this, [] { onKmzLevelConfigurationHome(); });
    connect(level_.frame.previous, &QPushButton::clicked, this, [] { onKmzLevelConfigurationPrevious(); });
    // A cell still open for editing is committed when Next takes the focus.
    connect(level_.frame.next, &QPushButton::clicked, this, [] { onKmzLevelConfigurationNext(); });
    connect(level_.unit, &QComboBox::currentIndexChanged, this, [this] {
        if (!levelTable_.applying) onKmzLevelConfigurationUpdateUnit();
    });
    connect(level_.table, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (!levelTable_.applying && row >= 0 && column >= 0)
            onKmzLevelConfigurationTable(KmzTableEvent::ActiveCellMoved, row + 2, column + 1);
    });
    connect(level_.table->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        if (!levelTable_.applying) onKmzLevelConfigurationTable(KmzTableEvent::EditEnded, 1, 1);
    });
}

void KmzPages::LevelTable::deleteRowsBelowHeader() {
    Ui_PostTo(page_.table, [this] { Applying(applying, [this] { page_.table->setRowCount(0); }); });
}

void KmzPages::LevelTable::appendRow(const std::vector<KmzLevelCell>& cells) {
    Ui_PostTo(page_.table, [this, cells] {
        Applying(applying, [&] {
            const int row = page_.table->rowCount();
            page_.table->insertRow(row);
            for (std::size_t c = 0; c < cells.size(); ++c)
                KmzLevelPage_SetCell(page_.table, row + 2, static_cast<int>(c) + 1, cells[c]);
        });
    });
}

void KmzPages::LevelTable::setCell(int tableRow, int column, const KmzLevelCell& cell) {
    Ui_PostTo(page_.table, [this, tableRow, column, cell] {
        Applying(applying, [&] { KmzLevelPage_SetCell(page_.table, tableRow, column, cell); });
    });
}

std::string KmzPages::LevelTable::cellText(int tableRow, int column) {
    Ui_Flush();
    if (tableRow == 1) {
        const QTableWidgetItem* header = page_.table->horizontalHeaderItem(column - 1);
        return header ? Ui_Latin1(header->text()) : std::string();
    }
    const QTableWidgetItem* item = page_.table->item(KmzLevelPage_WidgetRow(tableRow), column - 1);
    return item ? Ui_Latin1(item->text()) : std::string();
}

void KmzPages::LevelTable::setCellBackground(int tableRow, int column, std::uint32_t colour) {
    Ui_PostTo(page_.table, [this, tableRow, column, colour] {
        if (QTableWidgetItem* item = page_.table->item(KmzLevelPage_WidgetRow(tableRow), column - 1))
            item->setBackground(KmzLevelPage_Colour(colour));
    });
}

int KmzPages::LevelTable::commonUnit() {
    Ui_Flush();
    return page_.unit->currentIndex();
}

void KmzPages::LevelTable::setCommonUnit(int unit) {
    Ui_PostTo(page_.table, [this, unit] {
        if (unit >= 0 && unit < kKmzUnitCount) Applying(applying, [&] { page_.unit->setCurrentIndex(unit); });
    });
}

void KmzPages::LevelTable::showMessage(const std::string& text) { ShowBox(text); }

void KmzPages::LevelTable::startEditing(int tableRow, int column) {
    Ui_PostTo(page_.table, [this, tableRow, column] {
        QTableWidget* table = page_.table;
        const int row = KmzLevelPage_WidgetRow(tableRow);
        if (row < 0 || row >= table->rowCount()) return;
        if (table->currentRow() != row || table->currentColumn() != column - 1)
            Applying(applying, [&] { table->setCurrentCell(row, column - 1); });
        Ui_AutoEdit(table);
    });
}

void KmzPages::LevelTable::setActiveCell(int tableRow, int column) {
    Ui_PostTo(page_.table, [this, tableRow, column] {
        // Row 1 is the header: no cell of the body stays current, so that
        // moving back onto the cell just left opens it again.
        Applying(applying, [&] {
            const int row = KmzLevelPage_WidgetRow(tableRow);
            if (row < 0) page_.table->setCurrentIndex({});
            else page_.table->setCurrentCell(row, column - 1);
        });
    });
}

// ---- Scope page ----

void KmzPages::connectScopePage() {
    connect(scope_.frame.home, &QPushButton::clicked, this, [] { onKmzScopeHome(); });
    connect(scope_.frame.previous, &QPushButton::clicked, this, [] { onKmzScopePrevious(); });
    connect(scope_.frame.next, &QPushButton::clicked, this, [] { onKmzScopeNext(); });
    connect(scope_.markAll, &QPushButton::clicked, this, [] { onKmzScopeMeasAll(); });
    connect(scope_.markNone, &QPushButton::clicked, this, [] { onKmzScopeMeasNone(); });
}

void KmzPages::showLoadLabel(const std::string& label) {
    Ui_PostTo(this, [this, label] { scope_.loadLabel->setText(Ui_Text(label)); });
}

void KmzPages::setLoadProgress(int percent) {
    Ui_PostTo(this, [this, percent] { scope_.loadBar->setValue(percent); });
}

void KmzPages::clearTree() {
    Ui_PostTo(this, [this] { scope_.tree->clear(); });
}

void KmzPages::insertTreeItem(const KmzScopeItem& item) {
    Ui_PostTo(this, [this, item] {
        scopePaths_[item.value] = item.path;
        QTreeWidgetItem* leaf = UiTree_InsertByPath(scope_.tree, item.path, item.label, item.label, item.value);
        leaf->setFlags(leaf->flags() | Qt::ItemIsUserCheckable);
        leaf->setCheckState(0, Qt::Unchecked);
        // Groups check and uncheck their whole branch.
        for (QTreeWidgetItem* g = leaf->parent(); g; g = g->parent())
            g->setFlags(g->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
    });
}

void KmzPages::markAllTreeItems(bool marked) {
    Ui_PostTo(this, [this, marked] {
        for (QTreeWidgetItem* leaf : UiTree_Leaves(scope_.tree)) leaf->setCheckState(0, marked ? Qt::Checked : Qt::Unchecked);
    });
}

std::vector<std::string> KmzPages::markedTreeValues() {
    Ui_Flush();
    std::vector<std::string> values;
    for (QTreeWidgetItem* leaf : UiTree_Leaves(scope_.tree))
        if (leaf->checkState(0) == Qt::Checked) values.push_back(Ui_Latin1(leaf->data(0, kUiTreeValueRole).toString()));
    return values;
}

void KmzPages::highlightTree(bool on) {
    Ui_PostTo(this, [this, on] { KmzScopePage_Highlight(scope_.tree, on); });
}

void KmzPages::highlightIndicators(bool on) {
    Ui_PostTo(this, [this, on] { KmzScopePage_Highlight(scope_.indicatorBox, on); });
}

std::array<bool, 3> KmzPages::indicators() {
    Ui_Flush();
    std::array<bool, 3> on{};
    for (int k = 0; k < 3; ++k) on[k] = scope_.indicators[k]->isChecked();
    return on;
}

void KmzPages::setIndicators(const std::array<bool, 3>& on) {
    Ui_PostTo(this, [this, on] {
        for (int k = 0; k < 3; ++k) scope_.indicators[k]->setChecked(on[k]);
    });
}

double KmzPages::zoomMetres() {
    Ui_Flush();
    return scope_.zoom->currentData().toDouble();
}

void KmzPages::setZoomMetres(double metres) {
    Ui_PostTo(this, [this, metres] {
        for (int i = 0; i < scope_.zoom->count(); ++i)
            if (std::abs(scope_.zoom->itemData(i).toDouble() - metres) < 1e-9) scope_.zoom->setCurrentIndex(i);
    });
}

void KmzPages::showSelection(bool selection) {
    Ui_PostTo(this, [this, selection] {
        scope_.stack->setCurrentIndex(selection ? 0 : 1);
        if (!selection) {
            scope_.loadLabel->clear();
            scope_.loadBar->setValue(0);
        }
    });
}

void KmzPages::showScopeMessage(const std::string& text) { ShowBox(text); }

// ---- Colour page ----

void KmzPages::connectColourPage() {
    connect(colour_.frame.home, &QPushButton::clicked, this, [] { onKmzColorsHome(); });
    connect(colour_.frame.previous, &QPushButton::clicked, this, [] { onKmzColorsPrevious(); });
    connect(colour_.frame.next, &QPushButton::clicked, this, [] { onKmzColorsNext(); });
    connect(colour_.autoButton, &QPushButton::clicked, this, [] { onKmzColorsAuto(); });
    connect(colour_.deleteProfile, &QPushButton::clicked, this, [] { onKmzDelProfile(); });
    connect(colour_.profiles, &QComboBox::activated, this,
            [this](int index) { onKmzColorsProfiles(Ui_Latin1(colour_.profiles->itemText(index))); });
    connect(colour_.profiles, &QComboBox::editTextChanged, this, [this](const QString& name) {
        if (applying_) return;
        std::lock_guard<std::mutex> guard(colourLock_);
        profileName_ = Ui_Latin1(name);
    });
    connect(colour_.tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (applying_ || column < kKmzColBad || column > kKmzColGood || !item->data(0, kUiTreeValueRole).isValid()) return;
        std::lock_guard<std::mutex> guard(colourLock_);
        cells_[{item->data(0, kChannelRole).toInt(), column}] = Ui_Latin1(item->text(column));
    });
}

QTreeWidgetItem* KmzPages::colourItem(int channel) const {
    for (QTreeWidgetItem* leaf : UiTree_Leaves(colour_.tree))
        if (leaf->data(0, kChannelRole).toInt() == channel) return leaf;
    return nullptr;
}

// Brings one cell of the tree up to the model (main thread).
void KmzPages::showCell(int channel, int column) {
    QTreeWidgetItem* item = colourItem(channel);
    if (!item) return;
    std::string text;
    {
        std::lock_guard<std::mutex> guard(colourLock_);
        text = cells_[{channel, column}];
    }
    Applying(applying_, [&] { item->setText(column, Ui_Text(text)); });
}

std::string KmzPages::cellText(int channel, int column) {
    std::lock_guard<std::mutex> guard(colourLock_);
    const auto it = cells_.find({channel, column});
    return it == cells_.end() ? std::string() : it->second;
}

void KmzPages::setCellText(int channel, int column, const std::string& text) {
    {
        std::lock_guard<std::mutex> guard(colourLock_);
        cells_[{channel, column}] = text;
    }
    Ui_PostTo(this, [this, channel, column] { showCell(channel, column); });
}

KmzColourSet KmzPages::colours() {
    std::lock_guard<std::mutex> guard(colourLock_);
    return colours_;
}

void KmzPages::setColours(const KmzColourSet& colours) {
    {
        std::lock_guard<std::mutex> guard(colourLock_);
        colours_ = colours;
    }
    Ui_PostTo(this, [this, colours] {
        KmzColourPage_ShowColour(colour_.colourButtons[0], colours.bad);
        KmzColourPage_ShowColour(colour_.colourButtons[1], colours.average);
        KmzColourPage_ShowColour(colour_.colourButtons[2], colours.good);
    });
}

void KmzPages::showMessage(const std::string& text) { ShowBox(text); }

void KmzPages::setItems(const std::vector<std::string>& names) {
    std::string current;
    {
        std::lock_guard<std::mutex> guard(colourLock_);
        current = profileName_;
    }
    Ui_PostTo(this, [this, names, current] {
        Applying(applying_, [&] {
            colour_.profiles->clear();
            for (const std::string& n : names) colour_.profiles->addItem(Ui_Text(n));
            colour_.profiles->setCurrentIndex(-1);
            colour_.profiles->setEditText(Ui_Text(current));  // the list changes, the name typed stays
        });
    });
}

std::string KmzPages::text() {
    std::lock_guard<std::mutex> guard(colourLock_);
    return profileName_;
}

void KmzPages::setText(const std::string& name) {
    {
        std::lock_guard<std::mutex> guard(colourLock_);
        profileName_ = name;
    }
    Ui_PostTo(this, [this, name] {
        Applying(applying_, [&] {
            colour_.profiles->setCurrentIndex(colour_.profiles->findText(Ui_Text(name), Qt::MatchExactly));
            colour_.profiles->setEditText(Ui_Text(name));
        });
    });
}

bool KmzPages::confirm(const std::string& question) { return Ui_Confirm(Ui_Text(question)); }

void KmzPages::setColourRows(const KmzColourScope& scope) {
    {
        std::lock_guard<std::mutex> guard(colourLock_);
        cells_.clear();  // new rows start empty, as Auto and the profile expect
    }
    Ui_PostTo(this, [this, scope] {
        Applying(applying_, [&] {
            colour_.tree->clear();
            for (const KmzColourChannel& row : scope.rows) {
                const int mode = KmzColour_RatingKind(row) == kKmzRateState ? 2 : 1;
                // The colour rows are grouped as the scope tree groups the same channels.
                const auto path = scopePaths_.find("V" + std::to_string(row.channel));
                QTreeWidgetItem* leaf = UiTree_InsertByPath(colour_.tree, path == scopePaths_.end() ? "Values" : path->second, row.tag, row.tag,
                                                            std::to_string(row.channel), mode);
                leaf->setData(0, kChannelRole, row.channel);
                leaf->setFlags(leaf->flags() | Qt::ItemIsEditable);
            }
        });
        for (const KmzColourChannel& row : scope.rows)
            for (int c = kKmzColBad; c <= kKmzColGood; ++c) showCell(row.channel, c);
    });
}

void KmzPages::showColourTree(bool shown) {
    Ui_PostTo(this, [this, shown] { colour_.tree->setVisible(shown); });
}

// ---- Progress page ----

void KmzPages::showWriteLabel(const std::string& label) {
    Ui_PostTo(this, [this, label] { progressLabel_->setText(Ui_Text(label)); });
}

void KmzPages::setWriteProgress(int percent) {
    Ui_PostTo(this, [this, percent] { progressBar_->setValue(percent); });
}

void KmzPages::enableHome(bool enabled) {
    Ui_PostTo(this, [this, enabled] { progressHome_->setEnabled(enabled); });
}

void KmzPages::showProgressBar(bool shown) {
    Ui_PostTo(this, [this, shown] {
        progressBar_->setVisible(shown);
        progressLabel_->setVisible(shown);
        if (shown) progressBar_->setValue(0);
    });
}

void KmzPages::showPage(KmzPage page) {
    int ui = kPageStart;
    switch (page) {
        case KmzPage::Start: ui = kPageStart; break;
        case KmzPage::FileSelection: ui = kPageFileSelection; break;
        case KmzPage::Level: ui = kPageKmzLevels; break;
        case KmzPage::Scope: ui = kPageKmzScope; break;
        case KmzPage::Colours: ui = kPageKmzColours; break;
        case KmzPage::Progress: ui = kPageKmzProgress; break;
    }
    Ui_Post([ui] { Ui_ShowPage(ui); });
}

void KmzPages::threadMessage(const std::string& text) { ShowBox(text); }
