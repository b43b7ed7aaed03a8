#pragma once
// Coverage verification of record files: every valid, positioned sample of
// every value channel is binned into the square cells of a metric grid, per
// file group (one standard on one frequency, merged as the KMZ conversion
// merges files), and each cell gets its statistics and, where the channel has
// a planning threshold, its share of samples meeting it, the location
// probability of a level channel and a class. A route summary per group and
// channel counts cells and driven distance by class.
//
// Two steps, so that a page can show the channels before anything is read:
// Coverage_Open reads the headers (channels, units, thresholds); Coverage_Run
// reads the samples one group at a time, hands each group's samples to a
// sink (the writers' samples layer) and keeps only the cells and summaries.
// Errors are one-line texts; no exception leaves the module.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "coverage/cellstats.h"
#include "coverage/grid.h"
#include "export/kmz/kmzload.h"
#include "export/kmz/levelconfig.h"
#include "selection/recordentry.h"

// Below this speed (km/h) a sample is taken standing still.
constexpr double kCoverageStationaryKmh = 1.0;

inline constexpr const char* kCoverageNoFiles = "No record file selected.";
inline constexpr const char* kCoverageNoPosition = "The samples do not contain any valid GPS coordinate.";
inline constexpr const char* kCoverageNoSamples = "The record files hold no samples.";
inline constexpr const char* kCoverageOutOfMemory = "Insufficient RAM.";

struct CoverageOptions {
    int cellSize = kCoverageDefaultCellSize;  // metres, one of kCoverageCellSizes
    int minSamples = kCoverageDefaultMinSamples;
    bool keepStationary = false;              // keep every sample taken standing still
    int levelUnit = -1;                       // kKmzUnit*; -1: as the level page proposes
    std::vector<KmzLevelManualInput> manual;  // per file, may be shorter
    std::vector<std::string> thresholds;      // "CHANNEL=VALUE [UNIT]"
    std::vector<std::string> withoutThreshold;  // channels judged without threshold, a default's included
};

// A value channel of a group with how it is judged.
struct CoverageChannel {
    std::string name;         // display name, Latin-1 ("Level [dBuV]")
    bool level = false;       // the level channel
    CoverageRule rule;
    std::string thresholdSource;  // "user", a default's source, or empty without threshold
};

struct CoverageCell {
    CellIndex index;
    std::int32_t samples = 0;    // binned samples, valid or not
    std::int32_t gapFilled = 0;  // of those, with a filled-in position
    std::vector<ChannelStatistics> channels;  // per channel of the group
};

// Cells and driven distance by class (indexed by CoverageClass).
struct CoverageChannelSummary {
    std::array<std::int64_t, kCoverageClassCount> cells{};
    std::array<double, kCoverageClassCount> distanceKm{};
    // Good or acceptable among the cells (or the distance) with enough samples
    // to be judged; NaN without threshold or without such cells.
    double coveredCellShare() const;
    double coveredDistanceShare() const;
    std::int64_t cellsTotal() const;
    double distanceTotalKm() const;
};

struct CoverageFile {
    RecordFileEntry entry;
    KmzLevelSettings level;
    int group = 0;
    std::vector<DtrInfoEntry> info;  // header information
    std::int64_t samples = 0;        // read (after the run)
    std::int64_t skipped = 0;        // damaged samples stepped over
    double distanceKm = 0.0;         // driven: the steps between its positioned samples
    double firstTime = 0.0, lastTime = 0.0;  // local date-time values of its first and last sample; 0 without
};

struct CoverageGroup {
    std::string standard;       // Latin-1
    std::string frequencyText;  // "474.000000 MHz"
    double frequencyMHz = 0.0;
    std::vector<std::size_t> files;  // into CoveragePlan::files, in selection order
    std::vector<CoverageChannel> channels;
    std::vector<CoverageCell> cells;  // by cell index
    std::vector<CoverageChannelSummary> summary;  // per channel
    std::int64_t positionedSamples = 0;
    std::int64_t stationarySkipped = 0;  // standing samples left out
};

struct CoveragePlan {
    CoverageOptions options;
    int levelUnit = kKmzUnitDbuV;
    CoverageGrid grid;
    bool gridChosen = false;
    std::vector<CoverageFile> files;
    std::vector<CoverageGroup> groups;

