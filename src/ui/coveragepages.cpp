#include "ui/coveragepages.h"

#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "export/gis/giswriter.h"
#include "ui/kmzlevelpage.h"
#include "ui/kmzscopepage.h"
#include "ui/uishell.h"

namespace {

// Messages name files: their paths are the file system's bytes, the rest UTF-8 or Latin-1.
void ShowBox(const std::string& text) {
    Ui_Post([text] { Ui_Message(Ui_PathText(text)); });
}

QString ChooseWithDialog(QWidget* parent, const QString& current) {
    QString filter = current.endsWith(".geojson", Qt::CaseInsensitive) ? "GeoJSON, cells only (*.geojson)"
                                                                         : "GeoPackage (*.gpkg)";
    // The page asks before an existing file is replaced, once it is to be written.
    return QFileDialog::getSaveFileName(parent, "Coverage output", current,
                                        "GeoPackage (*.gpkg);;GeoJSON, cells only (*.geojson)", &filter,
                                        QFileDialog::DontConfirmOverwrite);
}

}  // namespace

CoveragePages::CoveragePages(QWidget* parent) : QObject(parent), chooser_(ChooseWithDialog) {
    settings_ = CoverageSettingsPage_Build(parent);
    buildProgressPage(parent);
    connectSettingsPage();
}

QWidget* CoveragePages::page(int uiPage) const {
    switch (uiPage) {
        case kPageCoverage: return settings_.page;
        case kPageCoverageProgress: return progressPage_;
        default: return nullptr;
    }
}

void CoveragePages::buildProgressPage(QWidget* parent) {
    progressPage_ = new QWidget(parent);
    UiWizardFrame f = UiWizard_Frame(progressPage_, "Step 3 of 3: Coverage analysis",
                                     "The marked record files are analysed and the output is written. Cancel "
                                     "leaves no file behind, and no record file half imported into a database.",
                                     false);
    // The analysis ends on its own page; while it runs, Cancel is the one way out.
    f.home->hide();
    cancel_ = new QPushButton("Cancel", progressPage_);
    cancel_->setMinimumSize(110, 36);
    Ui_Name(cancel_, "Cancel");
    f.buttons->addWidget(cancel_);
    step_ = new QLabel(progressPage_);
    step_->setAlignment(Qt::AlignCenter);
    QFont font = step_->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    step_->setFont(font);
    Ui_Name(step_, "Step");
    progress_ = new QProgressBar(progressPage_);
    progress_->setRange(0, 100);
    progress_->setMinimumHeight(28);
    Ui_Name(progress_, "Analysis progress");
    f.content->addStretch(1);
    f.content->addWidget(step_);
    f.content->addWidget(progress_);
    f.content->addStretch(2);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancel_->setEnabled(false);  // asked once; the writer stops at its next look
        onCoverageCancel();
    });
}

void CoveragePages::connectSettingsPage() {
    const CoverageSettingsPage& p = settings_;
    connect(p.frame.home, &QPushButton::clicked, this, [] { onCoverageHome(); });
    connect(p.frame.previous, &QPushButton::clicked, this, [] { onCoveragePrevious(); });
    connect(p.frame.next, &QPushButton::clicked, this, [] { onCoverageNext(); });
    connect(p.chooseOutput, &QPushButton::clicked, this, [] { onCoverageChooseOutput(); });
    // activated: the user's choices only, never what the module puts in.
    connect(p.unit, &QComboBox::activated, this, [](int index) { onCoverageUnit(index); });
    connect(p.format, &QComboBox::activated, this,
            [this](int index) { onCoverageFormat(settings_.format->itemData(index).toString().toStdString()); });
    connect(p.output, &QLineEdit::textChanged, this, [this](const QString& path) { showFormatOf(path); });
    connect(p.format, &QComboBox::currentIndexChanged, this, [this] { showTargetRows(); });
    connect(p.testConnection, &QPushButton::clicked, this, [] { onCoverageTestConnection(); });
    // A result belongs to the text it was got for.
    connect(p.connection, &QLineEdit::textEdited, this,
            [this] { showConnection(CoverageConnectionState::Untested, ""); });
    showTargetRows();
}

