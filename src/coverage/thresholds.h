#pragma once
// Planning thresholds of a coverage analysis: what the user names per channel
// ("Level=56 dBuV/m", "BER before Reed Solomon=2e-4") and the defaults where
// the field has a common value. A threshold becomes a number in the unit the
// channel's values are stored in.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One "CHANNEL=VALUE [UNIT]" as typed (UTF-8 or Latin-1; kept Latin-1).
struct ThresholdEntry {
    std::string text;     // the whole text, Latin-1, for messages
    std::string channel;  // Latin-1
    double value = 0.0;
    std::string unit;     // Latin-1; empty when none was given
};

// Reads "CHANNEL=VALUE [UNIT]". False with a one-line error for anything else.
bool Threshold_Parse(std::string_view text, ThresholdEntry& entry, std::string& error);

// True when a typed channel name names the channel with this display name:
// the whole name or the name without its bracketed unit ("Level" names
// "Level [dBuV]"), ignoring case, with the micro sign also written "u".
bool Threshold_Names(std::string_view typed, std::string_view displayName);

// The display name without its bracketed unit ("PER" of "PER [10-6]").
std::string Threshold_BareName(std::string_view displayName);

// The unit in brackets at the end of a display name ("10-6" of "PER [10-6]"); empty when none.
std::string Threshold_UnitOf(std::string_view displayName);

// What a number typed without unit is taken in for a channel that is not the
// level: "ratio" for a channel counted in "[10-N]", else its bracketed unit
// (empty when it has none).
std::string Threshold_BareUnit(std::string_view displayName);
// The number to type (without unit) for a threshold stored in the channel's
// unit: a plain ratio for "[10-N]" channels (200 in "[10-6]" is "0.0002"),
// else the number itself; shortest form that reads back the same.
std::string Threshold_TypedValue(double stored, std::string_view displayName);
// N of a channel counted in "[10-N]" (its values are ratios times 10^N); 0 otherwise.
int Threshold_TenPower(std::string_view displayName);

// A default threshold of a channel of a standard, with its source.
struct DefaultThreshold {
    double value = 0.0;   // in the channel's stored unit
    std::string source;   // for the documentation column, ASCII
};
std::optional<DefaultThreshold> Threshold_Default(std::string_view standard, std::string_view displayName,
                                                  int ratingKind);

// The unit conversion a level threshold needs: what the level configuration
// knows of one record file of the group.
struct LevelFacts {
    double inputImpedance = 50.0;
    double kFactor = 0.0;  // the K-factor the conversion used (manual or the file's)
    bool hasKFactor = true;  // false without antenna and without manual K-factor
};

// A non-level threshold in the channel's stored unit: without unit a channel
// counted in "[10-N]" takes a plain ratio (2e-4 is 200 in "[10-6]"); the
// channel's own unit takes the number as it is. False with an error for
// another unit.
bool Threshold_ToChannelUnit(const ThresholdEntry& entry, std::string_view displayName, double& value,
                             std::string& error);

// A level threshold in the common unit of the conversion (kKmzUnit*): without
// unit it is taken as given in that unit; another unit is converted with the
// level configuration's rules, which must come out the same for every file
// of the group; between field strength and the other units every file needs
// a K-factor. False with an error otherwise.
bool Threshold_ToLevelUnit(const ThresholdEntry& entry, int commonUnit, const std::vector<LevelFacts>& files,
                           double& value, std::string& error);
