#pragma once
// The colour scale of a report's median-level map: the KMZ map's scale,
// so a colour means the same level in the report and in the globe viewer.
// "Auto" takes it from the data, as the KMZ colour page does (here from the
// lowest to the highest cell median, the values the map shows); a named
// colour profile of the data directory sets the anchors and colours where
// it has an entry for the level channel.
#include <cstddef>
#include <string>

#include "coverage/coverage.h"
#include "export/kmz/colours.h"

struct ReportLevelScale {
    KmzAnchors anchors;
    KmzColourSet colours;
    KmzColourChannel row;      // the level channel as the colour page shows it
    std::string profile;       // Latin-1; empty for Auto
    bool fromProfile = false;  // the profile had an entry for the channel
};

// False with a one-line error for a profile that does not load or whose
// anchors are no scale.
bool Report_LevelScale(const CoverageGroup& group, std::size_t levelChannel, int decimals, const std::string& profile,
                       ReportLevelScale& scale, std::string& error);

// Whether the profile of that name (Latin-1) exists and reads, so that a
// run can refuse it before it reads any sample.
bool Report_CheckProfile(const std::string& profile, std::string& error);
