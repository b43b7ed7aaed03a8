#pragma once
// Record / Pause / Stop of the recording page: one button that toggles
// between "Record" and "Pause", the Stop button, and the page's Home and
// Previous, which stay dimmed while a request is under way. The requests
// block until every measurement thread has answered, so they run in threads
// of their own; the controls come back when they are done, and after every
// stop of the recording.
#include <string>

class RecordControlsView {
public:
    virtual ~RecordControlsView() = default;
    virtual void setRecordButton(const std::string& label, bool enabled) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
    // Home and Previous of the recording page.
    virtual void setPageButtonsEnabled(bool enabled) = 0;
};

inline constexpr const char* kRecordLabel = "Record";
inline constexpr const char* kPauseLabel = "Pause";

// Takes the view and shows the controls ready to record.
void RecordControls_Init(RecordControlsView& view);
// Waits for the request threads and forgets view (when it is the one taken).
void RecordControls_Close(RecordControlsView& view);
// Waits for every request thread started so far (they never wait for the
// main thread; the page calls this before it leaves, so that none outlives
// the drive test).
void RecordControls_Join();
// The end of the stop sequence (DriveTestView::recordingStopped): the
// controls are enabled again and the button reads "Record".
void RecordControls_Stopped();
// The label the button shows now.
std::string RecordControls_Label();

// The Record/Pause button.
void onRecordPause();
// Stop: DriveTest_Stop("Stop pressed").
void onFinish();
