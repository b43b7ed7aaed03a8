#pragma once
// The frame of a wizard page: a bold title, the help text, the page's own
// content, and the Home / Previous / Next buttons along the bottom.
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

struct UiWizardFrame {
    QVBoxLayout* content = nullptr;  // the page's own widgets go here
    QPushButton* home = nullptr;
    QPushButton* previous = nullptr;  // null without Previous / Next
    QPushButton* next = nullptr;
};

UiWizardFrame UiWizard_Frame(QWidget* page, const QString& title, const QString& help, bool withPreviousNext = true);
