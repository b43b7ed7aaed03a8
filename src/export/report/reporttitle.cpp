// The title page: what was driven (every record file with its analyzer,
// antenna, time span, distance and samples), the thresholds the cells are
// judged by, the method in two sentences and the contents.
#include <QStringList>

#include <cmath>
#include <set>

#include "coverage/cellstats.h"
#include "coverage/thresholds.h"
#include "export/gis/gisfields.h"
#include "export/report/reportdoc.h"
#include "platform/datetime.h"
#include "platform/text.h"
#include "records/recording.h"

namespace {

const QColor kInk(32, 32, 32);
const QColor kGrey(100, 100, 100);
constexpr double kGap = 2.0;  // between paragraphs

std::string InfoValue(const std::vector<DtrInfoEntry>& info, const char* group, const char* key) {
    for (const auto& e : info)
        if (Text_View(e.group) == group && Text_View(e.key) == key) return std::string(Text_View(e.value));
    return {};
}

QString BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return Report_FileText(slash == std::string::npos ? path : path.substr(slash + 1));
}

QString Local(double t) {
    char text[32];
    DateTime_FormatInto(DateTime_Split(t), text, sizeof text);
    return QString::fromLatin1(text);
}

QString Utc(GisUtcClock& clock, double t) {
    const GisUtc u = clock.toUtc(t);
    return QString::fromStdString(Text_Format("%04d-%02d-%02d %02d:%02d:%02d", u.year, u.month, u.day, u.hour, u.minute,
                                              static_cast<int>(u.second)));
}

// "12.34 km", or for a drive recorded in miles "7.67 mi (12.34 km)".
QString Distance(double km, const std::string& unit) {
    if (unit == kDistanceMiles) return Report_Fixed(km / kKmzKmPerMile, 2) + " mi (" + Report_Fixed(km, 2) + " km)";
    return Report_Fixed(km, 2) + " km";
}

// A paragraph block of lines, each in its font.
struct Lines {
    std::vector<std::pair<QString, QFont>> lines;
    std::vector<QColor> colours;
    void add(const QString& text, const QFont& font, const QColor& colour = kInk) {
        lines.push_back({text, font});
        colours.push_back(colour);
    }
    double height(const ReportCanvas& c, double width) const {
        double h = 0.0;
        for (const auto& [text, font] : lines) h += c.textHeight(text, font, width);
        return h;
    }
};

void AddLines(ReportDocument& doc, Lines lines, double after, bool keepWithNext = false) {
    ReportCanvas& c = doc.canvas;
    const double h = lines.height(c, kReportWidth) + after;
    doc.add(h, [&c, lines](double top) {
        double y = top;
        for (std::size_t i = 0; i < lines.lines.size(); ++i)
            y += c.text(kReportLeft, y, kReportWidth, lines.lines[i].first, lines.lines[i].second, Qt::AlignLeft,
                        lines.colours[i]);
    }, false, keepWithNext);
}

QString FileBlockAnalyzer(const CoverageFile& f) {
    const RecordFileEntry& e = f.entry;
    QString s = Report_Latin1(e.standard) + " \u00b7 " + Report_Latin1(e.frequency) + " \u00b7 " + Report_Latin1(e.type);
    const std::string serial = InfoValue(f.info, "TV Analyzer", "Serial number");
    const std::string firmware = InfoValue(f.info, "TV Analyzer", "Firmware version");
    if (!serial.empty()) s += ", serial " + Report_Latin1(serial);
    if (!firmware.empty()) s += ", firmware " + Report_Latin1(firmware);
    s += " \u00b7 input " + Report_Latin1(e.input);
    return s;
}

QString FileBlockAntenna(const CoveragePlan& plan, const CoverageFile& f) {
    const std::string antenna = InfoValue(f.info, "Antenna", "Type");
    QString s;
    if (f.level.manualKFactorUsed)
        s = "Antenna " + (antenna.empty() ? QString("not recorded") : Report_Latin1(antenna)) + ", K-factor " +
            Report_Fixed(f.level.manualKFactor, 1) + " dB/m (entered)";
    else if (!f.entry.kFactorText.empty())
        s = "Antenna " + Report_Latin1(antenna) + ", K-factor " + Report_Latin1(f.entry.kFactorText) + " dB/m";
    else
        s = "No antenna recorded";
    if (f.entry.levelIndex >= 0) {
        s += QString(" \u00b7 levels in ") + Report_Latin1(KmzLevel_UnitName(plan.levelUnit));
        if (f.level.levelOffset != 0.0)
            s += ", corrected by " + QString::fromStdString(Text_Format("%+.2f", f.level.levelOffset)) + " dB";
    }
    return s;
}

