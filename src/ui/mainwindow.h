#pragma once
// The main window: the fifteen pages as one stack (one page shows at a time),
// centred on the screen, and the antenna editor beside it. Every page lays
// out at kMinimumSize, which fits an analyzer's 1024 x 600 screen with a
// title bar and a panel.
#include <QStackedWidget>
#include <QWidget>
#include <functional>

class AntennaEditor;
class CoveragePages;
class CsvProgressPage;
class DriveTestPages;
class FileSelectionPage;
class KmzPages;
class StartPage;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;
    StartPage* start() const { return start_; }
    DriveTestPages* driveTest() const { return driveTest_; }
    FileSelectionPage* files() const { return files_; }
    KmzPages* kmz() const { return kmz_; }
    CsvProgressPage* csv() const { return csv_; }
    CoveragePages* coverage() const { return coverage_; }
    AntennaEditor* antennas() const { return antennas_; }
    QStackedWidget* stack() const { return stack_; }
    // The window close request (onPanel); the shell installs what it does.
    void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }
    static constexpr QSize kMinimumSize{800, 500};
    // Centres the window on available (a screen's available geometry) at its
    // preferred size or smaller, its frame inside; the frame is the window
    // manager's once known, else kUiFrameAllowance.
    void placeOn(const QRect& available);
    void raiseWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStackedWidget* stack_;
    StartPage* start_;
    DriveTestPages* driveTest_;
    FileSelectionPage* files_;
    KmzPages* kmz_;
    CsvProgressPage* csv_;
    CoveragePages* coverage_;
    AntennaEditor* antennas_;
    std::function<void()> closeHandler_;
    bool placedOnce_ = false;
};
