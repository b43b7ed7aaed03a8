#include "ui/kmzscopepage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "export/kmz/kmzexport.h"
#include "export/kmz/kmzwizard.h"
#include "ui/uishell.h"

namespace {

constexpr const char* kIndicatorTexts[3] = {"Show worst value for an area\n(Default)", "Show average value for an area",
                                            "Show best value for an area"};

QPushButton* Button(QWidget* parent, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setMinimumHeight(32);
    Ui_Name(b, text);
    return b;
}

QWidget* MeasurementSection(KmzScopePage& p, QWidget* parent) {
    auto* box = new QGroupBox("1. Select measurements", parent);
    auto* layout = new QVBoxLayout(box);
    p.tree = new QTreeWidget(box);
    p.tree->setHeaderHidden(true);
    p.tree->setMinimumSize(320, 220);
    Ui_Name(p.tree, "Measurements");
    layout->addWidget(p.tree, 1);
    auto* row = new QHBoxLayout;
    p.markAll = Button(box, "Mark all");
    p.markNone = Button(box, "Mark none");
    row->addWidget(p.markAll);
    row->addWidget(p.markNone);
    row->addStretch(1);
    layout->addLayout(row);
    return box;
}

QWidget* OptionsSection(KmzScopePage& p, QWidget* parent) {
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    p.indicatorBox = new QGroupBox("2. Select indicators", column);
    p.indicatorBox->setAutoFillBackground(true);
    auto* ind = new QVBoxLayout(p.indicatorBox);
    for (int k = 0; k < 3; ++k) {
        p.indicators[k] = new QCheckBox(kIndicatorTexts[k], p.indicatorBox);
        Ui_Name(p.indicators[k], QString(kIndicatorTexts[k]).replace('\n', ' '));
        ind->addWidget(p.indicators[k]);
    }
    layout->addWidget(p.indicatorBox);

    auto* zoomBox = new QGroupBox("3. Select max. zoom resolution", column);
    auto* z = new QVBoxLayout(zoomBox);
    p.zoom = new QComboBox(zoomBox);
    for (const KmzZoomChoice& c : kKmzZoomChoices) p.zoom->addItem(c.label, c.metres);
    Ui_Name(p.zoom, "Max. zoom resolution");
    z->addWidget(p.zoom);
    layout->addWidget(zoomBox);

    auto* note = new QLabel(kKmzScopeNote, column);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
    return column;
}

QWidget* LoadingPanel(KmzScopePage& p, QWidget* parent) {
    auto* panel = new QWidget(parent);
    auto* layout = new QVBoxLayout(panel);
    layout->addStretch(1);
    p.loadLabel = new QLabel(panel);
    p.loadLabel->setAlignment(Qt::AlignCenter);
    p.loadBar = new QProgressBar(panel);
    p.loadBar->setRange(0, 100);
    p.loadBar->setMinimumHeight(28);
    Ui_Name(p.loadBar, "Loading progress");
    layout->addWidget(p.loadLabel);
    layout->addWidget(p.loadBar);
    layout->addStretch(1);
    return panel;
}

}  // namespace

KmzScopePage KmzScopePage_Build(QWidget* parent) {
    KmzScopePage p;
    p.page = new QWidget(parent);
    p.frame = UiWizard_Frame(p.page, "Step 3 of 5: Scope Selection", {});
    p.stack = new QStackedWidget(p.page);
    auto* selection = new QWidget(p.stack);
    auto* row = new QHBoxLayout(selection);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(MeasurementSection(p, selection), 3);
    row->addWidget(OptionsSection(p, selection), 2);
    p.stack->addWidget(selection);
    p.stack->addWidget(LoadingPanel(p, p.stack));
    p.frame.content->addWidget(p.stack, 1);
    return p;
}

void KmzScopePage_Highlight(QWidget* widget, bool on) {
    const QColor yellow = QColor((kKmzHighlight >> 16) & 0xFF, (kKmzHighlight >> 8) & 0xFF, kKmzHighlight & 0xFF);
    QPalette palette = widget->parentWidget() ? widget->parentWidget()->palette() : QPalette();
    if (on) {
        palette.setColor(QPalette::Base, yellow);
        palette.setColor(QPalette::Window, yellow);
    }
    widget->setPalette(palette);
}
