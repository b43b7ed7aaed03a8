#pragma once
// What the writers of one KMZ archive share: the scope the user chose, the
// grid cells of the map, and the export context (archive, data set, colour
// scales, stamp, cancel and progress).
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/kmz/colours.h"
#include "export/kmz/entrysink.h"
#include "export/kmz/kmzload.h"
#include "export/kmz/maparea.h"
#include "export/kmz/zipio.h"
#include "records/statistics.h"

// Value kinds of a layer.
constexpr int kKmzWorst = 0;
constexpr int kKmzAverage = 1;
constexpr int kKmzBest = 2;
constexpr int kKmzKinds = 3;
constexpr int kKmzSpotSizes = 3;

// The maximum zoom resolutions of `RING_ZOOM`.
struct KmzZoomChoice {
    const char* label;
    double metres;
};
inline constexpr std::array<KmzZoomChoice, 4> kKmzZoomChoices = {{
    {"High (< 5 x 5 meter)", 2.5},
    {"Default (< 20 x 20 meter)", 10.0},
    {"Low (< 80 x 80 meter)", 40.0},
    {"Very low (< 320 x 320 meter)", 160.0},
}};
constexpr double kKmzDefaultZoomMetres = 10.0;

// The scope page's choices.
struct KmzScope {
    std::vector<std::uint8_t> values;      // map channels 0..n (0: speed)
    std::vector<std::uint8_t> graphs;      // graph channels
    std::vector<std::uint8_t> parameters;  // text parameter channels
    std::array<bool, kKmzKinds> kinds = {true, false, false};  // worst, average, best
    double zoomMetres = kKmzDefaultZoomMetres;
};

// Everything of a data set, worst only, 10 m: the scope as the page starts.
KmzScope KmzScope_Default(const KmzDataSet& data);

struct KmzTextShare {
    std::int32_t channel = 0;
    std::uint32_t text = 0;  // 1 + index into the channel's texts
    double share = 0.0;      // percent (a count while the cell is aggregated)
};

struct KmzStatusShare {
    std::int32_t status = 0;  // index into the data set's status texts
    double share = 0.0;
};

// One grid cell of the map.
struct MapCell {
    std::vector<std::int32_t> samples;  // indices into the data set
    // A cell whose samples all lie in one child of its parent's area shows the
    // parent's balloon: styleDoc is the tile path of the level or tile whose
    // documents hold that style first (empty for a style of its own), styleIndex
    // the parent's position there, styleCell the id of the cell whose figures and
    // bitmaps the balloon shows.
    std::string styleDoc;
    int styleIndex = -1;
    std::string styleCell;
    bool aggregated = false;            // statistics hold the cell's own figures
    std::vector<CellStatistics> statistics;  // map channels 0..n
    std::vector<double> graphValidity;       // percent per graph channel
    std::vector<double> parameterValidity;   // percent per text channel
    std::vector<KmzTextShare> parameterTexts;  // channel ascending, share descending
    std::vector<KmzStatusShare> status;        // share descending
    std::int32_t sampleCount = 0;       // samples of the cell when it was aggregated or inherited
    std::int32_t interpolated = 0;      // of those, with an interpolated position
    MapArea area;
    std::string cellId;
    int x = 1, y = 1;  // place in the grid of the level or tile, x eastward, y southward

    bool hasInterpolated() const { return interpolated > 0; }
};

// The progress page while the archive is written.
class KmzWriteView {
public:
    virtual ~KmzWriteView() = default;
    virtual void showWriteLabel(const std::string& label) = 0;
    virtual void setWriteProgress(int percent) = 0;
};

// Scratch counters of one cell's aggregation, kept for the whole archive.
struct KmzHistograms {
    std::vector<std::int32_t> levelCounts;  // per graph column and level: points at that level
    std::vector<std::int32_t> counters;     // kGraphRows x kGraphColumns
    std::vector<std::int32_t> bins;         // kValueBins
    std::vector<std::int32_t> parameterValid;
    std::vector<std::int32_t> textCounts;   // per text channel: counts by text number
    std::vector<std::int32_t> statusCounts;
    std::vector<std::int32_t> graphCounts;
};

struct KmzExport {
    KmzEntrySink& sink;  // where the entries go
    KmzDataSet& data;
    const KmzScope& scope;
    std::vector<KmzAnchors> anchors;  // map channels 0..n
    KmzColourSet colours;
    std::string stamp;
    MapArea area;
    KmzDepth depth;
    std::function<bool()> cancelled;  // may be empty
    KmzWriteView* view = nullptr;
    std::vector<int> channels;  // selected map channels, ascending
    std::chrono::steady_clock::time_point lastProgress{};
    KmzHistograms scratch;

    KmzExport(KmzEntrySink& k, KmzDataSet& d, const KmzScope& s) : sink(k), data(d), scope(s) {}
    bool isCancelled() const { return cancelled && cancelled(); }
};

// Fills the channel list from the scope; call once the scope is final.
void KmzExport_Prepare(KmzExport& ex);

// The names and formats of a map channel.
std::string Kmz_ChannelName(const KmzDataSet& data, int channel);  // Latin-1; "Speed [km/h]" / "Speed [mph]" for 0
int Kmz_RatingKind(const KmzDataSet& data, int channel);           // speed: lower is better
int Kmz_Decimals(const KmzDataSet& data, int channel);             // speed: 1
// The speed in the distance unit of the record files (km/h or mph).
double Kmz_SpeedInUnit(const KmzDataSet& data, double kmh);

// "B", "M", "S" + "W", "A", "B".
std::string Kmz_LayerPrefix(int spotSize, int kind);
