#include "ui/csvprogresspage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/text.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

QPushButton* Button(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    Ui_Name(button, text);
    button->setMinimumWidth(110);
    return button;
}

}  // namespace

CsvProgressPage::CsvProgressPage(QWidget* parent) : QWidget(parent) {
    title_ = new QLabel(tr("Step 2 of 2: Conversion"), this);
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    hint_ = new QLabel(tr("The marked record files are written as CSV files beside them. Home cancels the conversion."), this);
    hint_->setWordWrap(true);
    Ui_Name(title_, "Page title");
    Ui_Name(hint_, "Hint");

    file_ = new QLabel(this);
    QFont fileFont = file_->font();
    fileFont.setPointSizeF(fileFont.pointSizeF() * 1.3);
    file_->setFont(fileFont);
    file_->setAlignment(Qt::AlignCenter);
    Ui_Name(file_, "File");
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(true);
    progress_->setMinimumSize(360, 32);
    Ui_Name(progress_, "Progress");

    home_ = Button(tr("Home"), this);
    home_->setToolTip(tr("Cancel the conversion"));
    previous_ = Button(tr("Previous"), this);
    next_ = Button(tr("Next"), this);
    // The conversion is the last step and runs by itself: only Home (cancel) acts here.
    previous_->setEnabled(false);
    next_->setEnabled(false);

    auto* centre = new QVBoxLayout;
    centre->setSpacing(16);
    centre->addWidget(file_);
    centre->addWidget(progress_);
    auto* middle = new QHBoxLayout;
    middle->addStretch(1);
    middle->addLayout(centre, 4);
    middle->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(home_);
    buttons->addStretch(1);
    buttons->addWidget(previous_);
    buttons->addWidget(next_);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kUiPageMarginX, kUiPageMarginY, kUiPageMarginX, kUiPageMarginY);
    page->setSpacing(kUiPageSpacing);
    page->addWidget(title_);
    page->addWidget(hint_);
    page->addStretch(1);
    page->addLayout(middle);
    page->addStretch(2);
    page->addLayout(buttons);

    connect(home_, &QPushButton::clicked, this, [this] {
        // Asked once; the conversion stops before its next sample and then finishes.
        home_->setEnabled(false);
        onCsvProgHome();
    });
}

void CsvProgressPage::showFileLabel(const std::string& label) {
    Ui_PostTo(this, [this, label = Ui_Text(label)] {
        file_->setText(label);
        progress_->setValue(0);
        progress_->show();
        home_->setEnabled(true);
    });
}

void CsvProgressPage::setProgress(int percent) {
    Ui_PostTo(this, [this, percent] { progress_->setValue(qBound(0, percent, 100)); });
}

void CsvProgressPage::finish(const std::string& message) {
    // Queued like every call of the conversion thread, so the message follows the last progress.
    Ui_PostTo(this, [this, message = Ui_PathText(message)] {
        home_->setEnabled(true);
        progress_->hide();
        Ui_Message(message);
        Ui_ShowPage(kPageFileSelection);
    });
}
