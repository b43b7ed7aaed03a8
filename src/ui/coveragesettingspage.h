#pragma once
// The widgets of "Step 2 of 3: Coverage analysis": the planning threshold of
// every channel of the marked files, the grid and the options, and the
// target: a file (with a report beside a GeoPackage) or the campaign database.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
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
    QComboBox* format = nullptr;         // item data: the GIS driver name, or kCoverageDatabaseFormat
    QLineEdit* output = nullptr;
    QPushButton* chooseOutput = nullptr;
    QCheckBox* report = nullptr;         // a PDF report beside the GeoPackage
    QLineEdit* connection = nullptr;     // PG:... of the campaign database
    QPushButton* testConnection = nullptr;
    QLabel* connectionResult = nullptr;
    // The output group's rows; a file's or the database's are shown as the format asks.
    QFormLayout* outputForm = nullptr;
    QWidget* fileRow = nullptr;
    QWidget* databaseRow = nullptr;
};

// The format choice's item data for the campaign database.
inline constexpr const char* kCoverageDatabaseFormat = "PostgreSQL";

enum CoverageThresholdColumn { kCoverageColChannel = 0, kCoverageColUnit, kCoverageColThreshold, kCoverageColumns };

CoverageSettingsPage CoverageSettingsPage_Build(QWidget* parent);
