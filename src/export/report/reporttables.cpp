// The report's tables: per group and channel the cells and the driven
// distance by class with the covered shares and the median of the cells'
// medians (the numbers of the GeoPackage's coverage_summary), and the five
// worst cells of every channel with their position. Rows flow over pages
// with the column titles repeated; a channel's rows stay together.
#include <QStringList>

#include <array>
#include <cmath>

#include "coverage/cellranking.h"
#include "export/report/reportdoc.h"

namespace {

const QColor kInk(32, 32, 32);
const QColor kGrey(100, 100, 100);
const QColor kRule(170, 170, 170);
const QColor kShade(243, 243, 243);
constexpr double kRow = 4.3;
constexpr double kPad = 1.2;
constexpr std::size_t kWorstCells = 5;

struct Column {
    const char* title;
    double width;
    bool number;  // right-aligned
};

const std::array<Column, 11> kSummaryColumns = {{{"Channel", 38, false},
                                                 {"Threshold", 15, false},
                                                 {"", 9, false},
                                                 {"Good", 15, true},
                                                 {"Acceptable", 17, true},
                                                 {"Poor", 13, true},
                                                 {"Insufficient", 17, true},
                                                 {"No class", 14, true},
                                                 {"Total", 15, true},
                                                 {"Covered", 14, true},
                                                 {"Median of medians", 13, true}}};

const std::array<Column, 8> kWorstColumns = {{{"Channel", 42, false},
                                              {"Rank", 9, true},
                                              {"Cell", 41, false},
                                              {"Latitude", 20, true},
                                              {"Longitude", 20, true},
                                              {"Median", 18, true},
                                              {"Values", 12, true},
                                              {"Class", 18, false}}};

// The summary's class order, as the GeoPackage's columns have it.
constexpr std::array<CoverageClass, 5> kClassOrder = {CoverageClass::Good, CoverageClass::Acceptable, CoverageClass::Poor,
                                                      CoverageClass::Insufficient, CoverageClass::None};

QString Share(double share) {
    return std::isfinite(share) ? Report_Fixed(100.0 * share, 1) + " %" : QString::fromUtf8("\u2013");
}

template <std::size_t N>
double ColumnLeft(const std::array<Column, N>& columns, std::size_t k) {
    double x = kReportLeft;
    for (std::size_t i = 0; i < k; ++i) x += columns[i].width;
    return x;
}

// One line of cells with their baseline at y; the first cell is left out (drawn by the caller).
template <std::size_t N>
void Cells(ReportCanvas& c, const std::array<Column, N>& columns, double y, const QStringList& texts, const QFont& f,
           std::size_t from = 1) {
    for (std::size_t k = from; k < N && k < static_cast<std::size_t>(texts.size()); ++k) {
        const double x = ColumnLeft(columns, k);
        if (columns[k].number) c.label(x + columns[k].width - kPad, y, texts[static_cast<qsizetype>(k)], f, Qt::AlignRight, kInk);
        else c.label(x + kPad, y, texts[static_cast<qsizetype>(k)], f, Qt::AlignLeft, kInk);
    }
}

// The column titles below the group's heading, and the block repeated above
// the rows that open a page: the group's name ("… continued") and the
// titles, so that a page of rows says what they belong to. Returns the
// repeated block.
template <std::size_t N>
std::size_t AddHeader(ReportDocument& doc, const std::array<Column, N>& columns, const QString& group) {
    ReportCanvas& c = doc.canvas;
    const QFont f = c.font(7.5, true), head = c.font(9, true);
    double h = 0.0;
    for (const Column& col : columns) h = std::max(h, c.textHeight(col.title, f, col.width - 2 * kPad));
    h += 2.0;
    auto titles = [&c, &columns, f, h](double top) {
        for (std::size_t k = 0; k < N; ++k)
            c.text(ColumnLeft(columns, k) + kPad, top + 0.5, columns[k].width - 2 * kPad, columns[k].title, f,
                   columns[k].number ? Qt::AlignRight : Qt::AlignLeft, kGrey);
        c.line(kReportLeft, top + h - 0.5, kReportLeft + kReportWidth, top + h - 0.5, 0.2, kRule);
    };
    doc.add(h, titles, false, true);
    const QString continued = group + QString::fromUtf8(" (continued)");
    const double above = c.textHeight(continued, head, kReportWidth) + 1.0;
    const std::size_t repeated = doc.add(above + h, [&c, titles, continued, head, above](double top) {
        c.text(kReportLeft, top, kReportWidth, continued, head, Qt::AlignLeft, kInk);
        titles(top + above);
    });
    doc.blocks[repeated].flow.repeatOnly = true;
    return repeated;
}

void AddGroupHeading(ReportDocument& doc, const CoverageGroup& g, const QString& info) {
    ReportCanvas& c = doc.canvas;
    const QFont head = c.font(11, true), body = c.font(8);
    const QString title = ReportText_Group(g);
    const double h = c.textHeight(title, head, kReportWidth) + c.textHeight(info, body, kReportWidth) + 2.0;
    doc.add(h, [&c, title, info, head, body](double top) {
        const double y = top + 1.0 + c.text(kReportLeft, top + 1.0, kReportWidth, title, head, Qt::AlignLeft, kInk);
        c.text(kReportLeft, y, kReportWidth, info, body, Qt::AlignLeft, kGrey);
    }, false, true);
}

// The intro of a table.
void AddParagraph(ReportDocument& doc, const QString& text) {
    ReportCanvas& c = doc.canvas;
    const QFont f = c.font(8.5);
    const double h = c.textHeight(text, f, kReportWidth) + 3.0;
    doc.add(h, [&c, text, f](double top) { c.text(kReportLeft, top, kReportWidth, text, f, Qt::AlignLeft, kInk); },
            false, true);
}

// A channel's rows: its name wrapped in the first column beside lines of cells.
template <std::size_t N>
void AddRows(ReportDocument& doc, const std::array<Column, N>& columns, std::size_t header, const QString& name,
             std::vector<QStringList> lines, bool shaded) {
    ReportCanvas& c = doc.canvas;
    const QFont f = c.font(8);
    const double nameH = c.textHeight(name, f, columns[0].width - 2 * kPad);
    const double h = std::max(nameH, kRow * static_cast<double>(lines.size())) + 1.0;
    doc.add(h, [&c, &columns, name, lines, shaded, f, h](double top) {
        if (shaded) c.fill(kReportLeft, top, kReportWidth, h, kShade);
        c.text(kReportLeft + kPad, top + 0.5, columns[0].width - 2 * kPad, name, f, Qt::AlignLeft, kInk);
        for (std::size_t i = 0; i < lines.size(); ++i) Cells(c, columns, top + 0.5 + kRow * (i + 0.78), lines[i], f);
    }, false, false, static_cast<int>(header));
}

}  // namespace

