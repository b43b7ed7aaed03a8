#pragma once
// The widgets of "Step 2 of 3: Coverage analysis": the planning threshold of
// every channel of the marked files, the grid and the options, and the
// output file.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>

#include "ui/wizardframe.h"

struct CoverageSettingsPage {
    QWidget* page = nullptr;
    UiWizardFrame frame;
    QTableWidget* thresholds = nullptr;  // channel, unit, threshold (editable)
    QComboBox* cellSize = nullptr;       // item data: metres
    QComboBox* unit = nullptr;           // items in kKmzUnit* order
    QSpinBox* minSamples = nullptr;
    QCheckBox* keepStationary = nullptr;
    QComboBox* format = nullptr;         // item data: the GIS driver name
    QLineEdit* output = nullptr;
    QPushButton* chooseOutput = nullptr;
    // The output group's rows: further outputs (a report beside the file, a
    // database target) go here as rows of their own.
    QFormLayout* outputForm = nullptr;
};

enum CoverageThresholdColumn { kCoverageColChannel = 0, kCoverageColUnit, kCoverageColThreshold, kCoverageColumns };

CoverageSettingsPage CoverageSettingsPage_Build(QWidget* parent);
