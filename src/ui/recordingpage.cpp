#include "ui/recordingpage.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "drivetest/wizard.h"
#include "ui/trackmapview.h"
#include "ui/uishell.h"
#include "ui/wizardframe.h"

namespace {

constexpr const char* kHelp =
    "Record starts the record files, Pause holds them, Stop closes them. Each frequency shows its progress, level and "
    "sync; the map follows the car.";

constexpr int kStatusColumns = 4;
const char* const kSummaryTitles[5] = {"GPS fix ratio [%]", "Grid spacing [km]", "Track length [km]", "Speed [km/h]",
                                       "Free memory [MB]"};

QColor Colour(RowColour c) { return QColor(c.r, c.g, c.b); }

QTableWidget* Table(QWidget* parent, int rows, int columns, const QString& name) {
    auto* t = new QTableWidget(rows, columns, parent);
    t->verticalHeader()->setVisible(false);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->setFocusPolicy(Qt::NoFocus);
    t->setWordWrap(false);
    QFont font = t->font();  // read at a glance from the driver's seat
    font.setPointSizeF(font.pointSizeF() * 1.15);
    t->setFont(font);
    Ui_Name(t, name);
    return t;
}

QPushButton* BigButton(QWidget* parent, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setMinimumSize(120, 44);
    QFont font = b->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    font.setBold(true);
    b->setFont(font);
    Ui_Name(b, text);
    return b;
}

}  // namespace

RecordingPage::RecordingPage(QWidget* parent) : QWidget(parent) {
    UiWizardFrame f = UiWizard_Frame(this, "Drive test: recording", kHelp);
    home_ = f.home;
    previous_ = f.previous;
    f.next->hide();  // the last page

    auto* row = new QHBoxLayout;
    status_ = Table(this, 0, kStatusColumns, "Status table");
    const char* headers[kStatusColumns] = {"Frequency", "Status", "Level [dBm]", "Sync"};
    for (int c = 0; c < kStatusColumns; ++c) status_->setHorizontalHeaderItem(c, new QTableWidgetItem(headers[c]));
    // Fixed widths: a column that sizes itself to its contents would measure
    // every row again on each live update.
    QHeaderView* header = status_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    status_->setColumnWidth(0, 200);
    status_->setColumnWidth(2, 110);
    status_->setColumnWidth(3, 70);
    lineHeight_ = status_->fontMetrics().lineSpacing() + 10;
    status_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    status_->verticalHeader()->setDefaultSectionSize(lineHeight_);
    status_->setMinimumWidth(480);
    row->addWidget(status_, 1);

    // The map and the summary share the side column, the summary below the
    // map; the GPS indicator and Record / Stop sit in the button row, so that
    // the map keeps its room on a short screen.
    auto* side = new QVBoxLayout;
    map_ = new TrackMapView(this);
    Ui_Name(map_, "Track map");
    side->addWidget(map_, 1, Qt::AlignHCenter);
    buildSummary();
    side->addWidget(summary_);
    side->addStretch(0);
    row->addLayout(side);
    f.content->addLayout(row, 1);

    gps_ = new QLabel(this);
    gps_->setAlignment(Qt::AlignCenter);
    gps_->setMinimumSize(96, 44);
    gps_->setAutoFillBackground(true);
    gps_->setFrameShape(QFrame::StyledPanel);
    QFont gpsFont = gps_->font();
    gpsFont.setBold(true);
    gpsFont.setPointSizeF(gpsFont.pointSizeF() * 1.2);
    gps_->setFont(gpsFont);
    Ui_Name(gps_, "GPS indicator");
    record_ = BigButton(this, kRecordLabel);
    stop_ = BigButton(this, "Stop");
    stop_->setEnabled(false);
    const int at = f.buttons->indexOf(previous_);
    f.buttons->insertWidget(at, gps_);
    f.buttons->insertWidget(at + 1, record_);
    f.buttons->insertWidget(at + 2, stop_);
    f.buttons->insertSpacing(at + 3, 24);

    gpsIndicator("", RowColour{234, 234, 234});
    MapImage blank;
    Map_Clear(blank);
    trackMap(blank);

    connect(record_, &QPushButton::clicked, this, [] { onRecordPause(); });
    connect(stop_, &QPushButton::clicked, this, [] { onFinish(); });
    // A request thread that has just handed the controls back is joined
    // first, so that none outlives the drive test that leaving may end.
    connect(home_, &QPushButton::clicked, this, [] {
        RecordControls_Join();
        onDtRecHome();
    });
    connect(previous_, &QPushButton::clicked, this, [] {
        RecordControls_Join();
        onDtRecPrevious();
    });
    RecordControls_Init(*this);
}

RecordingPage::~RecordingPage() { RecordControls_Close(*this); }

