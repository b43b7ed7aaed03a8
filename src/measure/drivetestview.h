#pragma once
// Where a drive test shows itself: the status table with one row per
// frequency, the GPS indicator, the summary table and the track map. The
// core computes every text, colour and number; a view only displays them.
// Calls come from the measurement threads under the drive-test lock, in
// order; a Qt view hands them to the main thread (queued), a console view
// prints them. A view must never block or call back into the drive test.
#include <cstdint>
#include <string>

#include "records/track.h"

struct RowColour {
    std::uint8_t r, g, b;
    bool operator==(const RowColour&) const = default;
};

class DriveTestView {
public:
    virtual ~DriveTestView() = default;
    // Status table: rows are 1-based below the title row.
    virtual void statusRowAdded(int row, const std::string& label, RowColour colour) = 0;
    virtual void statusRowRemoved(int row) = 0;
    // column 2 status, 3 level, 4 sync
    virtual void statusCell(int row, int column, const std::string& text, RowColour colour) = 0;
    virtual void statusRowColour(int row, RowColour colour) = 0;
    virtual void gpsIndicator(const std::string& text, RowColour colour) = 0;
    // Summary table rows: 1 fix ratio, 2 grid spacing, 3 track length, 4 speed, 5 free memory.
    virtual void summaryCell(int row, const std::string& text) = 0;
    virtual void trackMap(const MapImage& image) = 0;
    // A message to the user (the stop report), through the popup service.
    virtual void message(const std::string& text) = 0;
    // The stop sequence has closed the files and reported: the recording
    // controls may be offered again.
    virtual void recordingStopped() {}
};

// A view that shows nothing.
class NullDriveTestView : public DriveTestView {
public:
    void statusRowAdded(int, const std::string&, RowColour) override {}
    void statusRowRemoved(int) override {}
    void statusCell(int, int, const std::string&, RowColour) override {}
    void statusRowColour(int, RowColour) override {}
    void gpsIndicator(const std::string&, RowColour) override {}
    void summaryCell(int, const std::string&) override {}
    void trackMap(const MapImage&) override {}
    void message(const std::string&) override {}
};
