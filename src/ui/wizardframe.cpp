#include "ui/wizardframe.h"

#include <QLabel>

#include "ui/uishell.h"

namespace {

QPushButton* Button(QWidget* page, const QString& text) {
    auto* b = new QPushButton(text, page);
    b->setMinimumSize(110, 36);
    Ui_Name(b, text);
    return b;
}

}  // namespace

UiWizardFrame UiWizard_Frame(QWidget* page, const QString& title, const QString& help, bool withPreviousNext) {
    UiWizardFrame f;
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(kUiPageMarginX, kUiPageMarginY, kUiPageMarginX, kUiPageMarginY);
    outer->setSpacing(kUiPageSpacing);
    auto* heading = new QLabel(title, page);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    heading->setFont(font);
    outer->addWidget(heading);
    if (!help.isEmpty()) {
        auto* text = new QLabel(help, page);
        text->setWordWrap(true);
        outer->addWidget(text);
    }
    f.content = new QVBoxLayout;
    outer->addLayout(f.content, 1);
    auto* buttons = f.buttons = new QHBoxLayout;
    f.home = Button(page, "Home");
    buttons->addWidget(f.home);
    buttons->addStretch(1);
    if (withPreviousNext) {
        f.previous = Button(page, "Previous");
        f.next = Button(page, "Next");
        buttons->addWidget(f.previous);
        buttons->addWidget(f.next);
    }
    outer->addLayout(buttons);
    return f;
}
