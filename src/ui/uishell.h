#pragma once
// What every page of the desktop uses from the window around it: the page
// stack, texts between the core's Latin-1 and Qt, calls handed to the main
// thread in order, message boxes titled "Fieldtrace" and the auto-edit timer.
#include <QPointer>
#include <QString>
#include <QTableWidgetItem>
#include <functional>
#include <string>
#include <string_view>

class QAbstractItemView;
class QWidget;

// The pages of the main window's stack, in this order.
enum UiPage : int {
    kPageStart = 0,
    kPageDtBasic,
    kPageDtHardware,
    kPageDtFrequencies,
    kPageDtMeasurements,
    kPageDtRecording,
    kPageFileSelection,
    kPageKmzLevels,
    kPageKmzScope,
    kPageKmzColours,
    kPageKmzProgress,
    kPageCsvProgress,
    kPageKmzExtra,
    kPageCoverage,
    kPageCoverageProgress,
    kPageCount
};

inline constexpr const char* kUiTitle = "Fieldtrace";

// Core texts are Latin-1 bytes (the micro sign is 0xB5).
QString Ui_Text(std::string_view latin1);
// Back to Latin-1; a character outside Latin-1 becomes '?'.
std::string Ui_Latin1(const QString& text);

// Runs fn on the main thread after every call posted before it, also when
// called on the main thread: the one way a view call reaches widgets.
void Ui_Post(std::function<void()> fn);
// Ui_Post for a page's own widgets: dropped when the page is gone before it runs.
template <class Page, class Fn>
void Ui_PostTo(Page* page, Fn fn) {
    Ui_Post([guard = QPointer<Page>(page), fn = std::move(fn)] {
        if (guard) fn();
    });
}
// Paths and the messages that name them are the file system's bytes: UTF-8 on
// this desktop, Latin-1 in names the recorder made. Shown as whichever they are.
QString Ui_PathText(const std::string& bytes);
// A path the user chose, as the file system's bytes (a Latin-1 conversion
// would name another folder than "München").
std::string Ui_PathBytes(const QString& path);
// Runs everything posted so far (tests, and before reading widget state).
void Ui_Flush();

// Shows a page of the main window (main thread).
void Ui_ShowPage(int page);
int Ui_CurrentPage();
// The page switcher; the main window installs it (tests may install their own).
void Ui_SetPageHandler(std::function<void(int)> showPage, std::function<int()> currentPage = {});

// The quit-confirmed rule: once the user has confirmed quitting, boxes are
// dropped and questions answered no. The application's popup service sets it.
bool Ui_QuitConfirmed();
void Ui_SetQuitConfirmed(bool confirmed);

// Keeps the window on top of the analyzer's own windows (onTop 1) or releases
// it; the application installs what does it. Nothing until one is installed.
void Ui_SetOnTop(int onTop);
void Ui_SetOnTopHandler(std::function<void(int)> handler);

// A message box titled "Fieldtrace" (main thread; modal); dropped once quitting is confirmed.
void Ui_Message(const QString& text);
// A yes/no question titled "Fieldtrace"; no once quitting is confirmed.
bool Ui_Confirm(const QString& text);
// A message box titled "Fieldtrace" with an action beside Close ("Open folder");
// true when the action was chosen. Asked through the confirm handler when one
// is installed; false once quitting is confirmed.
bool Ui_Offer(const QString& text, const QString& action);
// Replaces the boxes (tests): message receives every shown text, confirm answers questions.
void Ui_SetDialogHandlers(std::function<void(const QString&)> message, std::function<bool(const QString&)> confirm);

// Opens a folder (the file system's bytes) in the desktop's file manager;
// tests install a handler instead.
void Ui_OpenFolder(const std::string& folder);
void Ui_SetOpenFolderHandler(std::function<void(const std::string&)> handler);

// A table cell holding text, selectable, editable only where asked.
QTableWidgetItem* Ui_TableCell(const QString& text, bool editable);

// The auto-edit timer: the current cell of view opens for editing half a second from now.
void Ui_AutoEdit(QAbstractItemView* view);

// Sets the accessible name of widget (its visible label, or its purpose).
void Ui_Name(QWidget* widget, const QString& name);