void CoveragePages::showTargetRows() {
    const CoverageSettingsPage& p = settings_;
    const QString format = p.format->currentData().toString();
    const bool database = format == kCoverageDatabaseFormat;
    p.outputForm->setRowVisible(p.fileRow, !database);
    p.outputForm->setRowVisible(p.report, !database);
    p.outputForm->setRowVisible(p.databaseRow, database);
    p.outputForm->setRowVisible(p.connectionResult, database);
    p.report->setEnabled(format == kGisGeoPackage);
    p.report->setToolTip(format == kGisGeoPackage
                             ? "A PDF report to hand over, from the same analysis, beside the GeoPackage: " +
                                   QString::fromStdString(CoverageWizard_ReportPath(Ui_PathBytes(p.output->text())))
                             : "A report is written beside a GeoPackage.");
}

// The format choice follows the output file's extension.
void CoveragePages::showFormatOf(const QString& path) {
    const std::string driver = Gis_DriverForPath(Ui_PathBytes(path));
    if (!driver.empty() && settings_.format->currentData().toString() != kCoverageDatabaseFormat) {
        const QSignalBlocker block(settings_.format);
        settings_.format->setCurrentIndex(settings_.format->findData(QString::fromStdString(driver)));
    }
    settings_.output->setToolTip(path);  // the whole path, where the field shows its end
    showTargetRows();                    // the report's tooltip names the file
}

void CoveragePages::setUnits(const std::array<bool, kKmzUnitCount>& usable) {
    Ui_PostTo(this, [this, usable] {
        auto* model = qobject_cast<QStandardItemModel*>(settings_.unit->model());
        for (int u = 0; u < kKmzUnitCount && model; ++u) {
            QStandardItem* item = model->item(u);
            const bool on = usable[static_cast<std::size_t>(u)];
            item->setEnabled(on);
            item->setToolTip(on ? QString() : "A file recorded in another unit has no K-factor to convert with.");
        }
    });
}

void CoveragePages::setThresholdRows(const std::vector<CoverageThresholdRow>& rows) {
    Ui_PostTo(this, [this, rows] {
        QTableWidget* table = settings_.thresholds;
        table->setRowCount(0);
        table->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const CoverageThresholdRow& row = rows[static_cast<std::size_t>(r)];
            table->setItem(r, kCoverageColChannel, Ui_TableCell(Ui_Text(row.channel), false));
            table->setItem(r, kCoverageColUnit, Ui_TableCell(Ui_Text(row.unit), false));
            QTableWidgetItem* threshold = Ui_TableCell(Ui_Text(row.text), true);
            threshold->setData(Qt::AccessibleTextRole, "Threshold of " + Ui_Text(row.channel));
            if (!row.note.empty()) threshold->setToolTip("Default: " + Ui_Text(row.note));
            table->setItem(r, kCoverageColThreshold, threshold);
        }
    });
}

void CoveragePages::setSettings(const CoverageSettings& s) {
    Ui_PostTo(this, [this, s] {
        const CoverageSettingsPage& p = settings_;
        p.cellSize->setCurrentIndex(std::max(0, p.cellSize->findData(s.cellSize)));
        p.unit->setCurrentIndex(s.levelUnit);
        p.minSamples->setValue(s.minSamples);
        p.keepStationary->setChecked(s.keepStationary);
        p.output->setText(Ui_PathText(s.output));
        p.output->setCursorPosition(p.output->text().size());  // the file's name, at the end, in sight
        if (s.target == CoverageTarget::Database)
            p.format->setCurrentIndex(p.format->findData(QString(kCoverageDatabaseFormat)));
        else if (p.format->currentData().toString() == kCoverageDatabaseFormat)
            p.format->setCurrentIndex(p.format->findData(QString::fromStdString(Gis_DriverForPath(s.output))));
        p.report->setChecked(s.report);
        p.connection->setText(QString::fromStdString(s.connection));
        p.connection->setCursorPosition(0);
        showTargetRows();
    });
}