void AddDrives(ReportDocument& doc) {
    ReportCanvas& c = doc.canvas;
    const QFont bold = c.font(9.5, true), body = c.font(8.5);
    GisUtcClock clock;
    double first = 0.0, last = 0.0, km = 0.0;
    std::int64_t samples = 0, skipped = 0;
    for (const CoverageFile& f : doc.plan.files) {
        const std::string unit = doc.data.group(static_cast<std::size_t>(f.group)).distanceUnit;
        Lines lines;
        lines.add(BaseName(f.entry.path), bold);
        lines.add(FileBlockAnalyzer(f), body);
        lines.add(FileBlockAntenna(doc.plan, f), body);
        if (f.samples > 0)
            lines.add(Local(f.firstTime) + " \u2013 " + Local(f.lastTime) + " local time \u00b7 " + Utc(clock, f.firstTime) +
                          " \u2013 " + Utc(clock, f.lastTime) + " UTC",
                      body);
        lines.add(Distance(f.distanceKm, unit) + " driven \u00b7 " + QString::number(f.samples) + " samples, " +
                      QString::number(f.skipped) + " damaged samples skipped",
                  body);
        AddLines(doc, lines, kGap);
        if (f.samples > 0) {
            first = samples == 0 ? f.firstTime : std::min(first, f.firstTime);
            last = samples == 0 ? f.lastTime : std::max(last, f.lastTime);
        }
        km += f.distanceKm;
        samples += f.samples;
        skipped += f.skipped;
    }
    Lines total;
    QString text = QString("Together: %1 record files, %2 samples (%3 damaged samples skipped), %4 km driven")
                       .arg(doc.plan.files.size())
                       .arg(samples)
                       .arg(skipped)
                       .arg(Report_Fixed(km, 2));
    if (samples > 0) text += ", from " + Local(first) + " to " + Local(last) + " local time";
    total.add(text + ".", c.font(8.5, true));
    AddLines(doc, total, 4.0);
}

// "Level [dBµV] ≥ 60 (given)" for every channel of a group.
QStringList ThresholdLines(const CoverageGroup& g) {
    QStringList lines;
    QStringList without;
    for (const CoverageChannel& ch : g.channels) {
        if (!ch.rule.hasThreshold) {
            without << Report_Latin1(ch.name);
            continue;
        }
        QString line = Report_Latin1(ch.name) + " " + ReportText_Threshold(ch);
        const int power = Threshold_TenPower(ch.name);
        if (power > 0) line += " (a ratio of " + Report_Number(ch.rule.threshold * std::pow(10.0, -power)) + ")";
        line += ch.thresholdSource == "user" ? QString(", given") : ", default: " + QString::fromStdString(ch.thresholdSource);
        lines << line;
    }
    if (!without.isEmpty()) lines << "No threshold (statistics only): " + without.join(", ");
    return lines;
}

void AddThresholds(ReportDocument& doc) {
    ReportCanvas& c = doc.canvas;
    ReportText_AddHeading(doc, "Thresholds", 13.0);
    std::vector<QStringList> perGroup;
    for (const CoverageGroup& g : doc.plan.groups) perGroup.push_back(ThresholdLines(g));
    const bool same = std::all_of(perGroup.begin(), perGroup.end(), [&](const QStringList& l) { return l == perGroup[0]; });
    for (std::size_t g = 0; g < perGroup.size(); ++g) {
        if (same && g > 0) break;
        Lines lines;
        if (!same) lines.add(ReportText_Group(doc.plan.groups[g]), c.font(9, true));
        for (const QString& l : perGroup[g]) lines.add(l, c.font(8.5));
        AddLines(doc, lines, kGap);
    }
    if (!doc.plan.groups.empty() && ReportText_LevelChannel(doc.plan.groups[0]) >= 0) {
        bool levelJudged = false;
        for (const CoverageGroup& g : doc.plan.groups)
            for (const CoverageChannel& ch : g.channels) levelJudged = levelJudged || (ch.level && ch.rule.hasThreshold);
        if (!levelJudged) {
            Lines note;
            note.add("The level has no threshold: without the planning's minimum median field strength there is no "
                     "location probability (give one with --threshold \"Level=VALUE UNIT\").",
                     c.font(8.5), kGrey);
            AddLines(doc, note, kGap);
        }
    }
}