void ReportPages_Summary(ReportDocument& doc) {
    doc.section("Summary by class");
    ReportText_AddHeading(doc, "Summary by class", 16.0, true);
    AddParagraph(doc, QString::fromUtf8(
                          "Per frequency and channel the cells by class (first line) and the driven distance by the class "
                          "of the cells it passes through, in km (second line; each step between two positions counts "
                          "half to the cell of either end). Covered: good and acceptable among the cells (or the "
                          "distance) judged good, acceptable or poor. Median of medians: over the cells with at least "
                          "%1 valid values. No class: a channel without threshold, or distance through cells without "
                          "samples.")
                          .arg(doc.plan.options.minSamples));
    for (const CoverageGroup& g : doc.plan.groups) {
        AddGroupHeading(doc, g,
                        QString("%1 positioned samples \u00b7 %2 taken standing still left out \u00b7 cells of %3 m "
                                "\u00b7 grid EPSG:%4")
                            .arg(g.positionedSamples)
                            .arg(g.stationarySkipped)
                            .arg(doc.plan.grid.cellSize)
                            .arg(doc.plan.grid.zone.epsg()));
        const std::size_t header = AddHeader(doc, kSummaryColumns, ReportText_Group(g));
        for (std::size_t ch = 0; ch < g.channels.size(); ++ch) {
            const CoverageChannelSummary& s = g.summary.size() > ch ? g.summary[ch] : CoverageChannelSummary{};
            QStringList cells = {"", ReportText_Threshold(g.channels[ch]), "cells"};
            QStringList km = {"", "", "km"};
            for (CoverageClass cls : kClassOrder) {
                cells << QString::number(s.cells[static_cast<std::size_t>(cls)]);
                km << Report_Fixed(s.distanceKm[static_cast<std::size_t>(cls)], 2);
            }
            const double median = Coverage_MedianOfMedians(g, ch);
            cells << QString::number(s.cellsTotal()) << Share(s.coveredCellShare())
                  << (std::isfinite(median) ? Report_Number(median) : QString::fromUtf8("\u2013"));
            km << Report_Fixed(s.distanceTotalKm(), 2) << Share(s.coveredDistanceShare()) << "";
            AddRows(doc, kSummaryColumns, header, Report_Latin1(g.channels[ch].name), {cells, km}, ch % 2 == 0);
        }
    }
}

void ReportPages_WorstCells(ReportDocument& doc) {
    doc.section("Worst cells");
    ReportText_AddHeading(doc, "Worst cells", 16.0);
    AddParagraph(doc, QString::fromUtf8(
                          "Per frequency and channel the five cells with the worst median among those with at least %1 "
                          "valid values: the lowest where higher is better (level, MER, sync), the highest where lower "
                          "is better (error ratios). Position: the cell's centre (WGS 84); the cell id names the cell in "
                          "the GeoPackage.")
                          .arg(doc.plan.options.minSamples));
    for (const CoverageGroup& g : doc.plan.groups) {
        AddGroupHeading(doc, g, QString("Cells of %1 m \u00b7 grid EPSG:%2").arg(doc.plan.grid.cellSize).arg(doc.plan.grid.zone.epsg()));
        const std::size_t header = AddHeader(doc, kWorstColumns, ReportText_Group(g));
        for (std::size_t ch = 0; ch < g.channels.size(); ++ch) {
            std::vector<QStringList> lines;
            const std::vector<std::size_t> worst = Coverage_WorstCells(g, ch, kWorstCells);
            for (std::size_t r = 0; r < worst.size(); ++r) {
                const CoverageCell& cell = g.cells[worst[r]];
                const ChannelStatistics& s = cell.channels[ch];
                const double s2 = doc.plan.grid.cellSize / 2.0;
                double lat = 0.0, lon = 0.0;
                Utm_Inverse(doc.plan.grid.zone, static_cast<double>(cell.index.x) * doc.plan.grid.cellSize + s2,
                            static_cast<double>(cell.index.y) * doc.plan.grid.cellSize + s2, lat, lon);
                lines.push_back({"", QString::number(r + 1), QString::fromStdString(Grid_CellId(doc.plan.grid, cell.index)),
                                 Report_Fixed(lat, 5), Report_Fixed(lon, 5), Report_Number(s.median), QString::number(s.n),
                                 s.cls == CoverageClass::None ? QString::fromUtf8("\u2013") : QString(Coverage_ClassName(s.cls))});
            }
            if (lines.empty()) lines.push_back({"", "", QString("no cell with %1 values").arg(doc.plan.options.minSamples)});
            AddRows(doc, kWorstColumns, header, Report_Latin1(g.channels[ch].name), lines, ch % 2 == 0);
        }
    }
}
