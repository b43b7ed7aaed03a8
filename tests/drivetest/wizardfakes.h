#pragma once
// A wizard view that records what the pages would show, and a network with
// scripted addresses, adapters and neighbours, for the wizard's tests.
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "drivetest/wizard.h"
#include "platform/network.h"

class FakeWizardView : public DriveTestWizardView {
public:
    void showPage(WizardPage page) override { set([&] { pages.push_back(page); }); }
    void message(const std::string& text) override { set([&] { messages.push_back(text); }); }
    std::optional<std::string> chooseDirectory(const std::string&, const std::string&) override { return chosenDirectory; }
    void setLevelTitle(const std::string& t) override { set([&] { levelTitle = t; }); }
    void setDistanceTitles(const std::string& g, const std::string& t, const std::string& s) override {
        set([&] { distanceTitles = {g, t, s}; });
    }
    void openAntennaEditor() override { set([&] { ++antennaEditorOpened; }); }
    void setChoices(const std::vector<std::string>& s, const std::vector<std::string>&,
                    const std::vector<std::string>&) override {
        set([&] { standards = s; });
    }
    void showBasic(const BasicSettings& b) override { set([&] { basic = b; }); }
    BasicSettings readBasic() override {
        std::lock_guard<std::mutex> l(m);
        return basic;
    }
    void showProgress(const std::string& label, double percent) override {
        set([&] { progressLabels.push_back(label), progress.push_back(percent); });
    }
    void setProgress(double percent) override { set([&] { progress.push_back(percent); }); }
    void hideResults() override { set([&] { tableShown = false, ++searches; }); }
    void showRangeText(const std::string& t) override { set([&] { rangeText = t; }); }
    void showNoAnalyzerNotice() override { set([&] { noAnalyzerNotice = true; }); }
    void showAnalyzerTable(const std::vector<AnalyzerTableRow>& r, bool antenna, const std::vector<std::string>&) override {
        set([&] { rows = r, antennaColumn = antenna, tableShown = true, ++tablesShown; });
    }
    void setActionsEnabled(bool next, bool) override { set([&] { nextEnabled = next; }); }
    void setCell(int row, int column, const std::string& text) override {
        set([&] {
            if (column == 3 && row >= 2 && static_cast<std::size_t>(row - 2) < rows.size())
                rows[static_cast<std::size_t>(row - 2)].role = text;
        });
    }
    void showHelp(const std::string& t) override { set([&] { help = t; }); }
    void setTree(const std::vector<MeasurementTreeItem>& items) override { set([&] { tree = items; }); }
    void setMarks(const std::vector<bool>& m) override { set([&] { marks = m; }); }
    void setOptions(bool d, bool u, bool visible) override { set([&] { options = {d, u, visible}; }); }
    void setIndicator(int category, const std::string& text, bool visible, bool highlighted) override {
        set([&] {
            if (indicators.size() <= static_cast<std::size_t>(category)) indicators.resize(static_cast<std::size_t>(category) + 1);
            indicators[static_cast<std::size_t>(category)] = {text, visible, highlighted};
        });
    }

    // Waits until pred holds (under the view's lock); false after timeoutMs.
    template <class Pred>
    bool waitFor(Pred pred, int timeoutMs = 30000) {
        std::unique_lock<std::mutex> l(m);
        return cv.wait_for(l, std::chrono::milliseconds(timeoutMs), pred);
    }

    struct Indicator {
        std::string text;
        bool visible = false, highlighted = false;
    };
    std::mutex m;
    std::condition_variable cv;
    std::vector<WizardPage> pages;
    std::vector<std::string> messages, progressLabels, standards, distanceTitles;
    std::vector<double> progress;
    std::optional<std::string> chosenDirectory;
    std::string levelTitle, rangeText, help;
    BasicSettings basic;
    bool tableShown = false, noAnalyzerNotice = false, antennaColumn = false, nextEnabled = false;
    int searches = 0, tablesShown = 0, antennaEditorOpened = 0;
    std::vector<AnalyzerTableRow> rows;
    std::vector<MeasurementTreeItem> tree;
    std::vector<bool> marks, options;
    std::vector<Indicator> indicators;

private:
    template <class F>
    void set(F f) {
        std::lock_guard<std::mutex> l(m);
        f();
        cv.notify_all();
    }
};

// The analyzer table as "type | status | role" lines, in table order.
inline std::vector<std::string> WizardFake_Statuses() {
    std::vector<std::string> out;
    for (const auto& r : DriveTest_AnalyzerTable()) out.push_back(r.type + " | " + r.status + " | " + r.role);
    return out;
}

// Addresses, adapters and neighbours as a test sets them; a sweep records
// its probes and may be held until the test releases it.
class FakeNetwork : public NetworkAccess {
public:
    bool hostAddresses(std::vector<std::string>& a, std::string&) override {
        a = addresses;
        return true;
    }
    bool adapters(std::vector<NetworkAdapter>& a) override {
        a = adapterList;
        return true;
    }
    bool neighbours(std::vector<NetworkNeighbour>& n) override {
        n = neighbourList;
        return true;
    }
    void sweep(const std::vector<std::string>& a, int, const std::function<void(std::size_t, bool)>& finished) override {
        {
            std::unique_lock<std::mutex> l(m);
            probes.insert(probes.end(), a.begin(), a.end());
            ++sweeps;
            cv.notify_all();
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (i == a.size() / 2) {  // half done: the test may look at the progress
                std::unique_lock<std::mutex> l(m);
                cv.wait_for(l, std::chrono::seconds(20), [&] { return !hold; });
            }
            finished(i, false);
        }
    }
    void release() {
        std::lock_guard<std::mutex> l(m);
        hold = false;
        cv.notify_all();
    }
    void addNeighbour(const std::string& address, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t last) {
        NetworkNeighbour n;
        n.address = address;
        const std::uint8_t mac[6] = {b0, b1, b2, 0x10, 0x20, last};
        std::copy(mac, mac + 6, n.mac);
        neighbourList.push_back(n);
    }

    std::vector<std::string> addresses;
    std::vector<NetworkAdapter> adapterList;
    std::vector<NetworkNeighbour> neighbourList;
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> probes;
    int sweeps = 0;
    bool hold = false;
};
