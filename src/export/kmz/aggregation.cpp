#include "export/kmz/aggregation.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "export/kmz/bitmaps.h"
#include "export/kmz/entrynames.h"

namespace {

constexpr int kEnoughValues = 10;  // fewer valid values show no distribution

// Counts of the cell's texts and states, reset through the list of what was touched.
struct Tally {
    std::vector<std::int32_t>& counts;
    std::vector<std::size_t> touched;
    explicit Tally(std::vector<std::int32_t>& c) : counts(c) {}
    void add(std::size_t at) {
        if (at >= counts.size()) counts.resize(at + 1, 0);
        if (counts[at]++ == 0) touched.push_back(at);
    }
    void reset() {
        for (std::size_t at : touched) counts[at] = 0;
        touched.clear();
    }
};

void InvalidateSample(KmzDataSet& d, std::size_t index) {
    const std::size_t nv = d.values.size();
    for (std::size_t i = 0; i < nv; ++i) d.sampleValues[(index * nv + i) * 2] = 0.0;
    std::fill_n(d.graphUsable.begin() + static_cast<std::ptrdiff_t>(index * d.graphs.size()), d.graphs.size(), 0);
    std::fill_n(d.sampleTexts.begin() + static_cast<std::ptrdiff_t>(index * d.items.size()), d.items.size(), 0u);
}

// The speed of a sample as a value entry (valid, value in the unit of the record files).
std::pair<double, double> SpeedEntry(const KmzDataSet& d, const KmzSample& s) {
    return {s.speed != -1.0 ? 1.0 : 0.0, Kmz_SpeedInUnit(d, s.speed)};
}

bool WriteGraphHistograms(KmzExport& ex, MapCell& cell, const std::vector<int>& graphs) {
    KmzHistograms& h = ex.scratch;
    for (int g : graphs) {
        if (cell.graphValidity[static_cast<std::size_t>(g)] <= 0.0) continue;
        const std::int32_t* levels = h.levelCounts.data() + static_cast<std::size_t>(g) * kGraphColumns * kKmzGraphLevels;
        h.counters.assign(static_cast<std::size_t>(kGraphColumns) * kGraphRows, 0);
        std::int32_t maximum = 0;
        // Row 99 - k counts the points at level k or above: a point fills its column from the bottom up.
        for (int column = 0; column < kGraphColumns; ++column) {
            std::int32_t above = 0;
            for (int level = kKmzGraphLevels - 1; level >= 0; --level) {
                above += levels[column * kKmzGraphLevels + level];
                h.counters[static_cast<std::size_t>((kGraphRows - 1 - level) * kGraphColumns + column)] = above;
            }
            maximum = std::max(maximum, above);
        }
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kGraphColumns) * kGraphRows * 4);
        if (!Bitmaps_DrawGraphHistogram(h.counters, maximum, pixels.data()) ||
            !ex.sink.writeBitmap(KmzEntry_GraphBitmap(g, cell.cellId, ex.stamp),
                                 kGraphColumns, kGraphColumns * 4, kGraphRows, std::move(pixels)))
            return false;
    }
    return true;
}

bool WriteValueDistributions(KmzExport& ex, MapCell& cell) {
    const KmzDataSet& d = ex.data;
    KmzHistograms& h = ex.scratch;
    for (int c : ex.channels) {
        const CellStatistics& st = cell.statistics[static_cast<std::size_t>(c)];
        const int kind = Kmz_RatingKind(d, c);
        if (st.validCount < kEnoughValues || kind == kKmzRateState) continue;
        h.bins.assign(kValueBins, 0);
        std::int32_t maximum = 0;
        if (st.worst == st.best) {
            h.bins[24] = h.bins[25] = 1;
            maximum = 1;
        } else {
            for (std::int32_t index : cell.samples) {
                const auto i = static_cast<std::size_t>(index);
                double valid, value;
                if (c == 0) {
                    std::tie(valid, value) = SpeedEntry(d, d.samples[i]);
                } else {
                    const double* e = d.valueEntry(i, static_cast<std::size_t>(c - 1));
                    valid = e[0];
                    value = e[1];
                }
                if (valid != 1.0) continue;
                const int bin = Kmz_DistributionBin(value, st.worst, st.best, kind);
                maximum = std::max(maximum, ++h.bins[static_cast<std::size_t>(bin)]);
            }
        }
        const KmzAnchors anchors = ex.anchors[static_cast<std::size_t>(c)];
        const KmzColourSet colours = ex.colours;
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kValueBins) * kValueRows * 4);
        if (!Bitmaps_DrawValueDistribution(h.bins, maximum, st.worst, st.best,
                                           [&](double v) { return classColour(anchors, colours, v); }, pixels.data()) ||
            !ex.sink.writeBitmap(KmzEntry_ValueBitmap(c, cell.cellId, ex.stamp),
                                 kValueBins, kValueBins * 4, kValueRows, std::move(pixels)))
            return false;
    }
    return true;
}

}  // namespace

int Kmz_DistributionBin(double x, double worst, double best, int ratingKind) {
    double position;
    if (ratingKind == kKmzRateNearZeroBetter)
        position = 49.0 * std::abs(std::abs(x) - worst) / std::abs(best - worst);
    else
        position = 49.0 * (x - worst) / (best - worst);
    if (!std::isfinite(position)) return 0;
    return static_cast<int>(std::clamp<long>(std::lround(position), 0, kValueBins - 1));
}

