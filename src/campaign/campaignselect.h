#pragma once
// Which part of a campaign a coverage or a listing looks at: a time span,
// a standard and a frequency. Times are typed in ISO 8601; one without a
// zone is local time of this machine (TZ), as the record files' times are.
#include <optional>
#include <string>
#include <string_view>

struct CampaignSelection {
    std::optional<double> fromUtc;  // seconds since 1970, UTC; samples at or after it
    std::optional<double> toUtc;    // samples before it
    std::string standard;           // UTF-8, any case; empty: every standard
    std::optional<double> frequencyMHz;
};

// "2026-05-01", "2026-05-01T10:00", "2026-05-01 10:00:30.5", each optionally
// followed by "Z", "+02:00", "+0200" or "-05". endOfDay makes a date alone
// mean the end of that day (the next midnight), as "--to 2026-05-07" means
// the whole of May 7. False for anything else.
bool Campaign_ParseTime(std::string_view text, bool endOfDay, double& utcSeconds);

// The condition on the samples table (its columns time_utc, standard,
// frequency_mhz) of a selection; "TRUE" for none.
std::string Campaign_SampleCondition(const CampaignSelection& selection);

// The condition on the drives table: a drive whose time span meets the
// selected span, of the standard and frequency.
std::string Campaign_DriveCondition(const CampaignSelection& selection);
