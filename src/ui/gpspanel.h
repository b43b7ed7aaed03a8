#pragma once
// The GPS receiver setup panel: a card over the drive-test pages, with the
// receiver choice, the receiver's integer inputs, the setup status and Close.
// It lies over the whole window on a darkened backdrop, so that the dimmed
// pages beneath stay visible but cannot be confused with it.
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "measure/gpssetup.h"

class GpsPanel : public QWidget, public GpsSetupView {
    Q_OBJECT
public:
    // dimmed: what setMainTabsEnabled turns off and on (the page stack). The
    // panel lies over parent, or over dimmed's parent when parent is inside
    // dimmed (it must not be turned off with the pages).
    GpsPanel(QWidget* dimmed, QWidget* parent);

    void showReceivers(const std::vector<std::string>& names) override;
    void setControlsEnabled(bool enabled) override;
    void showInputs(const std::vector<GpsSetupInputRow>& rows) override;
    void showProgress(const std::string& caption, int percent) override;
    void showResult(const std::string& caption, const std::string& text, RowColour colour) override;
    void showPanel(bool shown) override;
    void setMainTabsEnabled(bool enabled) override;

    QComboBox* receivers() const { return receivers_; }
    // Columns as the setup counts them: 1 description, 2 unused (hidden), 3 value, 4 help.
    QTableWidget* inputs() const { return inputs_; }
    QGroupBox* inputBox() const { return inputBox_; }
    QLabel* caption() const { return caption_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QLabel* result() const { return result_; }
    QPushButton* closeButton() const { return close_; }
    QFrame* card() const { return card_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void connectInputs();

    QPointer<QWidget> dimmed_;
    QFrame* card_;
    QComboBox* receivers_;
    QGroupBox* inputBox_;
    QTableWidget* inputs_;
    QLabel* caption_;
    QProgressBar* progressBar_;
    QLabel* result_;
    QPushButton* close_;
    bool applying_ = false;
};
