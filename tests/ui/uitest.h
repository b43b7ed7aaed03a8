#pragma once
// The one QApplication of a desktop test program (offscreen platform), and a
// recorder of the message boxes and questions the pages raise.
#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <mutex>
#include <vector>

#include "ui/uishell.h"

// Serves events until pred holds or timeoutMs passed; pred's last answer.
template <class Pred>
bool UiTest_ServeUntil(Pred pred, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

inline QApplication& UiTest_App() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Message boxes go to a list instead of the screen; questions get `answer`.
struct UiTestDialogs {
    explicit UiTestDialogs(bool answerYes = false) : answer(answerYes) {
        UiTest_App();
        Ui_SetDialogHandlers([this](const QString& t) { messages.push_back(t); },
                             [this](const QString& t) {
                                 questions.push_back(t);
                                 return answer;
                             });
    }
    ~UiTestDialogs() { Ui_SetDialogHandlers({}, {}); }
    bool answer;
    std::vector<QString> messages, questions;
};
