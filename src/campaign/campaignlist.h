#pragma once
// The drives of a campaign as a listing shows them.
#include <cstdint>
#include <string>
#include <vector>

#include "campaign/campaigndb.h"
#include "campaign/campaignselect.h"

struct CampaignDrive {
    std::int64_t id = 0;
    std::string file, path, description, standard;  // UTF-8
    double frequencyMHz = 0.0;
    std::string analyzerType, serialNumber;
    std::string startUtc, endUtc, importedUtc;  // ISO 8601 UTC ("2026-05-01T10:00:00Z"), empty when unknown
    std::int64_t samples = 0, positionedSamples = 0, skippedSamples = 0;
    std::string sha256;
};

// The drives of the selection in import order; an empty database lists none.
bool Campaign_ListDrives(CampaignDb& db, const CampaignSelection& selection, std::vector<CampaignDrive>& drives,
                         std::string& error);
