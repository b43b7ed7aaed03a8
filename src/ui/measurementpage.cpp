#include "ui/measurementpage.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTreeWidget>

#include "drivetest/wizard.h"
#include "ui/treepath.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

constexpr const char* kHelp =
    "Choose the results to record. The default set holds every level, sync, SNR, MER, BER, PER and echo result of "
    "the standard; a category shown in orange holds results the analyzer's firmware may not deliver.";

constexpr int kIndexRole = Qt::UserRole;

void ShowHighlight(QWidget* label, bool highlighted) {
    QFont font = label->font();
    font.setBold(highlighted);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, highlighted ? kUiTreeHighlight : label->parentWidget()->palette().color(QPalette::WindowText));
    label->setPalette(palette);
}

}  // namespace

MeasurementPage::MeasurementPage(QWidget* parent) : QWidget(parent) {
    UiWizardFrame f = UiWizard_Frame(this, "Drive test: measurements", kHelp);
    home_ = f.home;
    previous_ = f.previous;
    next_ = f.next;

    auto* row = new QHBoxLayout;
    auto* options = new QVBoxLayout;
    default_ = new QRadioButton("Default:", this);
    user_ = new QRadioButton("User defined:", this);
    Ui_Name(default_, "Default:");
    Ui_Name(user_, "User defined:");
    auto* group = new QButtonGroup(this);
    group->addButton(default_);
    group->addButton(user_);
    default_->setChecked(true);
    options->addWidget(default_);
    static const char* const names[kCategories] = {"Level", "Sync", "SNR", "MER", "BER", "PER", "Echo"};
    for (int i = 0; i < kCategories; ++i) {
        auto* label = new QLabel(QString("- ") + names[i], this);
        label->setContentsMargins(28, 0, 0, 0);
        Ui_Name(label, QString("Category ") + names[i]);
        options->addWidget(label);
        indicators_[static_cast<std::size_t>(i)] = label;
    }
    options->addSpacing(12);
    options->addWidget(user_);
    options->addStretch(1);
    row->addLayout(options);

    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    QFont treeFont = tree_->font();
    treeFont.setPointSizeF(treeFont.pointSizeF() * 1.1);
    tree_->setFont(treeFont);
    tree_->setUniformRowHeights(true);
    tree_->setMinimumSize(360, 240);
    tree_->setVisible(false);
    Ui_Name(tree_, "Measurements");
    row->addWidget(tree_, 1);
    f.content->addLayout(row, 1);

    connect(default_, &QRadioButton::clicked, this, [this] { onDtMeasDef(default_->isChecked()); });
    connect(user_, &QRadioButton::clicked, this, [this] { onDtMeasUsr(user_->isChecked()); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (applying_ || column != 0) return;
        onDtMeasTreeMark(item->data(0, kIndexRole).toInt(), item->checkState(0) == Qt::Checked);
    });
    connect(home_, &QPushButton::clicked, this, [] { onDtMeasHome(); });
    connect(previous_, &QPushButton::clicked, this, [] { onDtMeasPrevious(); });
    connect(next_, &QPushButton::clicked, this, [] { onDtMeasNext(); });
}

QTreeWidgetItem* MeasurementPage::treeItem(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < items_.size() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

void MeasurementPage::setTree(const std::vector<MeasurementTreeItem>& items) {
    Ui_PostTo(this, [this, items] {
        applying_ = true;
        tree_->clear();
        items_.clear();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const MeasurementTreeItem& m = items[i];
            QTreeWidgetItem* parent = m.parent >= 0 && static_cast<std::size_t>(m.parent) < i ? items_[static_cast<std::size_t>(m.parent)] : nullptr;
            auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
            item->setText(0, Ui_Text(m.label));
            item->setData(0, kIndexRole, static_cast<int>(i));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
            if (m.highlighted) {
                QFont font = tree_->font();
                font.setBold(true);
                item->setFont(0, font);
                item->setForeground(0, kUiTreeHighlight);
            }
            items_.push_back(item);
        }
        tree_->expandAll();
        applying_ = false;
    });
}

void MeasurementPage::setMarks(const std::vector<bool>& marks) {
    Ui_PostTo(this, [this, marks] {
        applying_ = true;
        for (std::size_t i = 0; i < marks.size() && i < items_.size(); ++i)
            items_[i]->setCheckState(0, marks[i] ? Qt::Checked : Qt::Unchecked);
        applying_ = false;
    });
}

void MeasurementPage::setOptions(bool defaultSelected, bool userSelected, bool treeVisible) {
    Ui_PostTo(this, [this, defaultSelected, userSelected, treeVisible] {
        // The group is exclusive: checking one unchecks the other.
        if (defaultSelected) default_->setChecked(true);
        if (userSelected) user_->setChecked(true);
        tree_->setVisible(treeVisible);
    });
}

void MeasurementPage::setIndicator(int category, const std::string& text, bool visible, bool highlighted) {
    Ui_PostTo(this, [this, category, text, visible, highlighted] {
        if (category < 0 || category >= kCategories) return;
        QLabel* label = indicators_[static_cast<std::size_t>(category)];
        label->setText(Ui_Text(text));
        label->setVisible(visible);
        ShowHighlight(label, highlighted);
    });
}
