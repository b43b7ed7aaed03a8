#include "export/csv/csvmodule.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct CsvModule {
    std::mutex lock;  // guards state
    std::condition_variable finished;
    int state = kCsvIdle;
    CsvPageView* view = nullptr;
    std::thread worker;  // touched by the main thread only
};

CsvModule& Module() {
    static CsvModule module;
    return module;
}

bool CancelRequested() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().state == kCsvCancelRequested;
}

}  // namespace

void Csv_Init(CsvPageView& view) {
    CsvModule& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    m.state = kCsvIdle;
    m.view = &view;
}

void Csv_Close() {
    CsvModule& m = Module();
    {
        std::unique_lock<std::mutex> guard(m.lock);
        if (m.state == kCsvRunning) m.state = kCsvCancelRequested;
        m.finished.wait(guard, [&] { return m.state == kCsvIdle; });
    }
    if (m.worker.joinable()) m.worker.join();
    std::lock_guard<std::mutex> guard(m.lock);
    m.view = nullptr;
}

bool Csv_Start(const std::vector<RecordFileEntry>& marked, const std::string& directory) {
    CsvModule& m = Module();
    {
        std::lock_guard<std::mutex> guard(m.lock);
        if (m.state != kCsvIdle || !m.view) return false;
        m.state = kCsvRunning;
    }
    // The previous thread has set the state to idle and is about to end.
    if (m.worker.joinable()) m.worker.join();
    m.worker = std::thread([marked, directory, view = m.view] {
        CsvResult result = Csv_Convert(marked, directory, view, CancelRequested);
        Csv_Finish(result.message);
    });
    return true;
}

void onCsvProgHome() {
    std::lock_guard<std::mutex> guard(Module().lock);
    if (Module().state == kCsvRunning) Module().state = kCsvCancelRequested;
}

void Csv_Finish(const std::string& message) {
    CsvModule& m = Module();
    CsvPageView* view;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        view = m.view;
    }
    if (view) view->finish(message);
    std::lock_guard<std::mutex> guard(m.lock);
    m.state = kCsvIdle;
    m.finished.notify_all();
}

int Csv_State() {
    std::lock_guard<std::mutex> guard(Module().lock);
    return Module().state;
}
