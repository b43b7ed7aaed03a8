#pragma once
// The frame of a wizard page: a bold title, the help text, the page's own
// content, and the Home / Previous / Next buttons along the bottom.
#include <QHBoxLayout>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

// Margins and spacing of every page: small enough for a 1024 x 600 screen.
inline constexpr int kUiPageMarginX = 14, kUiPageMarginY = 10, kUiPageSpacing = 8;

struct UiWizardFrame {
    QVBoxLayout* content = nullptr;  // the page's own widgets go here
    QHBoxLayout* buttons = nullptr;   // the button row; a page may add its own actions
    QPushButton* home = nullptr;
    QPushButton* previous = nullptr;  // null without Previous / Next
    QPushButton* next = nullptr;
};

UiWizardFrame UiWizard_Frame(QWidget* page, const QString& title, const QString& help, bool withPreviousNext = true);
