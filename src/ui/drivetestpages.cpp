#include "ui/drivetestpages.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/uishell.h"

namespace {

QWidget* PlaceholderPage(QWidget* parent, const QString& title) {
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel(title, page);
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    label->setFont(f);
    layout->addWidget(label);
    layout->addStretch();
    auto* home = new QPushButton("Home", page);
    Ui_Name(home, "Home");
    QObject::connect(home, &QPushButton::clicked, page, [] { Ui_ShowPage(kPageStart); });
    layout->addWidget(home, 0, Qt::AlignLeft);
    return page;
}

}  // namespace

DriveTestPages::DriveTestPages(QWidget* parent) : QObject(parent) {
    const char* titles[5] = {"Drive test: basic settings", "Drive test: TV analyzers", "Drive test: frequencies",
                             "Drive test: measurements", "Drive test: recording"};
    for (int i = 0; i < 5; ++i) pages_[i] = PlaceholderPage(parent, titles[i]);
}

QWidget* DriveTestPages::page(int uiPage) const {
    return uiPage >= kPageDtBasic && uiPage <= kPageDtRecording ? pages_[uiPage - kPageDtBasic] : nullptr;
}

void DriveTestPages::showPage(WizardPage page) {
    static const int map[] = {kPageStart, kPageDtBasic, kPageDtHardware, kPageDtFrequencies, kPageDtMeasurements,
                              kPageDtRecording};
    const int target = map[static_cast<int>(page)];
    Ui_Post([target] { Ui_ShowPage(target); });
}

void DriveTestPages::message(const std::string& text) {
    const QString t = Ui_Text(text);
    Ui_Post([t] { Ui_Message(t); });
}

std::optional<std::string> DriveTestPages::chooseDirectory(const std::string& title, const std::string& start) {
    const QString dir = QFileDialog::getExistingDirectory(nullptr, Ui_Text(title), Ui_Text(start));
    if (dir.isEmpty()) return std::nullopt;
    return Ui_Latin1(dir);
}

void DriveTestPages::showBasic(const BasicSettings& settings) {
    std::lock_guard<std::mutex> l(lock_);
    basic_ = settings;
}

BasicSettings DriveTestPages::readBasic() {
    std::lock_guard<std::mutex> l(lock_);
    return basic_;
}
