#pragma once
// The CSV conversion's progress page.
#include <QWidget>

#include "export/csv/csvmodule.h"

class CsvProgressPage : public QWidget, public CsvPageView {
    Q_OBJECT
public:
    explicit CsvProgressPage(QWidget* parent = nullptr);
    void showFileLabel(const std::string&) override {}
    void setProgress(int) override {}
    void finish(const std::string&) override {}
};
