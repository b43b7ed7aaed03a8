#include "export/kmz/colours.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "export/kmz/levelconfig.h"
#include "platform/text.h"

namespace {

constexpr int kRingSize = 6;

int Red(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
int Green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }

// Steps from ring index p to q the short way round, in -2..3.
int RingStep(int p, int q) {
    int r = q - p;
    if (r >= 4) r -= kRingSize;
    if (r < -2) r += kRingSize;
    return r;
}

int Wrap(int p) { return ((p % kRingSize) + kRingSize) % kRingSize; }

// Position 0..1 of x between two anchors; a degenerate segment (both anchors
// equal) or a NaN value counts as its start.
double Fraction(double numerator, double denominator) {
    double t = numerator / denominator;
    if (std::isnan(t)) return 0.0;
    return std::clamp(t, 0.0, 1.0);
}

double ReadNumber(KmzColourView& view, int channel, int column) {
    return KmzLevel_ParseCell(view.cellText(channel, column)).value_or(0.0);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A value as the tree shows it, read back; NaN when the text is no number.
double Shown(const KmzColourChannel& row, double value) {
    if (!std::isfinite(value)) return kNaN;
    return KmzLevel_ParseCell(KmzColour_FormatValue(row, value)).value_or(kNaN);
}

void ShowValues(KmzColourView& view, const KmzColourChannel& row, const KmzAnchors& a) {
    view.setCellText(row.channel, kKmzColBad, KmzColour_FormatValue(row, a.bad));
    view.setCellText(row.channel, kKmzColAverage, KmzColour_FormatValue(row, a.average));
    view.setCellText(row.channel, kKmzColGood, KmzColour_FormatValue(row, a.good));
}

// The message for a row whose anchors are out of order, or nullptr when they are in order.
const char* OrderViolation(int kind, const KmzAnchors& a) {
    switch (kind) {
        case kKmzRateState: return nullptr;
        case kKmzRateLowerBetter:
            return a.bad > a.average && a.average > a.good ? nullptr : kKmzFallingMessage;
        case kKmzRateNearZeroBetter:
            return std::fabs(a.bad) > std::fabs(a.average) && std::fabs(a.average) > std::fabs(a.good)
                       ? nullptr
                       : kKmzMagnitudeMessage;
        default:
            return a.bad < a.average && a.average < a.good ? nullptr : kKmzRisingMessage;
    }
}

}  // namespace

int KmzColour_RingIndex(std::uint32_t colour) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kRingSize; ++i) {
        const std::uint32_t r = kKmzHueRing[static_cast<std::size_t>(i)];
        const long dr = Red(r) - Red(colour), dg = Green(r) - Green(colour), db = Blue(r) - Blue(colour);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

bool KmzColour_IsRingColour(std::uint32_t colour) {
    return std::find(kKmzHueRing.begin(), kKmzHueRing.end(), colour) != kKmzHueRing.end();
}

std::uint32_t KmzColour_Blend(std::uint32_t c1, std::uint32_t c2, double f) {
    if (std::isnan(f)) f = 0.0;
    f = std::clamp(f, 0.0, 1.0);
    auto mix = [f](int a, int b) {
        return static_cast<std::uint32_t>(static_cast<int>(a + f * (b - a) + 0.5)) & 0xFF;
    };
    return mix(Red(c1), Red(c2)) << 16 | mix(Green(c1), Green(c2)) << 8 | mix(Blue(c1), Blue(c2));
}

std::uint32_t classColour(const KmzAnchors& anchors, const KmzColourSet& colours, double x) {
    const int B = KmzColour_RingIndex(colours.bad);
    const int A = KmzColour_RingIndex(colours.average);
    const int G = KmzColour_RingIndex(colours.good);
    int d1 = RingStep(B, A);
    int d2 = RingStep(A, G);
    const int d3 = RingStep(B, G);

    // The walk from bad to average must not pass the good colour.
    const bool forward = (d1 > 0 && !(d3 >= 0 && d3 <= d1)) || (d1 < 0 && d1 < d3 && d3 < 0);
    if (forward) {
        if (d1 < 0) d1 += kRingSize;
        if (d2 < 0) d2 += kRingSize;
    } else {
        if (d1 > 0) d1 -= kRingSize;
        if (d2 > 0) d2 -= kRingSize;
    }

    const double b = anchors.bad, a = anchors.average, g = anchors.good;
    double t;
    int start, steps;
    const bool rising = g > b;
    if (rising ? x >= a : x <= a) {
        t = rising ? Fraction(x - a, g - a) : Fraction(a - x, a - g);
        start = A;
        steps = d2;
    } else {
        t = rising ? Fraction(x - b, a - b) : Fraction(b - x, b - a);
        start = B;
        steps = d1;
    }

    int p = start + static_cast<int>(t * steps);
    const double stepsAbs = std::abs(steps);
    double f = stepsAbs > 0 ? std::fmod(t, 1.0 / stepsAbs) * stepsAbs : 0.0;
    if (!forward) {
        f = 1.0 - f;
        p -= 1;
    }
    p = Wrap(p);
    return KmzColour_Blend(kKmzHueRing[static_cast<std::size_t>(p)], kKmzHueRing[static_cast<std::size_t>(Wrap(p + 1))],
                           f);
}

std::string classColourText(std::uint32_t colour) {
    return Text_Format("%02x%02x%02x", Red(colour), Green(colour), Blue(colour));
}

std::string KmzColour_SpeedTag(std::string_view distanceUnit) {
    return distanceUnit == kKmzDistanceKilometres ? "Speed [km/h]" : "Speed [mph]";
}

int KmzColour_RatingKind(const KmzColourChannel& row) {
    return row.channel == 0 ? kKmzRateLowerBetter : row.ratingKind;
}

int KmzColour_Decimals(const KmzColourChannel& row) {
    // A damaged descriptor must not ask for a format the tree cannot show.
    return row.channel == 0 ? 1 : std::clamp(row.decimals, 0, 15);
}

std::string KmzColour_FormatValue(const KmzColourChannel& row, double value) {
    if (KmzColour_RatingKind(row) == kKmzRateState) return Text_Format("%g", value);
    return Text_FormatFixed(value, KmzColour_Decimals(row));
}

std::string KmzColourMemoryView::cellText(int channel, int column) {
    auto it = cells_.find({channel, column});
    return it == cells_.end() ? std::string() : it->second;
}

void KmzColourMemoryView::setCellText(int channel, int column, const std::string& text) {
    cells_[{channel, column}] = text;
}

void autoAssignAnchors(const KmzColourScope& scope, KmzColourView& view) {
    for (const KmzColourChannel& row : scope.rows) {
        const int kind = KmzColour_RatingKind(row);
        KmzAnchors a;
        if (row.channel == 0) {
            const double perUnit = scope.distanceUnit == kKmzDistanceKilometres ? 1.0 : kKmzKmPerMile;
            a = KmzColour_AutoScale(row, scope.maxSpeedKmh / perUnit, 0.0);
        } else if (kind == kKmzRateState) {
            a = {0.0, 0.5, 1.0};
        } else if (row.statistics.validCount > 0) {
            a = KmzColour_AutoScale(row, row.statistics.worst, row.statistics.best);
        } else {
            // Nothing to take the anchors from: what the row holds stays when it is a scale.
            const KmzAnchors held = {KmzLevel_ParseCell(view.cellText(row.channel, kKmzColBad)).value_or(kNaN),
                                     KmzLevel_ParseCell(view.cellText(row.channel, kKmzColAverage)).value_or(kNaN),
                                     KmzLevel_ParseCell(view.cellText(row.channel, kKmzColGood)).value_or(kNaN)};
            if (KmzColour_IsScaleAsShown(row, held)) continue;
            a = KmzColour_AutoScale(row, 0.0, 0.0);
        }
        ShowValues(view, row, a);
    }
}

KmzAnchors KmzColour_AutoScale(const KmzColourChannel& row, double bad, double good) {
    const int kind = KmzColour_RatingKind(row);
    if (kind == kKmzRateState) return {0.0, 0.5, 1.0};
    // Rising for higher-is-better; falling otherwise (closer-to-zero works on magnitudes, never negative).
    const double direction = kind == kKmzRateLowerBetter || kind == kKmzRateNearZeroBetter ? -1.0 : 1.0;
    const double step = std::pow(10.0, -KmzColour_Decimals(row));
    if (!std::isfinite(bad) || !std::isfinite(good)) bad = good = 0.0;
    KmzAnchors a;
    a.good = Shown(row, good);
    a.bad = Shown(row, bad);
    // No spread as shown: bad 2 below (or above) the one value.
    if (a.bad == a.good) a.bad = Shown(row, a.good - 2.0 * direction);
    // Two steps of the channel's resolution between bad and good as shown, so
    // that the average, rounded to the same resolution, shows strictly between.
    if (!((a.good - a.bad) * direction >= 1.5 * step)) a.bad = Shown(row, a.good - 2.0 * step * direction);
    a.average = (a.bad + a.good) / 2.0;
    if (KmzColour_IsScaleAsShown(row, a)) return a;
    // Magnitudes beyond what the resolution can tell apart: the scale of a channel that is all 0.
    return {-2.0 * direction, -direction, 0.0};
}

bool KmzColour_IsScaleAsShown(const KmzColourChannel& row, const KmzAnchors& anchors) {
    const KmzAnchors shown = {Shown(row, anchors.bad), Shown(row, anchors.average), Shown(row, anchors.good)};
    return OrderViolation(KmzColour_RatingKind(row), shown) == nullptr && std::isfinite(shown.bad) &&
           std::isfinite(shown.average) && std::isfinite(shown.good);
}

bool validateColourScales(const KmzColourScope& scope, KmzColourView& view, std::vector<KmzAnchors>& anchorTable) {
    const KmzColourSet colours = view.colours();
    if (colours.bad == colours.average || colours.average == colours.good || colours.bad == colours.good) {
        view.showMessage(kKmzUniqueColoursMessage);
        return false;
    }

    std::vector<KmzAnchors> table(static_cast<std::size_t>(std::max(scope.channelCount, 0)));
    for (const KmzColourChannel& row : scope.rows) {
        const int kind = KmzColour_RatingKind(row);
        KmzAnchors a;
        if (kind == kKmzRateState) {
            a = {0.0, 0.5, 1.0};
            view.setCellText(row.channel, kKmzColBad, "0");
            view.setCellText(row.channel, kKmzColGood, "1");
        } else {
            a = {ReadNumber(view, row.channel, kKmzColBad), ReadNumber(view, row.channel, kKmzColAverage),
                 ReadNumber(view, row.channel, kKmzColGood)};
            ShowValues(view, row, a);
            if (const char* message = OrderViolation(kind, a)) {
                const std::string name = row.channel == 0 ? std::string("Speed") : row.tag;
                view.showMessage(Text_Format(message, name.c_str()));
                return false;
            }
        }
        if (row.channel >= 0 && row.channel < scope.channelCount) table[static_cast<std::size_t>(row.channel)] = a;
    }
    anchorTable = std::move(table);
    return true;
}
