#pragma once
// The CSV conversion as the application runs it: one conversion thread at a
// time, a conversion state shared with the main thread under one lock
// (-1 idle or finished, 1 running, 0 cancel requested), and the progress page.
#include <string>
#include <vector>

#include "export/csv/csvconvert.h"

// The progress page; every call may come from the conversion thread, so the
// implementation hands them to the main thread and must not wait for it.
class CsvPageView : public CsvProgressView {
public:
    // Re-enable the page, show the message through the popup service ("Fieldtrace"),
    // hide the progress bar and return to the selection page.
    virtual void finish(const std::string& message) = 0;
};

constexpr int kCsvIdle = -1;
constexpr int kCsvCancelRequested = 0;
constexpr int kCsvRunning = 1;

// Creates the conversion state (idle); view must outlive the module.
void Csv_Init(CsvPageView& view);
// Cancels a running conversion, waits until its thread has finished and forgets the view.
void Csv_Close();
// Next on the selection page in the CSV mode: state running, then the
// conversion of the marked entries on a thread of its own. False when a
// conversion is still running.
bool Csv_Start(const std::vector<RecordFileEntry>& marked, const std::string& directory);
// Home on the progress page: the conversion stops before its next sample.
void onCsvProgHome();
// Shows the final message and sets the state to idle; the end of the conversion thread.
void Csv_Finish(const std::string& message);
int Csv_State();
