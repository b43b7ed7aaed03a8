#pragma once
// The main window: the thirteen pages as one stack (one page shows at a time),
// placed by the centring rule, and the antenna editor beside it.
#include <QStackedWidget>
#include <QWidget>
#include <functional>

class AntennaEditor;
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
    AntennaEditor* antennas() const { return antennas_; }
    QStackedWidget* stack() const { return stack_; }
    // The window close request (onPanel); the shell installs what it does.
    void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }
    // Left max(0, (width - 640) / 2), top max(0, (height - 480) / 2) + 23 on a screen of that size.
    static QPoint CentredPosition(const QSize& screen);
    void raiseWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QStackedWidget* stack_;
    StartPage* start_;
    DriveTestPages* driveTest_;
    FileSelectionPage* files_;
    KmzPages* kmz_;
    CsvProgressPage* csv_;
    AntennaEditor* antennas_;
    std::function<void()> closeHandler_;
};
