#pragma once
// The document a report is drawn from: every page module adds blocks to one
// flow (reportflow.h), each with its height and what it draws once the pages
// are laid out, so that the contents and "Page n of N" know every page before
// the first is drawn.
#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "coverage/coverage.h"
#include "export/report/levelscale.h"
#include "export/report/reportcanvas.h"
#include "export/report/reportdata.h"
#include "export/report/reportflow.h"

struct ReportSettings {
    std::string name;        // the report's file name, for the page headers (UTF-8 or the disk's bytes)
    double createdAt = 0.0;  // local date-time value
    std::string profile;     // colour profile of the median map, Latin-1; empty: Auto
};

struct ReportBlock {
    FlowBlock flow;
    std::function<void(double top)> draw;
};

struct ReportSection {
    QString title;
    std::size_t block = 0;  // the block it starts with
};

class ReportDocument {
public:
    ReportDocument(const CoveragePlan& p, const ReportCollector& d, const ReportSettings& s, ReportCanvas& c)
        : plan(p), data(d), settings(s), canvas(c) {}

    const CoveragePlan& plan;
    const ReportCollector& data;
    const ReportSettings& settings;
    ReportCanvas& canvas;
    std::function<bool()> cancelled;
    std::vector<ReportLevelScale> levelScales;  // per group with a level channel
    std::vector<ReportBlock> blocks;
    std::vector<ReportSection> sections;
    std::vector<int> pageOf;  // per block, once laid out

    // Adds a block; returns its index.
    std::size_t add(double height, std::function<void(double top)> draw, bool newPage = false,
                    bool keepWithNext = false, int header = -1);
    // The next block starts a section listed in the contents.
    void section(const QString& title) { sections.push_back({title, blocks.size()}); }
    bool isCancelled() const { return cancelled && cancelled(); }
};

// The page modules in the order of the report.
void ReportPages_Title(ReportDocument& doc);
void ReportPages_Maps(ReportDocument& doc, std::size_t group);
void ReportPages_Distributions(ReportDocument& doc, std::size_t group);
void ReportPages_Summary(ReportDocument& doc);
void ReportPages_WorstCells(ReportDocument& doc);

// Texts several pages share.
// "474.000000 MHz · DVB-T / DVB-H"
QString ReportText_Group(const CoverageGroup& group);
// "≥ 60", "≤ 200", "|x| ≤ 3"; "–" without threshold.
QString ReportText_Threshold(const CoverageChannel& channel);
// The first level channel of a group; -1 without.
int ReportText_LevelChannel(const CoverageGroup& group);
// A heading of the flow (kept with what follows); the height it takes.
double ReportText_AddHeading(ReportDocument& doc, const QString& text, double points, bool newPage = false);
