#include "pilotactions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <cstdio>

#include "ui/uishell.h"

bool Pilot_WaitFor(const std::function<bool()>& done, double seconds) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > seconds * 1000.0) return false;
        Pilot_Serve(10);
    }
    return true;
}

void Pilot_Serve(int ms) {
    // The event loop sleeps until an event or the time comes, as the program's own loop does.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Pilot_Click(QAbstractButton* button) {
    if (!button || !button->isEnabled()) return false;
    // A check box or option reacts on its mark and label only, which sit at its left.
    const bool marked = qobject_cast<QRadioButton*>(button) || qobject_cast<QCheckBox*>(button);
    const QPoint at = marked ? QPoint(std::min(10, button->width() / 2), button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
    Ui_Flush();
    return true;
}

bool Pilot_Choose(QComboBox* combo, const QString& text) {
    if (!combo || !combo->isEnabled()) return false;
    const int index = combo->findText(text);
    if (index < 0) return false;
    // The keys a user presses on a closed list: each step chooses the next entry.
    combo->setFocus();
    for (int guard = combo->count(); combo->currentIndex() != index && guard > 0; --guard)
        QTest::keyClick(combo, combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    Ui_Flush();
    return combo->currentIndex() == index;
}

void Pilot_ClickCell(QTableWidget* table, int row, int column) {
    const QRect cell = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    Ui_Flush();
}

std::string Pilot_TypeIntoCell(QTableWidget* table, int row, int column, const QString& text, bool enter) {
    Pilot_ClickCell(table, row, column);
    const QModelIndex cell = table->model()->index(row, column);
    QWidget* editor = nullptr;
    if (!Pilot_WaitFor([&] { return (editor = table->indexWidget(cell)) != nullptr; }, 5))
        return "cell " + std::to_string(row) + "," + std::to_string(column) + " did not open for editing";
    QLineEdit* line = qobject_cast<QLineEdit*>(editor);
    if (!line) line = editor->findChild<QLineEdit*>();
    if (line) line->selectAll();
    QTest::keyClicks(editor, text);
    if (!enter) return {};
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits a Return on its next turn of the event loop.
    if (!Pilot_WaitFor([&] { return table->indexWidget(cell) == nullptr; }, 5)) return "the editor stayed open after Return";
    Ui_Flush();
    return {};
}

QSize Pilot_ParseSize(const char* text) {
    int width = 0, height = 0;
    char end = 0;
    if (std::sscanf(text, "%dx%d%c", &width, &height, &end) != 2 || width <= 0 || height <= 0) return {};
    return {width, height};
}