bool aggregateCell(KmzExport& ex, MapCell& cell) {
    KmzDataSet& d = ex.data;
    KmzHistograms& h = ex.scratch;
    const std::size_t nv = d.values.size(), ng = d.graphs.size(), nt = d.items.size();
    const int s = static_cast<int>(cell.samples.size());

    cell.statistics.assign(static_cast<std::size_t>(d.mapChannels()), CellStatistics{});
    cell.graphValidity.assign(ng, 0.0);
    cell.parameterValidity.assign(nt, 0.0);
    cell.parameterTexts.clear();
    cell.status.clear();
    cell.interpolated = 0;
    cell.sampleCount = s;

    std::vector<int> graphs, parameters;
    for (std::size_t g = 0; g < ng; ++g)
        if (g < ex.scope.graphs.size() && ex.scope.graphs[g]) graphs.push_back(static_cast<int>(g));
    for (std::size_t t = 0; t < nt; ++t)
        if (t < ex.scope.parameters.size() && ex.scope.parameters[t]) parameters.push_back(static_cast<int>(t));

    // Per graph: a counter per column and level.
    constexpr std::size_t kCounters = kGraphColumns * kKmzGraphLevels;
    h.levelCounts.assign(ng * kCounters, 0);
    h.graphCounts.assign(ng, 0);
    h.parameterValid.assign(nt, 0);
    Tally states(h.statusCounts);
    Tally texts(h.textCounts);
    // Text counts are kept per (channel, text): the texts of channel t start at textBase[t].
    std::vector<std::size_t> textBase(nt + 1, 0);
    for (std::size_t t = 0; t < nt; ++t) textBase[t + 1] = textBase[t] + d.itemTexts[t].size() + 1;

    for (std::int32_t index : cell.samples) {
        const auto i = static_cast<std::size_t>(index);
        const KmzSample& smp = d.samples[i];
        if (smp.position == kKmzInterpolatedPosition) ++cell.interpolated;
        if (d.statusTexts[static_cast<std::size_t>(smp.status)] != kStatusNoError) InvalidateSample(d, i);
        states.add(static_cast<std::size_t>(smp.status));

        const auto speed = SpeedEntry(d, smp);
        updateStatistics(cell.statistics[0], kKmzRateLowerBetter, speed.first, speed.second);
        const double* values = d.valueEntry(i, 0);
        for (std::size_t v = 0; v < nv; ++v)
            updateStatistics(cell.statistics[v + 1], d.values[v].displayKind, values[2 * v], values[2 * v + 1]);

        // Runs of the sample's entries by pointer: a set without graphs or texts has empty arrays.
        const std::uint8_t* usable = d.graphUsable.data() + i * ng;
        const std::uint64_t* start = d.graphStart.data() + i * ng;
        for (int g : graphs) {
            if (!usable[g]) continue;
            ++h.graphCounts[static_cast<std::size_t>(g)];
            std::int32_t* counts = h.levelCounts.data() + static_cast<std::size_t>(g) * kCounters;
            const std::uint16_t* counter = d.graphCounters.data();
            for (std::uint64_t k = start[g], end = start[g + 1]; k < end; ++k) ++counts[counter[k]];
        }

        const std::uint32_t* sampleTexts = d.sampleTexts.data() + i * nt;
        for (int t : parameters) {
            const std::uint32_t text = sampleTexts[t];
            if (text == 0) continue;
            ++h.parameterValid[static_cast<std::size_t>(t)];
            texts.add(textBase[static_cast<std::size_t>(t)] + text);
        }
    }

    const double total = s > 0 ? s : 1;
    for (std::size_t at : states.touched)
        cell.status.push_back({static_cast<std::int32_t>(at), h.statusCounts[at] * 100.0 / total});
    std::stable_sort(cell.status.begin(), cell.status.end(),
                     [](const KmzStatusShare& a, const KmzStatusShare& b) { return a.share > b.share; });
    std::sort(texts.touched.begin(), texts.touched.end());
    for (std::size_t at : texts.touched) {
        const auto t = static_cast<std::size_t>(std::upper_bound(textBase.begin(), textBase.end(), at) - textBase.begin() - 1);
        KmzTextShare share;
        share.channel = static_cast<std::int32_t>(t);
        share.text = static_cast<std::uint32_t>(at - textBase[t]);
        share.share = h.textCounts[at] * 100.0 / h.parameterValid[t];
        cell.parameterTexts.push_back(share);
    }
    std::stable_sort(cell.parameterTexts.begin(), cell.parameterTexts.end(),
                     [](const KmzTextShare& a, const KmzTextShare& b) {
                         return a.channel != b.channel ? a.channel < b.channel : a.share > b.share;
                     });
    for (std::size_t t = 0; t < nt; ++t) cell.parameterValidity[t] = h.parameterValid[t] * 100.0 / total;
    for (std::size_t g = 0; g < ng; ++g) cell.graphValidity[g] = h.graphCounts[g] * 100.0 / total;
    states.reset();
    texts.reset();
    cell.aggregated = true;

    return WriteGraphHistograms(ex, cell, graphs) && WriteValueDistributions(ex, cell);
}
