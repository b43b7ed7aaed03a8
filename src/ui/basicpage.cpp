#include "ui/basicpage.h"

#include <QFormLayout>
#include <QHBoxLayout>

#include "drivetest/wizard.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

constexpr const char* kHelp =
    "Choose what is measured and where the record files of the drive test are written. These settings are kept "
    "for the next start.";

QComboBox* Choice(QWidget* page, const QString& label) {
    auto* combo = new QComboBox(page);
    combo->setMinimumWidth(260);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Ui_Name(combo, label);
    return combo;
}

void Fill(QComboBox* combo, const std::vector<std::string>& items) {
    combo->clear();
    for (const auto& item : items) combo->addItem(Ui_Text(item));
}

}  // namespace

BasicPage::BasicPage(QWidget* parent) : QWidget(parent) {
    UiWizardFrame f = UiWizard_Frame(this, "Drive test: basic settings", kHelp);
    home_ = f.home;
    next_ = f.next;
    delete f.previous;  // the first page has nothing before it; Next keeps its place at the right

    auto* form = new QFormLayout;
    form->setVerticalSpacing(12);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    standard_ = Choice(this, "Broadcast standard");
    levelUnit_ = Choice(this, "Level unit");
    distanceUnit_ = Choice(this, "Distance unit");
    form->addRow("Broadcast standard:", standard_);
    form->addRow("Level unit:", levelUnit_);
    form->addRow("Distance unit:", distanceUnit_);

    auto* dirRow = new QHBoxLayout;
    directory_ = new QLineEdit(this);
    directory_->setReadOnly(true);
    directory_->setMinimumWidth(420);
    Ui_Name(directory_, "Output directory for the drive test result");
    directoryButton_ = new QPushButton("Choose...", this);
    directoryButton_->setMinimumHeight(32);
    Ui_Name(directoryButton_, "Choose the output directory");
    dirRow->addWidget(directory_, 1);
    dirRow->addWidget(directoryButton_);
    form->addRow("Output directory for the drive test result:", dirRow);
    f.content->addSpacing(12);
    f.content->addLayout(form);
    f.content->addStretch(1);

    choose(standard_, &BasicSettings::standard);
    choose(levelUnit_, &BasicSettings::levelUnit);
    choose(distanceUnit_, &BasicSettings::distanceUnit);
    connect(directoryButton_, &QPushButton::clicked, this, [] { onDtBasicDir(); });
    connect(home_, &QPushButton::clicked, this, [] { onDtBasicHome(); });
    connect(next_, &QPushButton::clicked, this, [] { onDtBasicNext(); });
}

void BasicPage::choose(QComboBox* combo, std::string BasicSettings::*field) {
    connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, field] {
        if (applying_ || combo->currentIndex() < 0) return;
        std::lock_guard<std::mutex> l(lock_);
        values_.*field = Ui_Latin1(combo->currentText());
    });
}

void BasicPage::setChoices(const std::vector<std::string>& standards, const std::vector<std::string>& levelUnits,
                           const std::vector<std::string>& distanceUnits) {
    Ui_PostTo(this, [this, standards, levelUnits, distanceUnits] {
        applying_ = true;
        Fill(standard_, standards);
        Fill(levelUnit_, levelUnits);
        Fill(distanceUnit_, distanceUnits);
        applying_ = false;
        showValues();
    });
}

void BasicPage::showBasic(const BasicSettings& settings) {
    {
        std::lock_guard<std::mutex> l(lock_);
        values_ = settings;
    }
    Ui_PostTo(this, [this] { showValues(); });
}

BasicSettings BasicPage::readBasic() {
    std::lock_guard<std::mutex> l(lock_);
    return values_;
}

void BasicPage::showValues() {
    std::lock_guard<std::mutex> l(lock_);
    applying_ = true;
    for (auto [combo, field] : {std::pair{standard_, &BasicSettings::standard}, std::pair{levelUnit_, &BasicSettings::levelUnit},
                                std::pair{distanceUnit_, &BasicSettings::distanceUnit}}) {
        if (combo->count() == 0) continue;  // no choices yet: the value waits for them
        const int at = combo->findText(Ui_Text(values_.*field), Qt::MatchExactly);
        if (at >= 0) combo->setCurrentIndex(at);
        values_.*field = Ui_Latin1(combo->currentText());
    }
    directory_->setText(Ui_PathText(values_.outputDirectory));
    directory_->setCursorPosition(0);
    applying_ = false;
}
