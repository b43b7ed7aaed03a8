#include "export/report/report.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "export/gis/giswriter.h"
#include "export/kmz/canvas.h"
#include "platform/datetime.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "records/recording.h"

namespace {

constexpr int kDotsPerInch = 720;  // ten device units per point

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWith(const std::string& path, const char* ext) {
    const std::string base = BaseName(path);
    const std::string e = ext;
    if (base.size() <= e.size()) return false;
    for (std::size_t i = 0; i < e.size(); ++i) {
        char c = base[base.size() - e.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != e[i]) return false;
    }
    return true;
}

// A PDF writer that ran out of room stops writing without a word: a complete
// file ends with the end-of-file marker.
bool EndsComplete(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 16) return false;
    in.seekg(size - 16);
    std::string tail(16, '\0');
    in.read(tail.data(), 16);
    return in && tail.find("%%EOF") != std::string::npos;
}

// The header line and "Page n of N" of every page.
void DrawPageFrame(ReportCanvas& c, const ReportSettings& s, int page, int pages) {
    const QFont small = c.font(7.5);
    const QColor grey(110, 110, 110);
    c.label(kReportLeft, 12.0, "Coverage report \u00b7 " + Report_FileText(s.name), small, Qt::AlignLeft, grey);
    char made[32];
    DateTime_FormatInto(DateTime_Split(s.createdAt), made, sizeof made);
    c.label(kReportLeft + kReportWidth, 12.0, QString::fromLatin1(made), small, Qt::AlignRight, grey);
    c.line(kReportLeft, 13.5, kReportLeft + kReportWidth, 13.5, 0.15, QColor(180, 180, 180));
    c.label(kReportPageWidth / 2.0, 290.0, QString("Page %1 of %2").arg(page + 1).arg(pages), small, Qt::AlignHCenter,
            grey);
}

}  // namespace

bool Report_CheckRequest(const ReportRequest& request, std::string& error) {
    if (!EndsWith(request.path, ".pdf")) {
        error = "The report '" + request.path + "' must end in .pdf.";
        return false;
    }
    if (!Platform_CheckNewFile(request.path, request.overwrite, error)) return false;
    if (!request.gpkgPath.empty()) {
        if (Gis_DriverForPath(request.gpkgPath) != kGisGeoPackage) {
            error = "The GeoPackage '" + request.gpkgPath + "' must end in .gpkg.";
            return false;
        }
        if (!Gis_CheckTarget({request.gpkgPath, kGisGeoPackage, request.overwrite}, error)) return false;
    }
    return Report_CheckProfile(request.profile, error);
}

bool Report_WritePdf(const CoveragePlan& plan, const ReportCollector& collector, const ReportSettings& settings,
                     const std::string& path, CoverageProgress* progress, const std::function<bool()>& cancelled,
                     int& pages, std::string& error) {
    pages = 0;
    if (!KmzCanvas_EnsureGui()) {
        error = "Could not draw the report: no font system.";
        return false;
    }
    std::vector<ReportLevelScale> scales(plan.groups.size());
    for (std::size_t g = 0; g < plan.groups.size(); ++g) {
        const int level = ReportText_LevelChannel(plan.groups[g]);
        const auto& decimals = collector.group(g).decimals;
        const int d = level >= 0 && static_cast<std::size_t>(level) < decimals.size() ? decimals[static_cast<std::size_t>(level)] : 2;
        if (level >= 0 && !Report_LevelScale(plan.groups[g], static_cast<std::size_t>(level), d, settings.profile, scales[g], error))
            return false;
    }

    QPdfWriter writer(QFile::decodeName(path.c_str()));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(kDotsPerInch);
    writer.setTitle("Coverage report " + Report_FileText(settings.name));
    writer.setCreator(QString("Fieldtrace %1").arg(kSoftwareVersion, 0, 'f', 2));
    QPainter painter;
    if (!painter.begin(&writer)) {
        error = "Could not write '" + path + "'.";
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    ReportCanvas canvas(painter, kDotsPerInch / 25.4);
    ReportDocument doc(plan, collector, settings, canvas);
    doc.cancelled = cancelled;
    doc.levelScales = scales;
    ReportPages_Title(doc);
    for (std::size_t g = 0; g < plan.groups.size(); ++g) {
        ReportPages_Maps(doc, g);
        ReportPages_Distributions(doc, g);
    }
    ReportPages_Summary(doc);
    ReportPages_WorstCells(doc);

    std::vector<FlowBlock> flow;
    for (const auto& b : doc.blocks) flow.push_back(b.flow);
    const std::vector<FlowPlace> places = ReportFlow_Paginate(flow, kReportTop, kReportBottom);
    doc.pageOf.assign(doc.blocks.size(), 0);
    for (const FlowPlace& p : places) doc.pageOf[p.block] = p.page;
    pages = places.empty() ? 1 : places.back().page + 1;

    if (progress) {
        progress->showStep("Drawing the report");
        progress->setProgress(0);
    }
    int page = -1;
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (places[i].page != page) {
            if (page >= 0) writer.newPage();
            page = places[i].page;
            DrawPageFrame(canvas, settings, page, pages);
        }
        doc.blocks[places[i].block].draw(places[i].top);
        if (doc.isCancelled()) {
            painter.end();
            error = kReportAborted;
            return false;
        }
        if (progress) progress->setProgress(static_cast<int>(100 * (i + 1) / places.size()));
    }
    if (!painter.end() || !EndsComplete(path)) {
        error = "Could not write '" + path + "'.";
        return false;
    }
    return true;
}