void RecordingPage::buildSummary() {
    summary_ = Table(this, 5, 2, "Summary table");
    summary_->horizontalHeader()->setVisible(false);
    summary_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    summary_->setColumnWidth(1, 80);
    summary_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    summary_->verticalHeader()->setDefaultSectionSize(lineHeight_);
    for (int r = 0; r < 5; ++r) {
        summary_->setItem(r, 0, new QTableWidgetItem(kSummaryTitles[r]));
        auto* value = new QTableWidgetItem;
        value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        summary_->setItem(r, 1, value);
    }
    summary_->setFixedHeight(5 * lineHeight_ + 2 * summary_->frameWidth());
    summary_->setMinimumWidth(kMapSize * TrackMapView::kMaxScale + 40);
    summary_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    summary_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void RecordingPage::setLevelTitle(const std::string& title) {
    Ui_PostTo(this, [this, t = Ui_Text(title)] { status_->horizontalHeaderItem(2)->setText(t); });
}

void RecordingPage::setDistanceTitles(const std::string& grid, const std::string& track, const std::string& speed) {
    Ui_PostTo(this, [this, titles = QStringList{Ui_Text(grid), Ui_Text(track), Ui_Text(speed)}] {
        for (int r = 0; r < 3; ++r) summary_->item(r + 1, 0)->setText(titles[r]);
    });
}

// Only what changed is written: every write repaints its cell.
void RecordingPage::setCell(int row, int column, const QString& text, const QColor& background) {
    QTableWidgetItem* item = status_->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setForeground(Qt::black);
        status_->setItem(row, column, item);
    }
    if (item->text() != text) item->setText(text);
    if (item->background().color() != background) item->setBackground(background);
}

// A status with a second line (the reason of a re-initialisation) needs a taller row.
void RecordingPage::fitRow(int row) {
    int lines = 1;
    for (int c = 0; c < kStatusColumns; ++c)
        if (const QTableWidgetItem* item = status_->item(row, c)) lines = std::max<int>(lines, item->text().count('\n') + 1);
    const int height = lineHeight_ + (lines - 1) * status_->fontMetrics().lineSpacing();
    if (status_->rowHeight(row) != height) status_->setRowHeight(row, height);
}

void RecordingPage::statusRowAdded(int row, const std::string& label, RowColour colour) {
    Ui_PostTo(this, [this, row, text = Ui_Text(label), colour] {
        const int at = std::clamp(row - 1, 0, status_->rowCount());
        status_->insertRow(at);
        for (int c = 0; c < kStatusColumns; ++c) setCell(at, c, c == 0 ? text : QString(), Colour(colour));
    });
}

void RecordingPage::statusRowRemoved(int row) {
    Ui_PostTo(this, [this, row] {
        if (row >= 1 && row <= status_->rowCount()) status_->removeRow(row - 1);
    });
}

void RecordingPage::statusCell(int row, int column, const std::string& text, RowColour colour) {
    Ui_PostTo(this, [this, row, column, t = Ui_Text(text), colour] {
        if (row < 1 || row > status_->rowCount() || column < 1 || column > kStatusColumns) return;
        setCell(row - 1, column - 1, t, Colour(colour));
        if (column == 2) fitRow(row - 1);
    });
}

void RecordingPage::statusRowColour(int row, RowColour colour) {
    Ui_PostTo(this, [this, row, colour] {
        if (row < 1 || row > status_->rowCount()) return;
        for (int c = 0; c < kStatusColumns; ++c) {
            const QTableWidgetItem* item = status_->item(row - 1, c);
            setCell(row - 1, c, item ? item->text() : QString(), Colour(colour));
        }
    });
}

void RecordingPage::gpsIndicator(const std::string& text, RowColour colour) {
    Ui_PostTo(this, [this, t = Ui_Text(text), colour] {
        gps_->setText(t);
        QPalette palette = gps_->palette();
        palette.setColor(QPalette::Window, Colour(colour));
        palette.setColor(QPalette::WindowText, Qt::black);
        gps_->setPalette(palette);
    });
}

void RecordingPage::summaryCell(int row, const std::string& text) {
    Ui_PostTo(this, [this, row, t = Ui_Text(text)] {
        if (row >= 1 && row <= summary_->rowCount()) summary_->item(row - 1, 1)->setText(t);
    });
}

void RecordingPage::trackMap(const MapImage& image) {
    Ui_PostTo(this, [this, image] {
        // Rows run from north to south, as an image's do.
        const QImage map(image.data(), kMapSize, kMapSize, kMapSize * 3, QImage::Format_RGB888);
        map_->setMap(map.copy());
    });
}

void RecordingPage::message(const std::string& text) {
    Ui_Post([t = Ui_PathText(text)] { Ui_Message(t); });
}

void RecordingPage::recordingStopped() {
    // Handed back after the report, on the main thread: never from inside the stop sequence.
    Ui_PostTo(this, [] { RecordControls_Stopped(); });
}

void RecordingPage::setRecordButton(const std::string& label, bool enabled) {
    Ui_PostTo(this, [this, t = Ui_Text(label), enabled] {
        record_->setText(t);
        Ui_Name(record_, t);
        record_->setEnabled(enabled);
    });
}

void RecordingPage::setStopEnabled(bool enabled) {
    Ui_PostTo(this, [this, enabled] { stop_->setEnabled(enabled); });
}

void RecordingPage::setPageButtonsEnabled(bool enabled) {
    Ui_PostTo(this, [this, enabled] {
        home_->setEnabled(enabled);
        previous_->setEnabled(enabled);
    });
}
