#pragma once
// The record file selection page (shared by both conversions).
#include <QWidget>

#include "selection/fileselection.h"

class FileSelectionPage : public QWidget, public FileSelectionView {
    Q_OBJECT
public:
    explicit FileSelectionPage(QWidget* parent = nullptr);
    void setPageTexts(const std::string&, const std::string&) override {}
    void showModeControls(int) override {}
    void showDirectory(const std::string&) override {}
    void setListEnabled(bool) override {}
    void setStandardFilter(const std::vector<std::string>&, int) override {}
    void setFrequencyFilter(const std::vector<std::string>&, int) override {}
    void setRows(const std::vector<FileSelectionRow>&) override {}
    void setMark(int, bool) override {}
    void shadeRows(const std::vector<RowShade>&) override {}
    std::optional<std::string> chooseDirectory(const std::string&, const std::string&) override { return std::nullopt; }
    void showMessage(const std::string&, const std::string&) override {}
    void showStartPage() override {}
};
