#pragma once
// "Drive test: recording": the live status of every analyzer's frequencies,
// the GPS indicator, the summary numbers beside the track map, and Record /
// Pause / Stop. The measurement threads call at most once a second per
// analyzer; each call updates only the cells it names, so a repaint covers
// what changed in one turn of the event loop and the table is never laid out
// again for a cell.
#include <QImage>
#include <QWidget>
#include <string>

#include "measure/drivetestview.h"
#include "measure/recordcontrols.h"

class QLabel;
class QPushButton;
class QTableWidget;

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

    static constexpr int kMapScale = 4;  // the 60 x 60 map shown at 240 x 240

    QTableWidget* statusTable() const { return status_; }
    QTableWidget* summaryTable() const { return summary_; }
    QLabel* gpsLabel() const { return gps_; }
    QLabel* mapLabel() const { return map_; }
    // The picture the map shows (kMapScale times the map, every pixel a square).
    const QImage& mapImage() const { return mapImage_; }
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
    QLabel* map_ = nullptr;
    QImage mapImage_;
    QPushButton* record_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* home_ = nullptr;
    QPushButton* previous_ = nullptr;
    int lineHeight_ = 0;  // height of a one-line row
};
