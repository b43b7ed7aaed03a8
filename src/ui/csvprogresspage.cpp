#include "ui/csvprogresspage.h"

CsvProgressPage::CsvProgressPage(QWidget* parent) : QWidget(parent) {}
