// The distribution pages of a group: for the level, MER and BER a histogram
// (share of samples per bin, left axis) with the cumulative curve (share
// below the value, right axis) and the threshold marked with the share of
// samples meeting it. Six charts to a page.
#include <QPolygonF>

#include <cmath>

#include "coverage/thresholds.h"
#include "export/report/reportdoc.h"
#include "export/report/mapframe.h"

namespace {

const QColor kInk(32, 32, 32);
const QColor kGrey(100, 100, 100);
const QColor kAxis(150, 150, 150);
const QColor kBar(94, 129, 181);
const QColor kCurve(214, 104, 26);
const QColor kThreshold(200, 0, 0);
constexpr int kChartsPerPage = 6;
constexpr double kChartWidth = 87.0;
constexpr double kChartHeight = 72.0;
constexpr double kChartGap = 6.0;

// The x axis of a chart: shown values (or their logarithm) to paper.
struct XAxis {
    double from = 0.0, to = 1.0;  // domain; on a log axis left of `first` lies the bar of the zeros
    double left = 0.0, right = 1.0;
    double toPaper(double v) const { return left + (v - from) / (to - from) * (right - left); }
};

QString BinText(const ReportDistribution& d) {
    if (d.logAxis) return "quarter-decade bins";
    return Report_Number(d.width) + " dB bins";
}

QString MeetingText(const ReportDistribution& d) {
    if (!d.rule.hasThreshold || d.total == 0) return {};
    CoverageChannel ch;
    ch.rule = d.rule;
    QString threshold = ReportText_Threshold(ch);
    if (d.logAxis) threshold += " (" + Report_Number(d.rule.threshold * d.scale) + ")";
    return threshold + ": " + Report_Fixed(100.0 * d.shareMeeting(), 1) + " % of the samples";
}

// Ticks of the x axis with their labels.
std::vector<std::pair<double, QString>> XTicks(const ReportDistribution& d, const XAxis& axis) {
    std::vector<std::pair<double, QString>> ticks;
    if (d.logAxis) {
        const double firstDecade = std::ceil(d.first - 1e-9), last = std::floor(axis.to + 1e-9);
        const int every = last - firstDecade > 6 ? 2 : 1;
        for (double k = firstDecade; k <= last; k += every) ticks.push_back({k, "1e" + QString::number(static_cast<int>(k))});
        return ticks;
    }
    const double step = ReportMap_RoundLength((axis.to - axis.from) / 5.0);
    for (double v = std::ceil(axis.from / step) * step; v <= axis.to + 1e-9; v += step)
        ticks.push_back({v, Report_Number(std::abs(v) < 1e-9 ? 0.0 : v)});
    return ticks;
}

void DrawChart(ReportCanvas& c, const ReportDistribution& d, double x, double y) {
    QPainter& p = c.painter();
    const QFont title = c.font(8.5, true), small = c.font(7);
    c.text(x, y, kChartWidth - 28.0, Report_Latin1(d.channel), title, Qt::AlignLeft, kInk);
    c.label(x + kChartWidth, y + 3.0, QString("%1 samples").arg(d.total), small, Qt::AlignRight, kGrey);
    c.label(x + kChartWidth, y + 6.2, BinText(d), small, Qt::AlignRight, kGrey);
    const double left = x + 11.0, right = x + kChartWidth - 10.0, top = y + 13.0, bottom = y + kChartHeight - 11.0;
    c.frame(left, top, right - left, bottom - top, 0.15, kAxis);
    if (d.total == 0) {
        c.label((left + right) / 2.0, (top + bottom) / 2.0, "No valid values", c.font(8), Qt::AlignHCenter, kGrey);
        return;
    }
    XAxis axis;
    axis.left = left + 1.0;
    axis.right = right - 1.0;
    Report_AxisRange(d, axis.from, axis.to);

    // Left axis: the share of one bin, up to a round top.
    const double largest = 100.0 * d.largestShare();
    const double step = ReportMap_RoundLength(std::max(largest, 1.0) / 2.0);
    const double topShare = std::max(step, std::ceil(largest / step - 1e-9) * step);
    auto yShare = [&](double share) { return bottom - (bottom - top) * share / topShare; };
    for (double s = 0.0; s <= topShare + 1e-9; s += step) {
        c.line(left, yShare(s), right, yShare(s), 0.1, QColor(230, 230, 230));
        c.label(left - 1.0, yShare(s) + 1.0, Report_Number(s) + " %", small, Qt::AlignRight, kGrey);
    }
    auto bar = [&](double from, double to, std::int64_t count) {
        const double share = 100.0 * static_cast<double>(count) / static_cast<double>(d.total);
        const double x0 = axis.toPaper(from), x1 = axis.toPaper(to);
        c.fill(x0 + 0.1, yShare(share), std::max(x1 - x0 - 0.2, 0.1), bottom - yShare(share), kBar);
    };
    for (std::size_t i = 0; i < d.counts.size(); ++i)
        if (d.counts[i] > 0) bar(d.first + d.width * i, d.first + d.width * (i + 1), d.counts[i]);
    if (d.logAxis) {
        bar(d.first - 1.5 * d.width, d.first - 0.5 * d.width, d.zeros);
        c.label(axis.toPaper(d.first - d.width), bottom + 3.2, "0", small, Qt::AlignHCenter, kInk);
        c.line(axis.toPaper(d.first - 0.25 * d.width), bottom - 1.0, axis.toPaper(d.first - 0.25 * d.width), bottom + 1.0,
               0.15, kAxis);
    }
    for (const auto& [v, text] : XTicks(d, axis)) {
        c.line(axis.toPaper(v), bottom, axis.toPaper(v), bottom + 0.8, 0.15, kAxis);
        c.label(axis.toPaper(v), bottom + 3.2, text, small, Qt::AlignHCenter, kInk);
    }
    const QString unit = d.logAxis ? QString("error ratio") : Report_Latin1(Threshold_UnitOf(d.channel));
    c.label((left + right) / 2.0, bottom + 7.0, unit, small, Qt::AlignHCenter, kGrey);

    // Right axis: the cumulative share.
    auto yCumulative = [&](double share) { return bottom - (bottom - top) * share; };
    for (double s : {0.0, 0.5, 1.0}) c.label(right + 1.0, yCumulative(s) + 1.0, Report_Number(100 * s) + " %", small, Qt::AlignLeft, kCurve);
    QPolygonF curve;
    const std::vector<double> cumulative = d.cumulative();
    const double start = static_cast<double>(d.zeros) / static_cast<double>(d.total);
    curve << c.at(axis.toPaper(d.first), yCumulative(start));
    for (std::size_t i = 0; i < cumulative.size(); ++i)
        curve << c.at(axis.toPaper(d.first + d.width * (i + 1)), yCumulative(cumulative[i]));
    QPen pen = c.pen(0.35, kCurve);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.drawPolyline(curve);

    if (d.rule.hasThreshold) {
        const double shown = d.rule.threshold * d.scale;
        const double at = d.logAxis ? (shown > 0.0 ? std::log10(shown) : d.first - d.width) : shown;
        const double px = std::clamp(axis.toPaper(at), left, right);
        c.line(px, top, px, bottom, 0.3, kThreshold, Qt::DashLine);
        c.label(left, top - 1.5, MeetingText(d), c.font(7.5, true), Qt::AlignLeft, kThreshold);
    }
}

QString Caption() {
    return QString::fromUtf8(
        "Bars: the share of the samples in each bin (left axis): levels in bins of 1 dB, MER of 0.5 dB (wider where "
        "the values spread over more than 60 bins), error ratios in quarter decades on a log axis, with the "
        "error-free samples as the bar \u201c0\u201d. Line: the share of the samples below the value (right axis). "
        "Dashed: the threshold, with the share of the samples meeting it. Counted are the values the cells count: of "
        "samples with a position, not repeats taken standing still, with the receiver state \u201cNo error\u201d.");
}

}  // namespace

