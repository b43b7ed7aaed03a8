#include "ui/frequencycells.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QFontMetrics>
#include <QIntValidator>
#include <QLineEdit>
#include <QStringList>
#include <cmath>

#include "ui/uishell.h"

namespace {

// What an editor needs to know, kept on the cell's item.
enum CellRole : int {
    kRoleKind = Qt::UserRole,
    kRoleChoices,
    kRoleMaxLength,
    kRoleDecimals,
    kRoleMinimum,
    kRoleMaximum,
};

// Numbers are typed and shown the same way on every desktop: "474.5", never "474,5".
QLocale CellLocale() {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    return c;
}

QColor Colour(const RowColour& c) { return QColor(c.r, c.g, c.b); }

FrequencyCellKind KindOf(const QModelIndex& index) {
    return static_cast<FrequencyCellKind>(index.data(kRoleKind).toInt());
}

}  // namespace

void FrequencyCells_Apply(QTableWidget* table, int row, const FrequencyRowView& cells) {
    if (row < 0 || row >= table->rowCount()) return;
    const int count = std::min(static_cast<int>(cells.cells.size()), table->columnCount());
    for (int c = 0; c < count; ++c) {
        const FrequencyCellView& cell = cells.cells[static_cast<std::size_t>(c)];
        QTableWidgetItem* item = table->item(row, c);
        if (!item) {
            item = new QTableWidgetItem;
            table->setItem(row, c, item);
        }
        // Updated in place: an item replaced under an open editor would close it.
        item->setText(Ui_Text(cell.text));
        item->setData(kRoleKind, static_cast<int>(cell.kind));
        QStringList choices;
        for (const auto& choice : cell.choices) choices << Ui_Text(choice);
        item->setData(kRoleChoices, choices);
        item->setData(kRoleMaxLength, cell.maxLength);
        item->setData(kRoleDecimals, cell.decimals);
        item->setData(kRoleMinimum, cell.minimum);
        item->setData(kRoleMaximum, cell.maximum);
        const bool editable = cell.kind != FrequencyCellKind::Label && cell.kind != FrequencyCellKind::Button;
        item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setBackground(Colour(cell.background));
        QFont font = table->font();
        if (cell.kind == FrequencyCellKind::Button) {
            font.setBold(true);
            item->setForeground(cell.button == FrequencyButton::Add ? QColor(0, 120, 40) : QColor(170, 30, 30));
            item->setTextAlignment(Qt::AlignCenter);
            item->setToolTip(cell.button == FrequencyButton::Add ? "Add an entry" : "Delete this entry");
        } else {
            item->setForeground(Qt::black);
            const bool numeric = cell.kind == FrequencyCellKind::Real || cell.kind == FrequencyCellKind::Number;
            item->setTextAlignment(numeric ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
            item->setToolTip({});
        }
        item->setFont(font);
    }
}

QString FrequencyCells_Title(const std::string& title, int width, const QFontMetrics& metrics) {
    QString text = Ui_Text(title);
    QString joined = text;
    joined.remove("- ");
    if (joined == text) return text;
    // Room for the header's own margins.
    return metrics.horizontalAdvance(joined) + 12 <= width ? joined : text.replace("- ", "-\n");
}

FrequencyCellDelegate::FrequencyCellDelegate(QObject* parent, Commit commit)
    : QStyledItemDelegate(parent), commit_(std::move(commit)) {}

QWidget* FrequencyCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    switch (KindOf(index)) {
    case FrequencyCellKind::Selection: {
        auto* combo = new QComboBox(parent);
        combo->addItems(index.data(kRoleChoices).toStringList());
        Ui_Name(combo, "Choice");
        // A choice made is a choice committed: no extra key press needed.
        // (createEditor is const by Qt's signature; the signals are not.)
        auto* self = const_cast<FrequencyCellDelegate*>(this);
        connect(combo, &QComboBox::activated, self, [self, combo] {
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        return combo;
    }
    case FrequencyCellKind::Text: {
        auto* edit = new QLineEdit(parent);
        const int maxLength = index.data(kRoleMaxLength).toInt();
        if (maxLength > 0) edit->setMaxLength(maxLength);
        Ui_Name(edit, "Description");
        return edit;
    }
    case FrequencyCellKind::Real: {
        auto* edit = new QLineEdit(parent);
        auto* validator = new QDoubleValidator(index.data(kRoleMinimum).toDouble(), index.data(kRoleMaximum).toDouble(),
                                               index.data(kRoleDecimals).toInt(), edit);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(CellLocale());
        edit->setValidator(validator);
        edit->setAlignment(Qt::AlignRight);
        Ui_Name(edit, "Frequency [MHz]");
        return edit;
    }
    case FrequencyCellKind::Number: {
        auto* edit = new QLineEdit(parent);
        const double low = index.data(kRoleMinimum).toDouble(), high = index.data(kRoleMaximum).toDouble();
        auto* validator = new QIntValidator(static_cast<int>(std::lround(low)), static_cast<int>(std::lround(high)), edit);
        validator->setLocale(CellLocale());
        edit->setValidator(validator);
        edit->setAlignment(Qt::AlignRight);
        Ui_Name(edit, "Number");
        return edit;
    }
    case FrequencyCellKind::Label:
    case FrequencyCellKind::Button:
        break;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void FrequencyCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(std::max(0, combo->findText(text)));
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        edit->selectAll();
    } else {
        QStyledItemDelegate::setEditorData(editor, index);
    }
}

void FrequencyCellDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->currentText();
    else if (auto* edit = qobject_cast<QLineEdit*>(editor))
        text = edit->text();
    else
        return;
    if (commit_) commit_(index.row(), index.column(), text);
}
