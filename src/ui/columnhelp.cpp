#include "ui/columnhelp.h"

#include <QHeaderView>

ColumnHelp::ColumnHelp(QTableWidget* table) : table_(table) {
    box_ = new QLabel(table->parentWidget() ? table->parentWidget() : table);
    box_->setWordWrap(true);
    box_->setFrameShape(QFrame::Box);
    box_->setMargin(6);
    box_->setAutoFillBackground(true);
    QPalette p = box_->palette();
    p.setColor(QPalette::Window, QColor(255, 255, 225));
    box_->setPalette(p);
    box_->setAccessibleName("Column help");
    box_->hide();
}

void ColumnHelp::setText(int column, const QString& text) {
    if (column < 1) return;
    if (static_cast<std::size_t>(column) > texts_.size()) texts_.resize(static_cast<std::size_t>(column));
    texts_[static_cast<std::size_t>(column - 1)] = text;
    if (column == shown_) {
        shown_ = 0;
        show(column);
    }
}

void ColumnHelp::show(int column) {
    if (column == shown_) return;
    shown_ = column;
    if (!table_ || column < 1 || static_cast<std::size_t>(column) > texts_.size() ||
        texts_[static_cast<std::size_t>(column - 1)].isEmpty()) {
        box_->hide();
        return;
    }
    box_->setText(texts_[static_cast<std::size_t>(column - 1)]);
    box_->setMaximumWidth(360);
    box_->adjustSize();
    // Under the header cell of the column, centred on it, kept inside the parent.
    QHeaderView* header = table_->horizontalHeader();
    const int centre = header->sectionViewportPosition(column - 1) + header->sectionSize(column - 1) / 2;
    QPoint at = header->mapTo(box_->parentWidget(), QPoint(centre - box_->width() / 2, header->height() + 4));
    at.setX(std::clamp(at.x(), 0, std::max(0, box_->parentWidget()->width() - box_->width())));
    box_->move(at);
    box_->raise();
    box_->show();
}

void ColumnHelp::clear() {
    texts_.clear();
    shown_ = 0;
    box_->hide();
}