void ReportPages_Distributions(ReportDocument& doc, std::size_t group) {
    ReportCanvas& c = doc.canvas;
    const CoverageGroup& g = doc.plan.groups[group];
    const ReportGroupData& data = doc.data.group(group);
    const std::size_t charts = data.distributions.size();
    doc.section(ReportText_Group(g) + ": distributions");
    for (std::size_t first = 0; first < std::max<std::size_t>(charts, 1); first += kChartsPerPage) {
        doc.add(kReportBottom - kReportTop, [&c, &g, &data, first, charts](double top) {
            c.text(kReportLeft, top, kReportWidth, ReportText_Group(g), c.font(13, true), Qt::AlignLeft, kInk);
            c.text(kReportLeft, top + 7.0, kReportWidth, first == 0 ? "Distributions" : "Distributions (continued)",
                   c.font(10), Qt::AlignLeft, kGrey);
            if (charts == 0) {
                c.text(kReportLeft, top + 30.0, kReportWidth, "The record files hold no level, MER or BER.", c.font(10),
                       Qt::AlignHCenter, kGrey);
                return;
            }
            const std::size_t end = std::min(first + kChartsPerPage, charts);
            for (std::size_t i = first; i < end; ++i) {
                const std::size_t k = i - first;
                DrawChart(c, data.distributions[i], kReportLeft + (k % 2) * (kChartWidth + kChartGap),
                          top + 16.0 + static_cast<double>(k / 2) * (kChartHeight + 4.0));
            }
            c.text(kReportLeft, top + 16.0 + 3 * (kChartHeight + 4.0) + 2.0, kReportWidth, Caption(), c.font(8),
                   Qt::AlignLeft, kInk);
        }, true);
    }
}
