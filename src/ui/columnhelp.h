#pragma once
// Help texts per table column, shown in a box under the column's header cell
// while the mouse rests on that cell (the hardware and frequency tables).
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QTableWidget>
#include <vector>

class ColumnHelp {
public:
    // The box is a child of the table's parent; it shows nothing until show().
    explicit ColumnHelp(QTableWidget* table);
    // Stores the text of column n (1-based); skipped columns get empty texts.
    void setText(int column, const QString& text);
    // Shows column n's text under its header; 0, a column beyond the texts
    // or an empty text hides the box. The column already shown changes nothing.
    void show(int column);
    void clear();
    int shown() const { return shown_; }
    const QLabel* box() const { return box_; }

private:
    QPointer<QTableWidget> table_;
    QLabel* box_;
    std::vector<QString> texts_;
    int shown_ = 0;
};