    std::int64_t skippedSamples() const;
    std::int64_t cellRows() const;  // one per cell and channel, over every group
};

// What the run shows while it reads.
class CoverageProgress {
public:
    virtual ~CoverageProgress() = default;
    virtual void showStep(const std::string& label) = 0;  // "Frequency 1 of 2: file 3 of 10"
    virtual void setProgress(int percent) = 0;
};

// One group's samples while they are loaded. leftOut marks the samples
// standing still that the statistics leave out (1); fileEnd holds where each
// of the group's files ends in the sample array.
struct CoverageSamples {
    const CoveragePlan& plan;
    const CoverageGroup& group;
    const KmzDataSet& data;
    const std::vector<std::uint8_t>& leftOut;
    std::vector<std::size_t> fileEnd;
};

// Which values of a group's samples the cell statistics count: those of a
// binned sample (positioned, and not a repeat taken standing still) of a good
// receiver state ("No error"), valid and a finite number. Every writer that
// shows the same values (the report's distributions) asks this one filter.
class CoverageCountedValues {
public:
    CoverageCountedValues(const KmzDataSet& data, const std::vector<std::uint8_t>& leftOut);
    bool binned(std::size_t sample) const;
    // The value of a channel of a sample when the statistics count it.
    bool value(std::size_t sample, std::size_t channel, double& v) const;

private:
    const KmzDataSet& data_;
    const std::vector<std::uint8_t>& leftOut_;
    std::vector<std::uint8_t> goodState_;  // per receiver state text
};

class CoverageSampleSink {
public:
    virtual ~CoverageSampleSink() = default;
    // False stops the run (error holds why).
    virtual bool writeSamples(const CoverageSamples& samples, std::string& error) = 0;
};

enum class CoverageOutcome { Done, Failed, Cancelled };

// Reads the headers of the record files, groups them, computes the level
// offsets and resolves the thresholds. False with a one-line error.
bool Coverage_Open(const std::vector<std::string>& paths, const CoverageOptions& options, CoveragePlan& plan,
                   std::string& error);

// A value channel of a group of the standard, judged by its default
// threshold where it has one (Latin-1 names).
CoverageChannel Coverage_MakeChannel(const std::string& standard, std::string name, bool level, int ratingKind,
                                     int minSamples);

// Resolves the plan's thresholds onto the channels of its groups: first
// options.withoutThreshold, then the typed options.thresholds (each as
// Coverage_SetThreshold); a level threshold is converted into plan.levelUnit with the
// facts of the group's files (entry and level settings). False with a
// one-line error for a threshold that does not read, does not convert or
// names no channel. Coverage_Open calls it.
bool Coverage_ApplyThresholds(CoveragePlan& plan, std::string& error);

// One typed threshold "CHANNEL=VALUE [UNIT]" set on every channel of the plan
// it names (Coverage_Open does this for options.thresholds). False with a
// one-line error when it does not read, names no channel or has a unit the
// channel cannot take; the plan keeps the channels it had set before.
bool Coverage_SetThreshold(CoveragePlan& plan, const std::string& text, std::string& error);
// No threshold (not even a default) for every channel named channel (as a
// threshold names it). False with a one-line error when it names none.
bool Coverage_ClearThreshold(CoveragePlan& plan, const std::string& channel, std::string& error);

// Reads, bins and computes group by group. sink (may be null) sees every
// group's samples; cancelled (may be empty) is asked between samples.
CoverageOutcome Coverage_Run(CoveragePlan& plan, CoverageSampleSink* sink, CoverageProgress* progress,
                             const std::function<bool()>& cancelled, std::string& error);

// The speed of each sample of one file's run [first, end) in km/h: the
// recorded speed, or from the track (distance and time to the previous
// positioned sample) where the file has none; -1 where neither is known.
std::vector<double> Coverage_TrackSpeeds(const std::vector<KmzSample>& samples, std::size_t first, std::size_t end);

// 1 for each sample of [first, end) that stands still after the first of its run.
std::vector<std::uint8_t> Coverage_StandingRepeats(const std::vector<double>& speeds);
