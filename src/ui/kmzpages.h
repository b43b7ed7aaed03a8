#pragma once
// The four pages of the KMZ conversion: level configuration, scope, colour
// assignment and progress, as one view of the KMZ wizard.
//
// Every void view call is handed to the main thread in call order. The colour
// page is also read by the worker (it fills the tree and applies Auto), so
// its texts, colours and profile name live in a small locked model that the
// setters update at once and the widgets follow; the other pages are read on
// the main thread only, after the calls queued before have run.
#include <QObject>
#include <QProgressBar>
#include <QWidget>
#include <map>
#include <mutex>
#include <utility>

#include "export/kmz/kmzwizard.h"
#include "export/kmz/levelconfig.h"
#include "ui/kmzcolourpage.h"
#include "ui/kmzlevelpage.h"
#include "ui/kmzscopepage.h"

class QLabel;

class KmzPages : public QObject, public KmzWizardView {
    Q_OBJECT
public:
    explicit KmzPages(QWidget* parent = nullptr);
    // The page widget for kPageKmzLevels, kPageKmzScope, kPageKmzColours, kPageKmzProgress.
    QWidget* page(int uiPage) const;
    // The level configuration page's table, as the level module sees it.
    KmzLevelTableView& levelTableView();

    // KmzLoadView, KmzScopeView
    void showLoadLabel(const std::string& label) override;
    void setLoadProgress(int percent) override;
    void clearTree() override;
    void insertTreeItem(const KmzScopeItem& item) override;
    void markAllTreeItems(bool marked) override;
    std::vector<std::string> markedTreeValues() override;
    void highlightTree(bool on) override;
    void highlightIndicators(bool on) override;
    std::array<bool, 3> indicators() override;
    void setIndicators(const std::array<bool, 3>& on) override;
    double zoomMetres() override;
    void setZoomMetres(double metres) override;
    void showSelection(bool selection) override;
    void showScopeMessage(const std::string& text) override;
    // KmzColourView, KmzProfileComboView, KmzColourPageView
    std::string cellText(int channel, int column) override;
    void setCellText(int channel, int column, const std::string& text) override;
    KmzColourSet colours() override;
    void setColours(const KmzColourSet& colours) override;
    void showMessage(const std::string& text) override;
    void setItems(const std::vector<std::string>& names) override;
    std::string text() override;
    void setText(const std::string& name) override;
    bool confirm(const std::string& question) override;
    void setColourRows(const KmzColourScope& scope) override;
    void showColourTree(bool shown) override;
    // KmzWriteView, KmzProgressView, KmzWizardView
    void showWriteLabel(const std::string& label) override;
    void setWriteProgress(int percent) override;
    void enableHome(bool enabled) override;
    void showProgressBar(bool shown) override;
    void showPage(KmzPage page) override;
    void threadMessage(const std::string& text) override;

    // The widgets, for the window around the pages and for tests.
    const KmzLevelPage& levelPage() const { return level_; }
    const KmzScopePage& scopePage() const { return scope_; }
    const KmzColourPage& colourPage() const { return colour_; }
    QPushButton* progressHome() const { return progressHome_; }
    QProgressBar* progressBar() const { return progressBar_; }

private:
    class LevelTable : public KmzLevelTableView {
    public:
        explicit LevelTable(KmzLevelPage& page) : page_(page) {}
        void deleteRowsBelowHeader() override;
        void appendRow(const std::vector<KmzLevelCell>& cells) override;
        void setCell(int tableRow, int column, const KmzLevelCell& cell) override;
        std::string cellText(int tableRow, int column) override;
        void setCellBackground(int tableRow, int column, std::uint32_t colour) override;
        int commonUnit() override;
        void setCommonUnit(int unit) override;
        void showMessage(const std::string& text) override;
        void startEditing(int tableRow, int column) override;
        void setActiveCell(int tableRow, int column) override;
        bool applying = false;  // a queued call is writing the widgets: their signals are not the user's

    private:
        KmzLevelPage& page_;
    };

    void buildProgressPage(QWidget* parent);
    void connectLevelPage();
    void connectScopePage();
    void connectColourPage();
    QTreeWidgetItem* colourItem(int channel) const;
    void showCell(int channel, int column);

    KmzLevelPage level_;
    KmzScopePage scope_;
    KmzColourPage colour_;
    QWidget* progressPage_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* progressHome_ = nullptr;
    LevelTable levelTable_;
    bool applying_ = false;  // as LevelTable::applying, for the other pages
    std::map<std::string, std::string> scopePaths_;  // group path of every scope tree value (main thread)

    // The colour page's model (any thread).
    std::mutex colourLock_;
    std::map<std::pair<int, int>, std::string> cells_;
    KmzColourSet colours_;
    std::string profileName_;
};
