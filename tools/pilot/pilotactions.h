#pragma once
// What a user does to the window, for the pilot and the window's end-to-end
// tests: clicks, choices from drop-down lists and values typed into table
// cells that open for editing by themselves. Each action lets the queued
// calls of the pages run before it returns.
#include <QSize>
#include <QString>
#include <functional>
#include <string>

class QAbstractButton;
class QComboBox;
class QTableWidget;

// Serves the event loop until done holds; false after seconds.
bool Pilot_WaitFor(const std::function<bool()>& done, double seconds = 60);
// Serves the event loop for ms milliseconds.
void Pilot_Serve(int ms);
// A left click on an enabled button; false (and nothing done) when it is dimmed.
bool Pilot_Click(QAbstractButton* button);
// Chooses the entry text with the arrow keys, as a user does on a closed list
// (every step is a choice the page sees); false when the list lacks it.
bool Pilot_Choose(QComboBox* combo, const QString& text);
// Clicks the cell (widget row and column, 0-based), waits until it opens for
// editing by itself, types text and (enter) Return, after which the editor
// has closed. Empty when done, else what went wrong.
std::string Pilot_TypeIntoCell(QTableWidget* table, int row, int column, const QString& text, bool enter = true);
// Clicks the cell (a button cell of a table).
void Pilot_ClickCell(QTableWidget* table, int row, int column);
// "WxH" (a window size on the command line); empty when it is not one.
QSize Pilot_ParseSize(const char* text);
