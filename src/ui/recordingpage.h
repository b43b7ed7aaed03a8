#pragma once
// "Drive test: recording": the live status of every analyzer's frequencies,
// the GPS indicator, the track map with the summary numbers below, and Record /
// Pause / Stop. The measurement threads call at most once a second per
// analyzer; each call updates only the cells it names, so a repaint covers
// what changed in one turn of the event loop and the table is never laid out
// again for a cell.
#include <QWidget>
#include <string>

#include "measure/drivetestview.h"
#include "measure/recordcontrols.h"

class QLabel;
class QPushButton;
class QTableWidget;
class TrackMapView;

class RecordingPage : public QWidget, public DriveTestView, public RecordControlsView {
    Q_OBJECT
public:
    explicit RecordingPage(QWidget* parent);
    ~RecordingPage() override;

    // "Level [%s]" of the status table.
    void setLevelTitle(const std::string& title);
    // Rows 2 to 4 of the summary table.
    void setDistanceTitles(const std::string& grid, const std::string& track, const std::string& speed);

    // DriveTestView
    void statusRowAdded(int row, const std::string& label, RowColour colour) override;
    void statusRowRemoved(int row) override;
    void statusCell(int row, int column, const std::string& text, RowColour colour) override;
    void statusRowColour(int row, RowColour colour) override;
    void gpsIndicator(const std::string& text, RowColour colour) override;
    void summaryCell(int row, const std::string& text) override;
    void trackMap(const MapImage& image) override;
    void message(const std::string& text) override;
    void recordingStopped() override;
    // RecordControlsView
    void setRecordButton(const std::string& label, bool enabled) override;
    void setStopEnabled(bool enabled) override;
    void setPageButtonsEnabled(bool enabled) override;

    QTableWidget* statusTable() const { return status_; }
    QTableWidget* summaryTable() const { return summary_; }
    QLabel* gpsLabel() const { return gps_; }
    TrackMapView* map() const { return map_; }
    QPushButton* recordButton() const { return record_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* homeButton() const { return home_; }
    QPushButton* previousButton() const { return previous_; }

private:
    void buildSummary();
    void setCell(int row, int column, const QString& text, const QColor& background);
    void fitRow(int row);

    QTableWidget* status_ = nullptr;
    QTableWidget* summary_ = nullptr;
    QLabel* gps_ = nullptr;
    TrackMapView* map_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* home_ = nullptr;
    QPushButton* previous_ = nullptr;
    int lineHeight_ = 0;  // height of a one-line row
};