void AddMethod(ReportDocument& doc) {
    const CoveragePlan& plan = doc.plan;
    const CoverageOptions& o = plan.options;
    const QString zone = QString("zone %1 %2, EPSG:%3").arg(plan.grid.zone.zone).arg(plan.grid.zone.south ? "S" : "N").arg(plan.grid.zone.epsg());
    QString text =
        QString("Every valid sample with a position (measured, or filled in between two GPS fixes of its file) is "
                "binned into square cells of %1 m of the UTM grid (%2), per standard and frequency; %3. ")
            .arg(plan.grid.cellSize)
            .arg(zone)
            .arg(o.keepStationary ? QString("every sample taken standing still counts")
                                  : QString("of the samples taken standing still (below 1 km/h) only the first of "
                                            "each stop counts"));
    text += QString("A cell's level is judged by its location probability \u03a6((median \u2212 threshold) / \u03c3), "
                    "\u03c3 being the cell's own standard deviation from %1 valid values on and %2 dB below, any other "
                    "channel by its share of samples meeting the threshold: good at %3 % or more, acceptable at %4 % "
                    "or more, poor below, insufficient with fewer than %5 valid values.")
                .arg(kCoverageOwnSigmaSamples)
                .arg(Report_Fixed(kCoveragePlanningSigmaDb, 1))
                .arg(kCoverageGood * 100.0, 0, 'f', 0)
                .arg(kCoverageAcceptable * 100.0, 0, 'f', 0)
                .arg(o.minSamples);
    ReportText_AddHeading(doc, "Method", 13.0);
    Lines lines;
    lines.add(text, doc.canvas.font(8.5));
    AddLines(doc, lines, 4.0);
}

void AddContents(ReportDocument& doc) {
    ReportCanvas& c = doc.canvas;
    ReportText_AddHeading(doc, "Contents", 13.0);
    const QFont body = c.font(8.5);
    const double line = c.lineHeight(body);
    const std::size_t first = doc.sections.size();
    // The sections are added after this block, and it draws them once they
    // are: per group its two maps and its distributions, then the two tables.
    const std::size_t count = 3 * doc.plan.groups.size() + 2;
    doc.add(static_cast<double>(count) * line + 2.0, [&doc, &c, body, line, first](double top) {
        double y = top;
        for (std::size_t i = first; i < doc.sections.size(); ++i) {
            const ReportSection& s = doc.sections[i];
            c.label(kReportLeft, y + line * 0.8, s.title, body, Qt::AlignLeft, kInk);
            c.label(kReportLeft + kReportWidth, y + line * 0.8, QString::number(doc.pageOf[s.block] + 1), body,
                    Qt::AlignRight, kInk);
            y += line;
        }
    });
}

}  // namespace

std::size_t ReportDocument::add(double height, std::function<void(double)> draw, bool newPage, bool keepWithNext,
                                int header) {
    ReportBlock b;
    b.flow.height = height;
    b.flow.newPage = newPage;
    b.flow.keepWithNext = keepWithNext;
    b.flow.header = header;
    b.draw = std::move(draw);
    blocks.push_back(std::move(b));
    return blocks.size() - 1;
}

QString ReportText_Group(const CoverageGroup& group) {
    return Report_Latin1(group.frequencyText) + " \u00b7 " + Report_Latin1(group.standard);
}

QString ReportText_Threshold(const CoverageChannel& channel) {
    if (!channel.rule.hasThreshold) return QString::fromUtf8("\u2013");
    const QString value = Report_Number(channel.rule.threshold);
    switch (channel.rule.ratingKind) {
        case 1: return QString::fromUtf8("\u2264 ") + value;
        case 2: return QString::fromUtf8("|x| \u2264 ") + Report_Number(std::abs(channel.rule.threshold));
        default: return QString::fromUtf8("\u2265 ") + value;
    }
}

int ReportText_LevelChannel(const CoverageGroup& group) {
    for (std::size_t c = 0; c < group.channels.size(); ++c)
        if (group.channels[c].level) return static_cast<int>(c);
    return -1;
}

double ReportText_AddHeading(ReportDocument& doc, const QString& text, double points, bool newPage) {
    ReportCanvas& c = doc.canvas;
    const QFont font = c.font(points, true);
    const double h = c.textHeight(text, font, kReportWidth) + 1.5;
    doc.add(h, [&c, text, font](double top) { c.text(kReportLeft, top, kReportWidth, text, font, Qt::AlignLeft, kInk); },
            newPage, true);
    return h;
}

void ReportPages_Title(ReportDocument& doc) {
    ReportCanvas& c = doc.canvas;
    Lines title;
    title.add("Coverage report", c.font(24, true));
    std::vector<std::string> standards;
    for (const CoverageGroup& g : doc.plan.groups)
        if (std::find(standards.begin(), standards.end(), g.standard) == standards.end()) standards.push_back(g.standard);
    for (const std::string& s : standards) {
        QStringList frequencies;
        for (const CoverageGroup& g : doc.plan.groups)
            if (g.standard == s) frequencies << Report_Latin1(g.frequencyText);
        title.add(Report_Latin1(s) + ": " + frequencies.join(", "), c.font(12));
    }
    title.add(QString("Made on %1 by Fieldtrace %2 from the record files below.")
                  .arg(Local(doc.settings.createdAt))
                  .arg(kSoftwareVersion, 0, 'f', 2),
              c.font(8.5), kGrey);
    AddLines(doc, title, 6.0);
    ReportText_AddHeading(doc, "Drives", 13.0);
    AddDrives(doc);
    AddThresholds(doc);
    AddMethod(doc);
    AddContents(doc);
}
