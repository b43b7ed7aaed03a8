#pragma once
// Import of record files into the campaign database. Each file goes in as
// one transaction: its drive row and every positioned sample, or nothing.
// A file is known by its content (filekey.h): the drive row's unique key
// makes a second import of the same file add nothing, also when two
// importers take the same file at the same moment (the second waits for the
// first's transaction and then finds the row).
//
// The samples are read as the coverage export reads them (the same loader,
// levels on one common unit with the files' K-factors and manual entries,
// gaps of the track filled in) and stored with the same columns as the
// GeoPackage's samples layer, plus the drive and the sample's place in it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "campaign/campaigndb.h"
#include "coverage/coverage.h"

struct CampaignImportOptions {
    int levelUnit = -1;                       // kKmzUnit*; -1: as the level page proposes for the files given
    std::vector<KmzLevelManualInput> manual;  // per file, may be shorter
};

enum class CampaignFileState { Imported, AlreadyThere, Failed };

struct CampaignFileResult {
    std::string path;
    CampaignFileState state = CampaignFileState::Failed;
    std::int64_t samples = 0;  // positioned samples added
    std::string message;       // why it failed (one line)
};

enum class CampaignImportOutcome { Done, FilesFailed, Failed, Cancelled };

// Imports the files in order. A file that does not read is reported and the
// next one is taken (FilesFailed); a database failure stops the import at
// once (Failed), the file in hand rolled back, the files before it kept.
// error holds the one-line reason of Failed and Cancelled.
CampaignImportOutcome Campaign_Import(CampaignDb& db, const std::vector<std::string>& paths,
                                      const CampaignImportOptions& options, CoverageProgress* progress,
                                      const std::function<bool()>& cancelled, std::vector<CampaignFileResult>& results,
                                      std::string& error);
