#pragma once
// The antenna editor: the second top-level window. Lists the antenna types
// (add, delete, select), edits the selected antenna's K-factor points, draws
// them as a curve and exchanges them with CSV files. Changes act on the
// process-wide antenna list at once; closing the window saves antennas.ini.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "antenna/antenna.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class KFactorPlot;

class AntennaEditor : public QWidget, public AntennaTableView {
    Q_OBJECT
public:
    // Asks for a file: save selects the output file (proposed is the name to
    // offer), otherwise the input file. An empty result means cancelled.
    using FileChooser = std::function<QString(bool save, const QString& caption, const QString& directory,
                                              const QString& proposed)>;

    explicit AntennaEditor(QWidget* parent = nullptr);

    // From the antenna module, on any thread; handed to the main thread in order.
    void setRows(const std::vector<AntennaTableRow>& rows) override;
    void selectRow(int position) override;

    // Shows the editor. The page that opens it (opener, may be null) stays
    // disabled until it closes: nothing can take an antenna by its list
    // position while positions may still shift. Closing saves antennas.ini,
    // re-enables the opener and calls closed (may be empty).
    void open(QWidget* opener = nullptr, std::function<void()> closed = {});
    // The program ends while the editor is open: its edits (a cell still
    // being typed into included) are saved as its Close button saves them.
    void saveOnQuit();
    // Tests replace the file dialogs.
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // 1-based position of the selected antenna, -1 while none is selected.
    int selectedAntenna() const { return selected_; }
    QTableWidget* antennaTable() const { return antennas_; }
    QTableWidget* pointTable() const { return points_; }
    KFactorPlot* plot() const { return plot_; }
    QWidget* pointSide() const { return pointSide_; }
    QPushButton* importButton() const { return import_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* closeButton() const { return close_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillAntennaRows(const std::vector<AntennaTableRow>& rows);
    void showAntennaRow(int position);
    void fillPointRows();
    void refreshColours();
    void drawGraph();
    void enablePointSide(bool on);

    void addAntenna();
    void deleteAntenna(int position);
    void selectAntenna(int position);
    void addPoint();
    void deletePoint(int position);
    void editPoint(int row, int column);
    void importCsv();
    void exportCsv();
    void finishClose();

    QTableWidget* antennas_ = nullptr;
    QTableWidget* points_ = nullptr;
    QWidget* pointSide_ = nullptr;
    QLabel* pointTitle_ = nullptr;
    QStackedWidget* graphStack_ = nullptr;
    KFactorPlot* plot_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* close_ = nullptr;

    int selected_ = -1;
    bool filling_ = false;  // table texts set by the editor itself are no user edits
    bool open_ = false;
    // Every page that asked for the editor while it was open, and what each wants done on close.
    std::vector<QPointer<QWidget>> openers_;
    std::vector<std::function<void()>> closed_;
    FileChooser chooser_;
};
