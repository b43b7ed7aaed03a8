#include "discovery.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "antenna/antenna.h"
#include "instrument/receiverinfo.h"
#include "instrument/tcpscpi.h"
#include "platform/network.h"
#include "platform/text.h"

namespace {

// The hardware page on stderr: the step labels always, the percentages on a terminal.
class ConsoleWizardView : public DriveTestWizardView {
public:
    explicit ConsoleWizardView(const BasicSettings& basic) : basic_(basic), terminal_(isatty(STDERR_FILENO) == 1) {}
    void showPage(WizardPage) override {}
    void message(const std::string& text) override {
        std::fprintf(stderr, "%s\n", Text_Latin1ToUtf8(text).c_str());
    }
    std::optional<std::string> chooseDirectory(const std::string&, const std::string&) override { return std::nullopt; }
    void setLevelTitle(const std::string&) override {}
    void setDistanceTitles(const std::string&, const std::string&, const std::string&) override {}
    void openAntennaEditor() override {}
    void setChoices(const std::vector<std::string>&, const std::vector<std::string>&,
                    const std::vector<std::string>&) override {}
    void showBasic(const BasicSettings&) override {}
    BasicSettings readBasic() override { return basic_; }
    void showProgress(const std::string& label, double) override {
        endLine();
        std::fprintf(stderr, "%s\n", label.c_str());
    }
    void setProgress(double percent) override {
        if (!terminal_) return;
        std::fprintf(stderr, "\r  %5.1f %%", percent);
        open_ = true;
    }
    void hideResults() override {}
    void showRangeText(const std::string& text) override {
        endLine();
        std::fprintf(stderr, "  %s\n", text.c_str());
    }
    void showNoAnalyzerNotice() override { done(); }
    void showAnalyzerTable(const std::vector<AnalyzerTableRow>&, bool, const std::vector<std::string>&) override {
        done();
    }
    void setActionsEnabled(bool, bool) override {}
    void setCell(int, int, const std::string&) override {}
    void showHelp(const std::string&) override {}
    void setTree(const std::vector<MeasurementTreeItem>&) override {}
    void setMarks(const std::vector<bool>&) override {}
    void setOptions(bool, bool, bool) override {}
    void setIndicator(int, const std::string&, bool, bool) override {}

    // Waits until the table (or the notice) was shown.
    void waitForTable() {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return filled_; });
    }

private:
    void endLine() {
        if (open_) std::fprintf(stderr, "\n");
        open_ = false;
    }
    void done() {
        endLine();
        std::lock_guard<std::mutex> l(m_);
        filled_ = true;
        cv_.notify_all();
    }
    BasicSettings basic_;
    bool terminal_;
    bool open_ = false;
    std::mutex m_;
    std::condition_variable cv_;
    bool filled_ = false;
};

}  // namespace

bool Cli_RunDiscovery(const BasicSettings& settings, int timeoutMs, CliDiscovery& result, std::string& error) {
    TcpScpi_Init();
    ReceiverInfo_Init();
    Antenna_Init();
    if (!ReceiverInfo_FindStandard(ReceiverInfo_Families().front(), settings.standard.c_str())) {
        bool known = false;
        for (const auto& f : ReceiverInfo_Families()) known = known || ReceiverInfo_FindStandard(f, settings.standard.c_str());
        if (!known) {
            error = "unknown standard '" + Text_Latin1ToUtf8(settings.standard) + "'";
            return false;
        }
    }
    Network_SetAccess(&Network_System());
    ConsoleWizardView view(settings);
    WizardOptions options;
    options.basic = settings;
    options.sessionTimeoutMs = timeoutMs;
    DriveTest_Init(view, nullptr, nullptr, options);
    // The search is under way; the table comes at the entry of the waiting state.
    view.waitForTable();
    while (DriveTest_WorkerState() != kWorkerWaiting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    result.rangeText = DriveTest_RangeText();
    result.slots = DriveTest_Analyzers();
    result.rows = DriveTest_AnalyzerTable();
    DriveTest_Close();
    Network_SetAccess(nullptr);
    return true;
}
