#pragma once
// Colour scales of the KMZ export. Every value of a map channel is coloured by
// a continuous scale: three anchor values (bad, average, good) carry three
// colours taken from a ring of six hues, and values between two anchors walk
// around the ring from one anchor colour to the next. The walk from the bad
// to the average colour never passes the good colour, so a scale can run
// forward (red, yellow, green) or backward (green, yellow, red).
//
// The colour page ("Step 4 of 5: Color Assignment") reaches the screen only
// through KmzColourView; KmzColourMemoryView is the headless stand-in that the
// command line uses.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/statistics.h"

// Colours are 0xRRGGBB.
constexpr std::uint32_t kKmzMagenta = 0xFF00FF;
constexpr std::uint32_t kKmzRed = 0xFF0000;
constexpr std::uint32_t kKmzYellow = 0xFFFF00;
constexpr std::uint32_t kKmzGreen = 0x00FF00;
constexpr std::uint32_t kKmzCyan = 0x00FFFF;
constexpr std::uint32_t kKmzLightBlue = 0x8080FF;
inline constexpr std::array<std::uint32_t, 6> kKmzHueRing = {kKmzMagenta, kKmzRed,  kKmzYellow,
                                                             kKmzGreen,   kKmzCyan, kKmzLightBlue};

inline constexpr const char* kKmzDistanceKilometres = "kilometers [km]";
constexpr double kKmzKmPerMile = 1.609344;

// Rating kinds of a value channel (the descriptor's display kind).
constexpr int kKmzRateHigherBetter = 0;
constexpr int kKmzRateLowerBetter = 1;
constexpr int kKmzRateNearZeroBetter = 2;
constexpr int kKmzRateState = 3;  // 0 / 1 states: fixed scale 0, 0.5, 1

// Columns of the colour tree.
constexpr int kKmzColBad = 1;
constexpr int kKmzColAverage = 2;
constexpr int kKmzColGood = 3;

inline constexpr const char* kKmzUniqueColoursMessage = "Please assign unique colors for bad, average and good values.";
inline constexpr const char* kKmzRisingMessage =
    "Invalid color assignment for '%s'.\nPlease make sure, that Bad < Average < Good.";
inline constexpr const char* kKmzFallingMessage =
    "Invalid color assignment for '%s'.\nPlease make sure, that Bad > Average > Good.";
inline constexpr const char* kKmzMagnitudeMessage =
    "Invalid color assignment for '%s'.\nPlease make sure, that |Bad| > |Average| > |Good|.";

struct KmzColourSet {
    std::uint32_t bad = kKmzRed;
    std::uint32_t average = kKmzYellow;
    std::uint32_t good = kKmzGreen;
    bool operator==(const KmzColourSet&) const = default;
};

struct KmzAnchors {
    double bad = 0.0;
    double average = 0.0;
    double good = 0.0;
    bool operator==(const KmzAnchors&) const = default;
};

// One row of the colour tree: a selected map channel.
struct KmzColourChannel {
    int channel = 0;            // map channel: 0 speed, i >= 1 value descriptor i - 1
    std::string tag;            // display name ("Speed [km/h]", "Level [dBuV/m]"), Latin-1
    int ratingKind = kKmzRateHigherBetter;
    int decimals = 0;
    CellStatistics statistics;  // whole-set statistics; unused for speed
};

// What the colour page works on, set up by the conversion driver.
struct KmzColourScope {
    std::vector<KmzColourChannel> rows;  // selected channels, in tree order
    int channelCount = 0;                // map channels 0..n of the data set (n + 1)
    double maxSpeedKmh = 0.0;            // of the samples with a position
    std::string distanceUnit = kKmzDistanceKilometres;
};

// Ring index of a colour; a colour off the ring gets the nearest ring colour.
int KmzColour_RingIndex(std::uint32_t colour);
bool KmzColour_IsRingColour(std::uint32_t colour);
// c1 to c2 at fraction f (clamped to 0..1), each channel rounded to nearest.
std::uint32_t KmzColour_Blend(std::uint32_t c1, std::uint32_t c2, double f);

// Colour of value x on a channel's scale.
std::uint32_t classColour(const KmzAnchors& anchors, const KmzColourSet& colours, double x);
// "%02x%02x%02x" of red, green, blue.
std::string classColourText(std::uint32_t colour);

// "Speed [km/h]" for "kilometers [km]", else "Speed [mph]".
std::string KmzColour_SpeedTag(std::string_view distanceUnit);
// Speed uses one decimal and rates lower as better, whatever the row says.
int KmzColour_RatingKind(const KmzColourChannel& row);
int KmzColour_Decimals(const KmzColourChannel& row);
// A value as the tree shows it: the channel's decimals, and "0", "0.5", "1" for state channels.
std::string KmzColour_FormatValue(const KmzColourChannel& row, double value);

// The colour page: anchor tree, the three colour buttons, message popups.
// Tree rows are addressed by map channel.
class KmzColourView {
public:
    virtual ~KmzColourView() = default;
    virtual std::string cellText(int channel, int column) = 0;
    virtual void setCellText(int channel, int column, const std::string& text) = 0;
    virtual KmzColourSet colours() = 0;
    virtual void setColours(const KmzColourSet& colours) = 0;
    virtual void showMessage(const std::string& text) = 0;
};

// Headless colour page: keeps the texts and colours, remembers the last message.
class KmzColourMemoryView : public KmzColourView {
public:
    std::string cellText(int channel, int column) override;
    void setCellText(int channel, int column, const std::string& text) override;
    KmzColourSet colours() override { return colours_; }
    void setColours(const KmzColourSet& colours) override { colours_ = colours; }
    void showMessage(const std::string& text) override { lastMessage = text; }

    std::string lastMessage;

private:
    std::map<std::pair<int, int>, std::string> cells_;
    KmzColourSet colours_;
};

// Anchors from the whole-set statistics ("Auto"): speed from the maximum
// speed down to 0, state channels 0 / 0.5 / 1, other channels from their
// worst to their best value. Every row gets a scale that validates as the
// tree shows it; a channel without valid values keeps its texts when they
// are such a scale.
void autoAssignAnchors(const KmzColourScope& scope, KmzColourView& view);
// The automatic scale of a row from its bad and good value: both as the tree
// shows them; when they show the same value bad moves 2 away from good; bad
// and good at least two steps of the channel's resolution apart; the average
// halfway. Always strictly ordered as shown, whatever the values (non-finite
// ones count as 0).
KmzAnchors KmzColour_AutoScale(const KmzColourChannel& row, double bad, double good);
// Whether anchors, each rounded as the tree shows it, are in the row's order.
bool KmzColour_IsScaleAsShown(const KmzColourChannel& row, const KmzAnchors& anchors);
// Checks the colours and every row's anchors, writing each value back in its
// channel's format. On success anchorTable holds n + 1 entries (unselected
// channels 0, 0, 0); on failure the message is shown and false returned.
bool validateColourScales(const KmzColourScope& scope, KmzColourView& view, std::vector<KmzAnchors>& anchorTable);