ReportResult Report_Export(CoveragePlan& plan, const ReportRequest& request, CoverageProgress* progress,
                           const std::function<bool()>& cancelled) {
    ReportResult result;
    std::string error;
    if (!Report_CheckRequest(request, error)) {
        result.outcome = ReportOutcome::Failure;
        result.message = error;
        return result;
    }
    ReportCollector collector(plan);
    const ReportSettings settings{BaseName(request.path), DateTime_ExportNow(), request.profile};
    const std::string temporary = Platform_TemporaryNameBeside(request.path);
    auto fail = [&](const std::string& message) {
        std::remove(temporary.c_str());
        const bool userCancelled = cancelled && cancelled();
        result.outcome = userCancelled ? ReportOutcome::Cancelled : ReportOutcome::Failure;
        result.message = userCancelled ? kReportAborted : message;
        result.pages = 0;
        return result;
    };
    // The temporary file is made before anything is read: a folder that only
    // claims to be writable (/proc, a full or read-only mount) fails at once.
    if (std::FILE* f = std::fopen(temporary.c_str(), "wb")) {
        std::fclose(f);
    } else {
        result.outcome = ReportOutcome::Failure;
        result.message = "Could not write '" + request.path + "': " + std::strerror(errno) + ".";
        return result;
    }
    auto draw = [&](std::string& e) {
        return Report_WritePdf(plan, collector, settings, temporary, progress, cancelled, result.pages, e);
    };

    std::string gisMessage;
    if (request.gpkgPath.empty()) {
        const CoverageOutcome run = Coverage_Run(plan, &collector, progress, cancelled, error);
        if (run != CoverageOutcome::Done || !draw(error)) return fail(error);
    } else {
        GisExportRequest gis{request.gpkgPath, kGisGeoPackage, request.overwrite};
        gis.alsoSamples = &collector;
        gis.beforeRename = draw;
        const GisExportResult written = Gis_Export(plan, gis, progress, cancelled);
        if (written.outcome != GisOutcome::Success) return fail(written.message);
        gisMessage = written.message;
    }
    if (!Platform_ReplaceFile(request.path, temporary))
        return fail("Could not rename the finished report to '" + request.path + "'.");
    result.message = Text_Format("Report written to %s (%d pages).", request.path.c_str(), result.pages);
    if (!gisMessage.empty()) {
        result.message += " " + gisMessage;  // it counts the damaged samples
    } else {
        const std::int64_t skipped = plan.skippedSamples();
        if (skipped == 1) result.message += " 1 damaged sample was skipped.";
        else if (skipped > 1) result.message += " " + std::to_string(skipped) + " damaged samples were skipped.";
    }
    return result;
}
