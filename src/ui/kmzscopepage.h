#pragma once
// The widgets of "Step 3 of 5: Scope Selection": the measurement tree with
// check marks, the three indicators, the zoom resolution, and the loading
// progress that stands in their place while the record files are read.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <array>

#include "ui/wizardframe.h"

struct KmzScopePage {
    QWidget* page = nullptr;
    UiWizardFrame frame;
    QStackedWidget* stack = nullptr;  // 0: the selection controls, 1: the loading progress
    QTreeWidget* tree = nullptr;
    QPushButton* markAll = nullptr;
    QPushButton* markNone = nullptr;
    QGroupBox* indicatorBox = nullptr;
    std::array<QCheckBox*, 3> indicators{};  // worst, average, best
    QComboBox* zoom = nullptr;               // item data: metres
    QLabel* loadLabel = nullptr;
    QProgressBar* loadBar = nullptr;
};

KmzScopePage KmzScopePage_Build(QWidget* parent);
// The yellow background that points the user at a part of the page.
void KmzScopePage_Highlight(QWidget* widget, bool on);
