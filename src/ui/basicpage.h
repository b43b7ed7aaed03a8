#pragma once
// The first drive-test page: broadcast standard, level unit, distance unit
// and the output directory, with Home and Next.
//
// The wizard reads the four values from its worker thread (readBasic), so the
// page keeps them in a locked copy that every user choice and every showBasic
// updates at once; the widgets follow on the main thread.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <mutex>

#include "drivetest/wizardviews.h"

class BasicPage : public QWidget, public BasicPageView {
    Q_OBJECT
public:
    explicit BasicPage(QWidget* parent);

    void setChoices(const std::vector<std::string>& standards, const std::vector<std::string>& levelUnits,
                    const std::vector<std::string>& distanceUnits) override;
    void showBasic(const BasicSettings& settings) override;
    BasicSettings readBasic() override;  // any thread

    QComboBox* standard() const { return standard_; }
    QComboBox* levelUnit() const { return levelUnit_; }
    QComboBox* distanceUnit() const { return distanceUnit_; }
    QLineEdit* directory() const { return directory_; }
    QPushButton* directoryButton() const { return directoryButton_; }
    QPushButton* home() const { return home_; }
    QPushButton* next() const { return next_; }

private:
    // Shows the copy; a combo without the stored value keeps its entry, and
    // the copy takes what the page shows, so that what is read is what is seen.
    void showValues();
    void choose(QComboBox* combo, std::string BasicSettings::*field);

    QComboBox* standard_;
    QComboBox* levelUnit_;
    QComboBox* distanceUnit_;
    QLineEdit* directory_;
    QPushButton* directoryButton_;
    QPushButton* home_;
    QPushButton* next_;
    bool applying_ = false;
    std::mutex lock_;
    BasicSettings values_;
};
