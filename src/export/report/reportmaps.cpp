// The map pages of a group: its cells coloured by class, and by median level
// on the KMZ colour scale, each with the driven track, a scale bar in the
// distance unit of the record files, a north arrow, the legend and the cell
// size. Drawn on the coverage grid's UTM metres, with nothing but the
// analysis: no tile server, no network.
#include <QPolygonF>
#include <QVector>

#include <cmath>
#include <map>
#include <optional>

#include "coverage/cellranking.h"
#include "export/gis/gisstyle.h"
#include "export/report/reportdoc.h"
#include "platform/text.h"
#include "records/recordtypes.h"

namespace {

const QColor kInk(32, 32, 32);
const QColor kGrey(100, 100, 100);
const QColor kFrameColour(90, 90, 90);
const QColor kGridColour(222, 222, 222);
const QColor kNoValue(225, 225, 225);
constexpr double kHeadingRoom = 15.0;
constexpr double kTrackWidth = 0.35;
constexpr double kTrackTolerance = 0.1;  // millimetres on paper
constexpr std::size_t kCancelEvery = 4096;

enum class MapKind { Classes, MedianLevel };

// Where a map goes on its page and which ground it shows.
struct MapView {
    MapBox paper;
    MapBox ground;
    MapFit fit;
};

// The cells' extent with a margin, widened to the paper's proportions.
MapBox GroundOf(const CoveragePlan& plan, const CoverageGroup& g, const MapBox& paper) {
    const double s = plan.grid.cellSize;
    MapBox b{1e300, 1e300, -1e300, -1e300};
    for (const CoverageCell& c : g.cells) {
        b.minX = std::min(b.minX, static_cast<double>(c.index.x) * s);
        b.minY = std::min(b.minY, static_cast<double>(c.index.y) * s);
        b.maxX = std::max(b.maxX, static_cast<double>(c.index.x + 1) * s);
        b.maxY = std::max(b.maxY, static_cast<double>(c.index.y + 1) * s);
    }
    const double margin = std::max(s, 0.03 * std::max(b.width(), b.height()));
    b = {b.minX - margin, b.minY - margin, b.maxX + margin, b.maxY + margin};
    const double aspect = paper.width() / paper.height();
    if (b.width() / b.height() < aspect) {
        const double grow = (b.height() * aspect - b.width()) / 2.0;
        b.minX -= grow;
        b.maxX += grow;
    } else {
        const double grow = (b.width() / aspect - b.height()) / 2.0;
        b.minY -= grow;
        b.maxY += grow;
    }
    return b;
}

QString UnitName(const std::string& distanceUnit) { return distanceUnit == kDistanceMiles ? "mi" : "km"; }

QString LengthText(double length, const std::string& distanceUnit) {
    if (distanceUnit != kDistanceMiles && length < 1.0) return Report_Number(length * 1000.0) + " m";
    return Report_Number(length) + " " + UnitName(distanceUnit);
}

void DrawGrid(ReportCanvas& c, const MapView& v) {
    const double step = ReportMap_RoundLength(std::max(v.ground.width(), v.ground.height()) / 5.0);
    for (double x = std::ceil(v.ground.minX / step) * step; x <= v.ground.maxX; x += step) {
        const MapPoint p = v.fit.toPaper(x, 0.0);
        c.line(p.x, v.paper.minY, p.x, v.paper.maxY, 0.12, kGridColour);
    }
    for (double y = std::ceil(v.ground.minY / step) * step; y <= v.ground.maxY; y += step) {
        const MapPoint p = v.fit.toPaper(0.0, y);
        c.line(v.paper.minX, p.y, v.paper.maxX, p.y, 0.12, kGridColour);
    }
}

// Every cell in its colour, the cells of one colour in one call.
bool DrawCells(ReportDocument& doc, const CoverageGroup& g, const MapView& v,
               const std::function<QColor(const CoverageCell&)>& colourOf) {
    ReportCanvas& c = doc.canvas;
    const double s = doc.plan.grid.cellSize;
    const double side = s * v.fit.mmPerMetre;
    std::map<QRgb, QVector<QRectF>> byColour;
    for (std::size_t i = 0; i < g.cells.size(); ++i) {
        if (i % kCancelEvery == 0 && doc.isCancelled()) return false;
        const CoverageCell& cell = g.cells[i];
        const MapPoint nw = v.fit.toPaper(static_cast<double>(cell.index.x) * s, static_cast<double>(cell.index.y + 1) * s);
        byColour[colourOf(cell).rgb()].push_back(c.box(nw.x, nw.y, side, side));
    }
    QPainter& p = c.painter();
    for (const auto& [rgb, rects] : byColour) {
        const QColor fill = QColor::fromRgb(rgb);
        // Outlines only where a cell is large enough for them not to swallow it.
        if (side >= 0.8) p.setPen(c.pen(0.05, fill == Qt::white ? Report_Colour(Gis_OutlineColour()) : fill.darker(125)));
        else p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRects(rects);
    }
    p.setBrush(Qt::NoBrush);
    return true;
}

void DrawTrack(ReportCanvas& c, const ReportGroupData& data, const MapView& v) {
    QPainter& p = c.painter();
    for (bool filled : {true, false}) {
        QPen pen = c.pen(kTrackWidth, Report_Colour(Gis_SampleColour(filled)), filled ? Qt::DashLine : Qt::SolidLine);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        for (const ReportTrackLine& line : data.track) {
            if (line.filledIn != filled) continue;
            std::vector<MapPoint> paper;
            paper.reserve(line.points.size());
            for (const MapPoint& m : line.points) paper.push_back(v.fit.toPaper(m.x, m.y));
            QPolygonF polygon;
            for (const MapPoint& m : ReportMap_Simplify(paper, kTrackTolerance)) polygon << c.at(m.x, m.y);
            p.drawPolyline(polygon);
        }
    }
}

// An arrow to true north with "N" above it, turned from the page's up (grid north).
void DrawNorthArrow(ReportCanvas& c, double x, double y, double degrees) {
    QPainter& p = c.painter();
    p.save();
    p.translate(c.at(x, y + 7.0));
    p.rotate(degrees);
    p.setPen(c.pen(0.2, kInk));
    QPolygonF left, right;
    left << c.at(0, -6.0) << c.at(-2.2, 1.5) << c.at(0, 0);
    right << c.at(0, -6.0) << c.at(2.2, 1.5) << c.at(0, 0);
    p.setBrush(kInk);
    p.drawPolygon(left);
    p.setBrush(Qt::white);
    p.drawPolygon(right);
    p.setBrush(Qt::NoBrush);
    const QFont f = c.font(8, true);
    c.label(0.0, -7.0, "N", f, Qt::AlignHCenter, kInk);
    p.restore();
}

void DrawScaleBar(ReportCanvas& c, const MapView& v, const std::string& distanceUnit, double x, double bottom) {
    const double metresPerUnit = distanceUnit == kDistanceMiles ? kKmzKmPerMile * 1000.0 : 1000.0;
    const double most = v.paper.width() / 4.0 / v.fit.mmPerMetre / metresPerUnit;
    const double length = ReportMap_RoundLength(most);
    const double bar = length * metresPerUnit * v.fit.mmPerMetre;
    const QFont f = c.font(7);
    const QString end = LengthText(length, distanceUnit);
    const double boxW = bar + c.textWidth(end, f) / 2.0 + 6.0;
    c.fill(x, bottom - 9.0, boxW, 9.0, QColor(255, 255, 255, 220));
    const double barY = bottom - 3.5;
    c.fill(x + 3.0, barY, bar / 2.0, 1.2, kInk);
    c.fill(x + 3.0 + bar / 2.0, barY, bar / 2.0, 1.2, Qt::white);
    c.frame(x + 3.0, barY, bar, 1.2, 0.15, kInk);
    c.label(x + 3.0, barY - 1.0, "0", f, Qt::AlignHCenter, kInk);
    c.label(x + 3.0 + bar, barY - 1.0, end, f, Qt::AlignHCenter, kInk);
}

struct LegendItem {
    enum Kind { Swatch, Line, Dashed } kind = Swatch;
    QColor colour;
    QString text;
};

constexpr double kSwatch = 4.5;
constexpr double kLegendRow = 5.0;

// The items flow left to right and wrap; the height they take.
double Legend(ReportCanvas& c, const std::vector<LegendItem>& items, double x, double y, double width, bool draw) {
    const QFont f = c.font(8);
    double cx = x, cy = y;
    for (const LegendItem& item : items) {
        const double w = kSwatch + 1.5 + c.textWidth(item.text, f) + 5.0;
        if (cx > x && cx + w > x + width) {
            cx = x;
            cy += kLegendRow;
        }
        if (draw) {
            if (item.kind == LegendItem::Swatch) {
                c.fill(cx, cy + 0.5, kSwatch, 3.0, item.colour);
                c.frame(cx, cy + 0.5, kSwatch, 3.0, 0.1, item.colour == Qt::white ? kFrameColour : item.colour.darker(125));
            } else {
                c.line(cx, cy + 2.0, cx + kSwatch, cy + 2.0, kTrackWidth, item.colour,
                       item.kind == LegendItem::Dashed ? Qt::DashLine : Qt::SolidLine);
            }
            c.label(cx + kSwatch + 1.5, cy + 3.3, item.text, f, Qt::AlignLeft, kInk);
        }
        cx += w;
    }
    return cy - y + kLegendRow;
}

std::vector<LegendItem> TrackItems(const ReportGroupData& data) {
    std::vector<LegendItem> items = {{LegendItem::Line, Report_Colour(Gis_SampleColour(false)), "driven track"}};
    for (const ReportTrackLine& l : data.track)
        if (l.filledIn) {
            items.push_back({LegendItem::Dashed, Report_Colour(Gis_SampleColour(true)), "filled in between GPS fixes"});
            break;
        }
    return items;
}

QColor ClassFill(CoverageClass cls) {
    if (cls == CoverageClass::None) return Qt::white;
    return Report_OverWhite(Gis_ClassColour(cls), kGisClassOpacity);
}

std::vector<LegendItem> ClassItems(const ReportDocument& doc, const CoverageGroup& g, const ReportGroupData& data) {
    const QString min = QString::number(doc.plan.options.minSamples);
    std::vector<LegendItem> items = {
        {LegendItem::Swatch, ClassFill(CoverageClass::Good), QString::fromUtf8("good (\u2265 95 %)")},
        {LegendItem::Swatch, ClassFill(CoverageClass::Acceptable), QString::fromUtf8("acceptable (\u2265 70 %)")},
        {LegendItem::Swatch, ClassFill(CoverageClass::Poor), "poor (< 70 %)"},
        {LegendItem::Swatch, ClassFill(CoverageClass::Insufficient), "insufficient (< " + min + " values)"}};
    for (const CoverageCell& cell : g.cells)
        if (Coverage_CellClass(g, cell) == CoverageClass::None) {
            items.push_back({LegendItem::Swatch, Qt::white, "no threshold"});
            break;
        }
    for (const LegendItem& t : TrackItems(data)) items.push_back(t);
    return items;
}

QString JudgedChannels(const CoverageGroup& g) {
    QStringList judged;
    for (const CoverageChannel& ch : g.channels)
        if (ch.rule.hasThreshold) judged << Report_Latin1(ch.name) + " " + ReportText_Threshold(ch);
    return judged.join(", ");
}

QString GridText(const CoveragePlan& plan, const MapView& v) {
    double lat = 0.0, lon = 0.0;
    Utm_Inverse(plan.grid.zone, (v.ground.minX + v.ground.maxX) / 2.0, (v.ground.minY + v.ground.maxY) / 2.0, lat, lon);
    const double north = ReportMap_TrueNorthDegrees(plan.grid.zone, lat, lon);
    const double scale = 1000.0 / v.fit.mmPerMetre;
    const double magnitude = std::pow(10.0, std::floor(std::log10(scale)) - 2.0);  // three significant digits
    const double rounded = std::round(scale / magnitude) * magnitude;
    const double step = ReportMap_RoundLength(std::max(v.ground.width(), v.ground.height()) / 5.0);
    return QString("Up is grid north of UTM zone %1 %2 (EPSG:%3); the arrow points to true north, %4\u00b0 %5 of it "
                   "at the map's centre. Scale about 1 : %6; grid lines every %7.")
        .arg(plan.grid.zone.zone)
        .arg(plan.grid.zone.south ? "S" : "N")
        .arg(plan.grid.zone.epsg())
        .arg(Report_Fixed(std::abs(north), 1))
        .arg(north < 0.0 ? "west" : "east")
        .arg(QString::fromStdString(Text_Format("%.0f", rounded)))
        .arg(step >= 1000.0 ? Report_Number(step / 1000.0) + " km" : Report_Number(step) + " m");
}

// The colour bar of the level scale from its bad to its good anchor, with the three anchors written under it.
double LevelBar(ReportCanvas& c, const ReportLevelScale& scale, double x, double y, bool draw) {
    constexpr double kWidth = 80.0;
    if (!draw) return 10.0;
    constexpr int kSteps = 160;
    const KmzAnchors& a = scale.anchors;
    for (int i = 0; i < kSteps; ++i) {
        const double value = a.bad + (a.good - a.bad) * (i + 0.5) / kSteps;
        c.fill(x + kWidth * i / kSteps, y, kWidth / kSteps + 0.05,
               3.5, Report_OverWhite(classColour(a, scale.colours, value), kGisClassOpacity));
    }
    c.frame(x, y, kWidth, 3.5, 0.1, kFrameColour);
    const QFont f = c.font(7.5);
    auto text = [&](double v) { return Report_Latin1(KmzColour_FormatValue(scale.row, v)); };
    const double mid = x + kWidth * (a.average - a.bad) / (a.good - a.bad);
    c.line(mid, y + 3.5, mid, y + 4.5, 0.15, kInk);
    c.label(x, y + 7.3, QString::fromUtf8("\u2264 ") + text(a.bad), f, Qt::AlignLeft, kInk);
    c.label(mid, y + 7.3, text(a.average), f, Qt::AlignHCenter, kInk);
    c.label(x + kWidth, y + 7.3, QString::fromUtf8("\u2265 ") + text(a.good), f, Qt::AlignRight, kInk);
    return 10.0;
}

void AddMap(ReportDocument& doc, std::size_t gi, MapKind kind) {
    ReportCanvas& c = doc.canvas;
    const CoverageGroup& g = doc.plan.groups[gi];
    const ReportGroupData& data = doc.data.group(gi);
    const int level = ReportText_LevelChannel(g);
    const QString title = kind == MapKind::Classes ? "Coverage classes" : "Median level";
    doc.section(ReportText_Group(g) + ": " + title.toLower());
    doc.add(kReportBottom - kReportTop, [&doc, &c, &g, &data, gi, kind, level, title](double top) {
        c.text(kReportLeft, top, kReportWidth, ReportText_Group(g), c.font(13, true), Qt::AlignLeft, kInk);
        c.text(kReportLeft, top + 7.0, kReportWidth, title, c.font(10), Qt::AlignLeft, kGrey);
        const QFont captionFont = c.font(8);
        if (g.cells.empty() || (kind == MapKind::MedianLevel && level < 0)) {
            c.text(kReportLeft, top + 30.0, kReportWidth,
                   g.cells.empty() ? "No sample of this frequency has a position." : "The record files hold no level.",
                   c.font(10), Qt::AlignHCenter, kGrey);
            return;
        }
        const QString size = QString("Cells of %1 m.").arg(doc.plan.grid.cellSize);
        QString caption;
        std::vector<LegendItem> items;
        const ReportLevelScale* scale = nullptr;
        if (kind == MapKind::Classes) {
            const QString judged = JudgedChannels(g);
            caption = size + " Each cell shows the worst class of its channels with a threshold" +
                      (judged.isEmpty() ? QString(": none has one, so no cell is judged.") : " (" + judged + ")") +
                      "; the summary gives each channel. ";
            items = ClassItems(doc, g, data);
        } else {
            scale = &doc.levelScales[gi];
            caption = size + " Each cell in the colour of the median of its valid " +
                      Report_Latin1(g.channels[static_cast<std::size_t>(level)].name) + " values, on the colour scale " +
                      (scale->profile.empty() ? QString("the KMZ conversion's Auto assigns, here from the lowest to the highest cell median")
                                              : scale->fromProfile ? "of the KMZ colour profile '" + Report_Latin1(scale->profile) + "'"
                                              : "of the KMZ colour profile '" + Report_Latin1(scale->profile) +
                                                    "', which has no entry for the level: Auto") +
                      ". ";
            items = TrackItems(data);
            bool unmeasured = false;
            for (const CoverageCell& cell : g.cells) unmeasured = unmeasured || cell.channels[static_cast<std::size_t>(level)].n == 0;
            if (unmeasured) items.insert(items.begin(), {LegendItem::Swatch, kNoValue, "no valid level"});
        }
        // The map takes the room the legend and the caption leave.
        const double legendLeft = kind == MapKind::MedianLevel ? kReportLeft + 88.0 : kReportLeft;
        const double legendWidth = kReportLeft + kReportWidth - legendLeft;
        const double legendH = std::max(Legend(c, items, legendLeft, 0.0, legendWidth, false),
                                        kind == MapKind::MedianLevel ? LevelBar(c, *scale, 0, 0, false) : 0.0);
        MapView v;
        v.paper = {kReportLeft, top + kHeadingRoom, kReportLeft + kReportWidth, 0.0};
        // The caption's numbers depend on the fit: measured with stand-ins, and a line to spare.
        const double captionH = c.textHeight(caption + GridText(doc.plan, {v.paper, {0, 0, 1, 1}, {}}), captionFont, kReportWidth) +
                                c.lineHeight(captionFont);
        v.paper.maxY = kReportBottom - captionH - legendH - 5.0;
        v.ground = GroundOf(doc.plan, g, v.paper);
        v.fit = ReportMap_Fit(v.ground, v.paper);

        QPainter& p = c.painter();
        p.save();
        p.setClipRect(c.box(v.paper.minX, v.paper.minY, v.paper.width(), v.paper.height()));
        c.fill(v.paper.minX, v.paper.minY, v.paper.width(), v.paper.height(), Qt::white);
        DrawGrid(c, v);
        const bool drawn = DrawCells(doc, g, v, [&](const CoverageCell& cell) -> QColor {
            if (kind == MapKind::Classes) return ClassFill(Coverage_CellClass(g, cell));
            const ChannelStatistics& s = cell.channels[static_cast<std::size_t>(level)];
            if (s.n == 0) return kNoValue;
            return Report_OverWhite(classColour(scale->anchors, scale->colours, s.median), kGisClassOpacity);
        });
        if (drawn) DrawTrack(c, data, v);
        p.restore();
        if (!drawn) return;
        c.frame(v.paper.minX, v.paper.minY, v.paper.width(), v.paper.height(), 0.3, kFrameColour);
        double lat = 0.0, lon = 0.0;
        Utm_Inverse(doc.plan.grid.zone, (v.ground.minX + v.ground.maxX) / 2.0, (v.ground.minY + v.ground.maxY) / 2.0, lat, lon);
        c.fill(v.paper.maxX - 13.0, v.paper.minY + 2.0, 11.0, 15.0, QColor(255, 255, 255, 220));
        DrawNorthArrow(c, v.paper.maxX - 7.5, v.paper.minY + 4.5, ReportMap_TrueNorthDegrees(doc.plan.grid.zone, lat, lon));
        DrawScaleBar(c, v, data.distanceUnit.empty() ? std::string(kDistanceKilometers) : data.distanceUnit,
                     v.paper.minX + 2.0, v.paper.maxY - 2.0);

        const double legendTop = v.paper.maxY + 2.5;
        if (kind == MapKind::MedianLevel) LevelBar(c, *scale, kReportLeft, legendTop + 0.5, true);
        Legend(c, items, legendLeft, legendTop, legendWidth, true);
        c.text(kReportLeft, legendTop + legendH + 1.5, kReportWidth, caption + GridText(doc.plan, v), captionFont,
               Qt::AlignLeft, kInk);
    }, true);
}

}  // namespace

void ReportPages_Maps(ReportDocument& doc, std::size_t group) {
    AddMap(doc, group, MapKind::Classes);
    AddMap(doc, group, MapKind::MedianLevel);
}
