#pragma once
// The cells of the frequency page's tables as the core describes them: a
// row of FrequencyCellView written into a QTableWidget row, and the editors
// each kind opens (limited text, C-locale numbers, a list of choices). What
// an editor ends with goes to a callback, not into the model: the core
// decides what the cell holds and redraws the row.
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <functional>
#include <string>

#include "drivetest/frequencypageview.h"

// Writes cells into widget row `row` (0-based) of table; extra cells are ignored.
void FrequencyCells_Apply(QTableWidget* table, int row, const FrequencyRowView& cells);
// A column title with its "- " soft breaks: broken into lines when the plain
// title is wider than width pixels, else joined.
QString FrequencyCells_Title(const std::string& title, int width, const QFontMetrics& metrics);

class FrequencyCellDelegate : public QStyledItemDelegate {
public:
    // row and column are 0-based widget indices; text is what the editor holds.
    using Commit = std::function<void(int row, int column, const QString& text)>;
    FrequencyCellDelegate(QObject* parent, Commit commit);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    Commit commit_;
};
