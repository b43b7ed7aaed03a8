#include "ui/startpage.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/uishell.h"

namespace {
const QColor kHighlight(200, 200, 255);
}

StartTask::StartTask(int number, const QString& title, const QString& text, QColor normal, StartPage* page)
    : QAbstractButton(page), number_(number), normal_(normal), current_(normal), page_(page) {
    setText(title);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    auto* heading = new QLabel(title, this);
    QFont f = heading->font();
    f.setPointSizeF(f.pointSizeF() * 1.8);
    f.setBold(true);
    heading->setFont(f);
    auto* body = new QLabel(text, this);
    body->setWordWrap(true);
    QFont b = body->font();
    b.setPointSizeF(b.pointSizeF() * 1.2);
    body->setFont(b);
    layout->addStretch();
    // Both wrap: on a narrow window a title takes two lines rather than losing
    // its ends. Four tasks side by side fit the window's minimum width.
    for (QLabel* l : {heading, body}) {
        l->setWordWrap(true);
        l->setMinimumWidth(140);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        l->setAlignment(Qt::AlignHCenter);
        layout->addWidget(l);
    }
    layout->addStretch();
    setMinimumHeight(170);
    setMaximumHeight(320);
    Ui_Name(this, title);
    setAccessibleDescription(text);
    setHighlighted(false);
}

void StartTask::setHighlighted(bool on) {
    current_ = on ? kHighlight : normal_;
    update();
}

void StartTask::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), current_);
    painter.setPen(QColor(170, 170, 170));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void StartTask::enterEvent(QEnterEvent* event) {
    page_->highlight(number_);
    QAbstractButton::enterEvent(event);
}

void StartTask::mouseMoveEvent(QMouseEvent* event) {
    page_->highlight(number_);
    QAbstractButton::mouseMoveEvent(event);
    event->accept();  // not on to the page, whose background clears the highlight
}

StartPage::StartPage(std::function<void(int)> task, std::function<void()> antennas, QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 14);
    layout->setSpacing(14);
    auto* product = new QLabel("Fieldtrace", this);
    QFont pf = product->font();
    pf.setPointSizeF(pf.pointSizeF() * 2.4);
    pf.setBold(true);
    product->setFont(pf);
    auto* title = new QLabel(tr("Drive tests of broadcast networks. What would you like to do?"), this);
    title->setWordWrap(true);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    title->setFont(f);
    layout->addWidget(product);
    layout->addWidget(title);
    layout->addStretch();
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    tasks_[0] = new StartTask(1, "Record a drive test",
                              "Find the TV analyzers on the network, choose frequencies and measurements, and record "
                              "them along the route.",
                              QColor(234, 234, 234), this);
    tasks_[1] = new StartTask(2, "Convert to KMZ",
                              "Turn record files into a KMZ archive with coloured maps for Google Earth.",
                              QColor(244, 244, 244), this);
    tasks_[2] = new StartTask(3, "Convert to CSV", "Turn record files into CSV files for a spreadsheet.",
                              QColor(234, 234, 234), this);
    tasks_[3] = new StartTask(4, "Coverage analysis",
                              "Judge the coverage per area against planning thresholds: a GeoPackage that QGIS "
                              "opens coloured.",
                              QColor(244, 244, 244), this);
    for (int n = 1; n <= kTasks; ++n) {
        row->addWidget(tasks_[static_cast<std::size_t>(n - 1)]);
        connect(tasks_[static_cast<std::size_t>(n - 1)], &StartTask::clicked, this, [task, n] { task(n); });
    }
    layout->addLayout(row);
    layout->addStretch();
    auto* settings = new QHBoxLayout;
    settings->addStretch();
    auto* antennaButton = new QPushButton(tr("Antenna editor"), this);
    Ui_Name(antennaButton, "Antenna editor");
    connect(antennaButton, &QPushButton::clicked, this, [antennas] {
        if (antennas) antennas();
    });
    settings->addWidget(antennaButton);
    layout->addLayout(settings);
}

void StartPage::highlight(int n) {
    if (n == highlight_) return;
    highlight_ = n;
    for (int k = 1; k <= kTasks; ++k) tasks_[static_cast<std::size_t>(k - 1)]->setHighlighted(k == n);
}

void StartPage::mouseMoveEvent(QMouseEvent* event) {
    highlight(0);  // the background: no task highlighted
    QWidget::mouseMoveEvent(event);
}
