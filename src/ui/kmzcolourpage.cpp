#include "ui/kmzcolourpage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QStyledItemDelegate>

#include "export/kmz/colours.h"
#include "ui/treepath.h"
#include "ui/uishell.h"

namespace {

constexpr const char* kHelp =
    "For each measurement type, select the value range to be visualized by the color set. Use the 'Auto' button to "
    "auto assign worst and best values occured in this record file. Click on any color to change it.\nEnter a new "
    "profile name to save this color assignment for future use. You can also select a previously saved profile here.";
constexpr const char* kAnchorNames[3] = {"Bad", "Average", "Good"};
constexpr const char* kRingNames[6] = {"Magenta", "Red", "Yellow", "Green", "Cyan", "Light blue"};

QColor Rgb(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// Only the anchor cells of channel rows open an editor; group rows, the
// channel names and locked cells never do.
class AnchorDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QModelIndex first = index.siblingAtColumn(0);
        if (index.column() == 0 || !first.data(kUiTreeValueRole).isValid() || index.data(kUiTreeLockedRole).toBool())
            return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
};

// The palette: the six ring colours in ring order.
QMenu* Palette(QPushButton* button, int anchor, const std::function<void(int, std::uint32_t)>& picked) {
    auto* menu = new QMenu(button);
    Ui_Name(menu, QString("%1 color").arg(kAnchorNames[anchor]));
    for (int i = 0; i < 6; ++i) {
        QPixmap swatch(28, 18);
        swatch.fill(Rgb(kKmzHueRing[i]));
        QAction* a = menu->addAction(QIcon(swatch), kRingNames[i]);
        const std::uint32_t colour = kKmzHueRing[i];
        QObject::connect(a, &QAction::triggered, button, [picked, anchor, colour] { picked(anchor, colour); });
    }
    return menu;
}

}  // namespace

void KmzColourPage_ShowColour(QPushButton* button, std::uint32_t colour) {
    const QColor c = Rgb(colour);
    const char* text = c.lightness() > 110 ? "black" : "white";
    button->setStyleSheet(QString("QPushButton { background-color: %1; color: %2; border: 1px solid #666; "
                                  "border-radius: 4px; padding: 6px 14px; }")
                              .arg(c.name(), text));
    button->setProperty("colour", static_cast<uint>(colour));
}

KmzColourPage KmzColourPage_Build(QWidget* parent, std::function<void(int, std::uint32_t)> picked) {
    KmzColourPage p;
    p.page = new QWidget(parent);
    p.frame = UiWizard_Frame(p.page, "Step 4 of 5: Color Assignment", kHelp);

    auto* row = new QHBoxLayout;
    p.tree = new QTreeWidget(p.page);
    p.tree->setColumnCount(4);
    p.tree->setHeaderLabels({"Measurement", "Bad", "Average", "Good"});
    p.tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < 4; ++c) p.tree->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    p.tree->setItemDelegate(new AnchorDelegate(p.tree));
    p.tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::SelectedClicked);
    p.tree->setMinimumSize(380, 220);
    Ui_Name(p.tree, "Value ranges");
    row->addWidget(p.tree, 3);

    auto* side = new QGridLayout;
    for (int a = 0; a < 3; ++a) {
        auto* label = new QLabel(QString("%1 values:").arg(kAnchorNames[a]), p.page);
        p.colourButtons[a] = new QPushButton(kAnchorNames[a], p.page);
        p.colourButtons[a]->setMinimumSize(120, 34);
        p.colourButtons[a]->setMenu(Palette(p.colourButtons[a], a, picked));
        Ui_Name(p.colourButtons[a], QString("%1 color").arg(kAnchorNames[a]));
        side->addWidget(label, a, 0);
        side->addWidget(p.colourButtons[a], a, 1);
    }
    p.autoButton = new QPushButton("Auto", p.page);
    p.autoButton->setMinimumHeight(34);
    Ui_Name(p.autoButton, "Auto");
    side->addWidget(p.autoButton, 3, 1);

    auto* profileLabel = new QLabel("Profile:", p.page);
    p.profiles = new QComboBox(p.page);
    p.profiles->setEditable(true);
    p.profiles->setInsertPolicy(QComboBox::NoInsert);
    p.profiles->setMinimumWidth(180);
    Ui_Name(p.profiles, "Profile");
    p.deleteProfile = new QPushButton("Delete profile", p.page);
    p.deleteProfile->setMinimumHeight(34);
    Ui_Name(p.deleteProfile, "Delete profile");
    side->addWidget(profileLabel, 4, 0);
    side->addWidget(p.profiles, 4, 1);
    side->addWidget(p.deleteProfile, 5, 1);
    side->setRowStretch(6, 1);
    row->addLayout(side, 1);
    p.frame.content->addLayout(row, 1);
    return p;
}