CoverageSettings CoveragePages::settings() {
    Ui_Flush();
    const CoverageSettingsPage& p = settings_;
    CoverageSettings s;
    s.cellSize = p.cellSize->currentData().toInt();
    s.levelUnit = p.unit->currentIndex();
    s.minSamples = p.minSamples->value();
    s.keepStationary = p.keepStationary->isChecked();
    s.output = Ui_PathBytes(p.output->text().trimmed());
    s.target = p.format->currentData().toString() == kCoverageDatabaseFormat ? CoverageTarget::Database
                                                                              : CoverageTarget::File;
    s.report = p.report->isChecked();
    s.connection = p.connection->text().trimmed().toStdString();
    for (int r = 0; r < p.thresholds->rowCount(); ++r) {
        const QTableWidgetItem* item = p.thresholds->item(r, kCoverageColThreshold);
        s.thresholds.push_back(item ? Ui_Latin1(item->text()) : std::string());
    }
    return s;
}

void CoveragePages::highlightThreshold(int row) {
    Ui_PostTo(this, [this, row] {
        QTableWidget* table = settings_.thresholds;
        for (int r = 0; r < table->rowCount(); ++r)
            if (QTableWidgetItem* item = table->item(r, kCoverageColThreshold)) {
                item->setBackground(r == row ? QBrush(KmzLevelPage_Colour(kKmzHighlightOdd)) : QBrush());
                if (r == row) table->setCurrentItem(item);
            }
    });
}

void CoveragePages::highlightOutput(bool on) {
    Ui_PostTo(this, [this, on] { KmzScopePage_Highlight(settings_.output, on); });
}

void CoveragePages::highlightConnection(bool on) {
    Ui_PostTo(this, [this, on] { KmzScopePage_Highlight(settings_.connection, on); });
}

void CoveragePages::showConnection(CoverageConnectionState state, const std::string& text) {
    Ui_PostTo(this, [this, state, text] {
        const CoverageSettingsPage& p = settings_;
        const bool testing = state == CoverageConnectionState::Testing;
        for (QPushButton* b : {p.testConnection, p.frame.home, p.frame.previous, p.frame.next}) b->setEnabled(!testing);
        p.connectionResult->setText(QString::fromStdString(text));
        QPalette palette = p.connectionResult->parentWidget()->palette();
        if (state == CoverageConnectionState::Connected) palette.setColor(QPalette::WindowText, QColor(0, 110, 0));
        if (state == CoverageConnectionState::Failed) palette.setColor(QPalette::WindowText, QColor(170, 0, 0));
        p.connectionResult->setPalette(palette);
    });
}

std::optional<std::string> CoveragePages::chooseOutput(const std::string& current) {
    const QString chosen = chooser_(settings_.page, Ui_PathText(current));
    if (chosen.isEmpty()) return std::nullopt;
    return Ui_PathBytes(chosen);
}

bool CoveragePages::confirm(const std::string& question) { return Ui_Confirm(Ui_PathText(question)); }

void CoveragePages::showMessage(const std::string& text) { ShowBox(text); }

void CoveragePages::showStep(const std::string& label) {
    // The step names record files: their names are the file system's bytes.
    Ui_PostTo(this, [this, label] { step_->setText(Ui_PathText(label)); });
}

void CoveragePages::setProgress(int percent) {
    Ui_PostTo(this, [this, percent] { progress_->setValue(std::clamp(percent, 0, 100)); });
}

void CoveragePages::enableCancel(bool enabled) {
    Ui_PostTo(this, [this, enabled] { cancel_->setEnabled(enabled); });
}

void CoveragePages::showPage(CoverageWizardPage page) {
    int ui = kPageStart;
    switch (page) {
        case CoverageWizardPage::Start: ui = kPageStart; break;
        case CoverageWizardPage::FileSelection: ui = kPageFileSelection; break;
        case CoverageWizardPage::Settings: ui = kPageCoverage; break;
        case CoverageWizardPage::Progress: ui = kPageCoverageProgress; break;
    }
    Ui_Post([ui] { Ui_ShowPage(ui); });
}

void CoveragePages::showResult(const std::string& message, const std::string& folder) {
    Ui_Post([message, folder] {
        if (folder.empty()) Ui_Message(Ui_PathText(message));
        else if (Ui_Offer(Ui_PathText(message), "Open folder")) Ui_OpenFolder(folder);
    });
}
