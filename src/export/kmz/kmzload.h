#pragma once
// The conversion data set of the KMZ export: every selected record file merged
// into one set of samples on a common channel layout, with the gaps of the GPS
// track filled in. Loading runs in two passes so that the scope page can be
// filled from the headers before the samples are read.
//
// Samples are held compactly: values as (valid, value) pairs, graphs already
// reduced to the histogram counters their points raise (points out of range
// take no room), texts and receiver states as indices into text tables. Cells
// of the map refer to samples by index only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/kmz/levelconfig.h"
#include "records/recording.h"
#include "records/statistics.h"
#include "selection/recordentry.h"

inline constexpr const char* kKmzFailurePrefix = "Drive test result file conversion failure:\n";
inline constexpr const char* kKmzInsufficientRam = "Insufficient RAM.";
inline constexpr const char* kKmzNoSamples = "Could not load the samples.";
inline constexpr const char* kKmzNoPositionMessage = "The samples do not contain any valid GPS coordinate.";

// Position flags of a sample.
constexpr std::uint8_t kKmzNoPosition = 0;
constexpr std::uint8_t kKmzGpsPosition = 1;
constexpr std::uint8_t kKmzInterpolatedPosition = 2;

// A graph point whose level is out of the histogram's range.
constexpr std::uint8_t kKmzNoLevel = 255;
constexpr int kKmzGraphLevels = 100;

// One selected record file with what the level page computed for it.
struct KmzSourceFile {
    RecordFileEntry entry;
    KmzLevelSettings level;
};

// A record file while and after it is loaded.
struct KmzLoadedFile {
    KmzSourceFile source;
    std::vector<DtrInfoEntry> info;  // header items, for the root document's file table
    std::vector<int> valueMap;       // file value channel -> common value channel
    std::vector<int> graphMap;
    std::vector<int> graphFromCommon;  // common graph channel -> file graph channel, -1 when the file lacks it
    std::vector<int> itemMap;
    int levelSlot = -1;              // 2 x position of the level value, -1 without level channel
    std::int64_t sampleCount = 0;    // samples loaded
    std::int64_t skippedSamples = 0;  // damaged samples the reader stepped over
    // Open between the two passes.
    std::unique_ptr<FileContainer> ctx;
    std::unique_ptr<RecordFile> record;
};

struct KmzSample {
    double latitude = 0.0;
    double longitude = 0.0;
    double speed = -1.0;  // km/h; -1 when unknown
    double time = 0.0;    // cycle start, seconds
    std::int32_t status = 0;  // index into KmzDataSet::statusTexts
    std::uint8_t position = kKmzNoPosition;
};

struct KmzDataSet {
    // Common channels; map channel 0 is the speed, map channel i >= 1 is values[i - 1].
    std::vector<DtrValueDescriptor> values;
    std::vector<DtrGraphDescriptor> graphs;
    std::vector<DtrItemDescriptor> items;
    std::string distanceUnit = kDistanceKilometers;
    std::string outputName;  // path of the single file, or the multi-file export's name (ends in ".dtr")
    std::vector<KmzLoadedFile> files;

    std::vector<KmzSample> samples;
    std::vector<double> sampleValues;         // 2 x values.size() per sample: valid, value
    std::vector<std::uint8_t> graphUsable;    // graphs.size() per sample: 1 when the graph has a point in range
    // The points of graph channel g of sample i that fall into the histogram, as the
    // counters they raise (KmzLoad_GraphCounter): graphCounters[graphStart[k] .. graphStart[k + 1])
    // with k = i x graphs.size() + g. Points out of range (most of an echo pattern) take no room.
    std::vector<std::uint16_t> graphCounters;
    std::vector<std::uint64_t> graphStart{0};
    std::vector<std::uint32_t> sampleTexts;   // items.size() per sample: 0 empty, else 1 + index into itemTexts
    std::vector<std::vector<std::string>> itemTexts;  // per text channel its distinct texts
    std::vector<std::string> statusTexts;             // distinct receiver states

    std::vector<CellStatistics> statistics;  // whole set, map channels 0..n (0: speed in km/h)
    double maxSpeedKmh = 0.0;
    bool hasRecordedPosition = false;  // a sample was recorded with a GPS fix

    int mapChannels() const { return static_cast<int>(values.size()) + 1; }
    std::size_t sampleCount() const { return samples.size(); }
    // Pointer arithmetic, not indexing: a set without value channels has an
    // empty array, and its samples still ask for their (empty) run of entries.
    double* valueEntry(std::size_t sample, std::size_t valueChannel) {
        return sampleValues.data() + (sample * values.size() + valueChannel) * 2;
    }
    const double* valueEntry(std::size_t sample, std::size_t valueChannel) const {
        return sampleValues.data() + (sample * values.size() + valueChannel) * 2;
    }
};

// What the loader shows while it reads ("Analyzing file %d of %d").
class KmzLoadView {
public:
    virtual ~KmzLoadView() = default;
    virtual void showLoadLabel(const std::string& label) = 0;
    virtual void setLoadProgress(int percent) = 0;
};

enum class KmzLoadOutcome { Loaded, Failed, Cancelled, OutOfMemory };

// First pass: opens every file, reads its header and builds the common
// channels; level channels are renamed after the common unit. The files stay
// open for the second pass. On failure error holds the whole message
// ("Drive test result file conversion failure:\n" and the reader's text).
bool KmzLoad_ReadHeaders(const std::vector<KmzSourceFile>& files, int commonUnit, const std::string& recordFolder,
                         KmzDataSet& data, std::string& error);

// Second pass: reads every sample, file by file, corrects the levels, fills
// the gaps of each file's track, keeps the whole-set statistics; closes the
// files. cancelled (may be empty) is asked before every sample.
KmzLoadOutcome KmzLoad_ReadSamples(KmzDataSet& data, KmzLoadView* view, const std::function<bool()>& cancelled);

// Forgets the graph and text parameter channels between the two passes, so
// that a caller that needs only the values (the coverage analysis) reads
// faster and holds no traces.
void KmzLoad_DropTracesAndTexts(KmzDataSet& data);

// Releases the samples of a loaded set; channels and files stay.
void KmzLoad_ReleaseSamples(KmzDataSet& data);

// Closes files still open.
void KmzLoad_CloseFiles(KmzDataSet& data);

// The multi-file export's output name: "<folder>/YYYY-MM-DD  HH-MM-SS  Multi-file export.dtr".
std::string KmzLoad_MultiFileName(const std::string& recordFolder, double now);

// Fills the positions of samples [first, end) that have none: linearly in time
// between two positioned samples, extrapolated from the first two or the last
// two positioned samples at the ends; nothing with fewer than two. Filled
// samples get kKmzInterpolatedPosition.
void KmzLoad_FillGaps(std::vector<KmzSample>& samples, std::size_t first, std::size_t end);

// Brings a position onto the globe: latitude folded back over a pole (the
// longitude then turns by 180 degrees), longitude into -180..180.
void KmzLoad_NormalisePosition(double& latitude, double& longitude);

// The histogram counter of point j of n points at a level: its column, the nearest
// integer to j x 199 / (n - 1) (0 for a single point), times 100 plus the level.
std::uint16_t KmzLoad_GraphCounter(int point, int points, int level);

// The histogram level of a graph point: nearest integer of
// (v - ymin) x 99 / (ymax - ymin); kKmzNoLevel outside 0..99 or for
// |v - ymin| >= 1000000.
std::uint8_t KmzLoad_GraphLevel(float value, double yMin, double yMax);
