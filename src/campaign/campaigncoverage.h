#pragma once
// Coverage of a whole campaign, computed by the database: PostGIS projects
// every selected sample into the UTM zone of the campaign (ST_Transform),
// snaps it to its cell and aggregates per cell and channel the count,
// extremes, mean, median (percentile_cont), sample standard deviation
// (stddev_samp) and the count meeting the threshold, and per cell the driven
// distance (steps between consecutive samples of a drive, half to the cell
// of either end). Only those aggregates leave the database; each cell is then
// judged here with the coverage module's own rules (Coverage_Judge: the
// sigma rule, the location probability Phi computed with erfc, the classes),
// so a campaign and a file export judge alike.
//
// The grid's zone comes from the centre of every recorded (not filled-in)
// position of the selection; the cell ids are those of the file export.
#include <string>
#include <vector>

#include "campaign/campaigndb.h"
#include "campaign/campaignselect.h"
#include "coverage/coverage.h"
#include "export/gis/giswriter.h"

inline constexpr const char* kCampaignEmpty = "The database holds no campaign yet: import record files first.";
inline constexpr const char* kCampaignNoMatch = "No sample of the campaign matches the selection.";

struct CampaignCoverageOptions {
    int cellSize = kCoverageDefaultCellSize;
    int minSamples = kCoverageDefaultMinSamples;
    bool keepStationary = false;
    std::vector<std::string> thresholds;  // "CHANNEL=VALUE [UNIT]", as the file export takes them
    std::vector<std::string> withoutThreshold;  // channels judged without threshold, a default's included
    CampaignSelection selection;
};

// Computes the coverage of the selection into plan (groups, channels, cells
// and summaries) and replaces the tables cells and coverage_summary of the
// database with it. False with a one-line error.
bool Campaign_Coverage(CampaignDb& db, const CampaignCoverageOptions& options, CoveragePlan& plan,
                       CoverageProgress* progress, std::string& error);

// Writes a computed campaign coverage to a GeoPackage: cells and
// coverage_summary with the cells' QGIS style, and the drives of the selection.
GisExportResult Campaign_WriteGeoPackage(CampaignDb& db, CoveragePlan& plan, const CampaignSelection& selection,
                                         const GisExportRequest& request);
