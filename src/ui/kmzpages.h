#pragma once
// The four pages of the KMZ conversion: level configuration, scope, colour
// assignment and progress, as one view of the KMZ wizard.
#include <QObject>
#include <QWidget>

#include "export/kmz/kmzwizard.h"
#include "export/kmz/levelconfig.h"

class KmzPages : public QObject, public KmzWizardView {
    Q_OBJECT
public:
    explicit KmzPages(QWidget* parent = nullptr);
    // The page widget for kPageKmzLevels, kPageKmzScope, kPageKmzColours, kPageKmzProgress.
    QWidget* page(int uiPage) const;

    // KmzWizardView
    void showLoadLabel(const std::string&) override {}
    void setLoadProgress(int) override {}
    void clearTree() override {}
    void insertTreeItem(const KmzScopeItem&) override {}
    void markAllTreeItems(bool) override {}
    std::vector<std::string> markedTreeValues() override { return {}; }
    void highlightTree(bool) override {}
    void highlightIndicators(bool) override {}
    std::array<bool, 3> indicators() override { return {true, false, false}; }
    void setIndicators(const std::array<bool, 3>&) override {}
    double zoomMetres() override { return 10.0; }
    void setZoomMetres(double) override {}
    void showSelection(bool) override {}
    void showScopeMessage(const std::string&) override {}
    std::string cellText(int, int) override { return {}; }
    void setCellText(int, int, const std::string&) override {}
    KmzColourSet colours() override { return {}; }
    void setColours(const KmzColourSet&) override {}
    void showMessage(const std::string&) override {}
    void setItems(const std::vector<std::string>&) override {}
    std::string text() override { return {}; }
    void setText(const std::string&) override {}
    bool confirm(const std::string&) override { return false; }
    void setColourRows(const KmzColourScope&) override {}
    void showColourTree(bool) override {}
    void showWriteLabel(const std::string&) override {}
    void setWriteProgress(int) override {}
    void enableHome(bool) override {}
    void showProgressBar(bool) override {}
    void showPage(KmzPage) override {}
    void threadMessage(const std::string&) override {}
    // The level configuration page's table, as the level module sees it.
    KmzLevelTableView& levelTableView();

private:
    class LevelTable : public KmzLevelTableView {
    public:
        void deleteRowsBelowHeader() override {}
        void appendRow(const std::vector<KmzLevelCell>&) override {}
        void setCell(int, int, const KmzLevelCell&) override {}
        std::string cellText(int, int) override { return {}; }
        void setCellBackground(int, int, std::uint32_t) override {}
        int commonUnit() override { return 0; }
        void setCommonUnit(int) override {}
        void showMessage(const std::string&) override {}
        void startEditing(int, int) override {}
        void setActiveCell(int, int) override {}
    };
    LevelTable levelTable_;
    QWidget* pages_[4];
};
