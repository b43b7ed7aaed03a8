#pragma once
// "Drive test: measurements": the default selection with its category
// indicators, or the user's own choice from the measurement tree.
#include <QWidget>
#include <array>
#include <vector>

#include "drivetest/wizardviews.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class MeasurementPage : public QWidget, public MeasurementPageView {
    Q_OBJECT
public:
    explicit MeasurementPage(QWidget* parent);

    void setTree(const std::vector<MeasurementTreeItem>& items) override;
    void setMarks(const std::vector<bool>& marks) override;
    void setOptions(bool defaultSelected, bool userSelected, bool treeVisible) override;
    void setIndicator(int category, const std::string& text, bool visible, bool highlighted) override;

    static constexpr int kCategories = 7;  // Level, Sync, SNR, MER, BER, PER, Echo

    QRadioButton* defaultOption() const { return default_; }
    QRadioButton* userOption() const { return user_; }
    QTreeWidget* tree() const { return tree_; }
    // The tree item of setTree's items[index].
    QTreeWidgetItem* treeItem(int index) const;
    QLabel* indicator(int category) const { return indicators_[static_cast<std::size_t>(category)]; }
    QPushButton* homeButton() const { return home_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }

private:
    QRadioButton* default_ = nullptr;
    QRadioButton* user_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    std::array<QLabel*, kCategories> indicators_{};
    QPushButton* home_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    std::vector<QTreeWidgetItem*> items_;  // in setTree order
    bool applying_ = false;  // a queued call writes the tree: its signals are not the user's
};
