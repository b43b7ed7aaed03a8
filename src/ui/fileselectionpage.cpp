#include "ui/fileselectionpage.h"

FileSelectionPage::FileSelectionPage(QWidget* parent) : QWidget(parent) {}
