#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "export/kmz/colours.h"

namespace {

int R(std::uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int G(std::uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
int B(std::uint32_t c) { return static_cast<int>(c & 0xFF); }

const KmzColourSet kDefault{};
const KmzColourSet kReversed{kKmzGreen, kKmzYellow, kKmzRed};

struct ColourCase {
    KmzAnchors anchors;
    KmzColourSet colours;
    double x;
    const char* expected;
};

TEST(KmzClassColour, GoldenValues) {
    const KmzAnchors rising{40, 50, 60};
    const KmzAnchors falling{60, 50, 40};
    const ColourCase cases[] = {
        {rising, kDefault, 45, "ff8000"},  // halfway red to yellow: orange
        {rising, kDefault, 40, "ff0000"},
        {rising, kDefault, 30, "ff0000"},
        {rising, kDefault, 50, "ffff00"},
        {rising, kDefault, 55, "80ff00"},
        {rising, kDefault, 60, "00ff00"},
        {rising, kDefault, 75, "00ff00"},
        {falling, kDefault, 45, "80ff00"},
        {falling, kDefault, 55, "ff8000"},
        {falling, kDefault, 35, "00ff00"},
        // Green, yellow, red walks the ring backward.
        {rising, kReversed, 40, "00ff00"},
        {rising, kReversed, 45, "80ff00"},
        {rising, kReversed, 50, "ffff00"},
        {rising, kReversed, 55, "ff8000"},
        {rising, kReversed, 60, "ff0000"},
        // Red to cyan with green as the good colour goes round the far side:
        // halfway is between magenta and light blue.
        {rising, {kKmzRed, kKmzCyan, kKmzGreen}, 45, "c040ff"},
        // Two steps on one segment: a quarter of the way is halfway to the first step.
        {{0, 4, 8}, {kKmzMagenta, kKmzYellow, kKmzCyan}, 1, "ff0080"},
    };
    for (const ColourCase& c : cases) {
        EXPECT_EQ(classColourText(classColour(c.anchors, c.colours, c.x)), c.expected)
            << c.anchors.bad << "/" << c.anchors.average << "/" << c.anchors.good << " at " << c.x;
    }
}

TEST(KmzClassColour, BackwardWalkNeverPassesCyan) {
    // Green to yellow the short way; forward it would run through cyan, blue and magenta.
    int previousRed = -1, previousGreen = 256;
    for (double x = 40.0; x <= 60.0; x += 0.25) {
        const std::uint32_t c = classColour({40, 50, 60}, kReversed, x);
        EXPECT_EQ(B(c), 0) << x;
        EXPECT_GE(R(c), previousRed) << x;  // red rises, then green falls: green -> yellow -> red
        if (x >= 50.0) {
            EXPECT_LE(G(c), previousGreen) << x;
        }
        previousRed = R(c);
        previousGreen = G(c);
    }
}

TEST(KmzClassColour, DegenerateInputGivesARingBlend) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Equal anchors, equal colours, NaN value: no crash, and a colour of the scale's start.
    EXPECT_EQ(classColour({50, 50, 50}, kDefault, 50), kKmzYellow);
    EXPECT_EQ(classColour({40, 50, 60}, kDefault, nan), kKmzRed);
    EXPECT_EQ(classColour({40, 50, 60}, {kKmzRed, kKmzRed, kKmzRed}, 55), kKmzRed);
    // A colour off the ring (damaged profile) is taken as its nearest hue.
    EXPECT_EQ(classColour({40, 50, 60}, {0xFE0101, kKmzYellow, kKmzGreen}, 45), 0xFF8000u);
}

TEST(KmzClassColour, BlendClampsAndRounds) {
    EXPECT_EQ(KmzColour_Blend(kKmzRed, kKmzYellow, -1.0), kKmzRed);
    EXPECT_EQ(KmzColour_Blend(kKmzRed, kKmzYellow, 2.0), kKmzYellow);
    EXPECT_EQ(KmzColour_Blend(0x000000, 0x0000FF, 0.5), 0x000080u);  // 127.5 rounds up
    EXPECT_EQ(KmzColour_Blend(0x0000FF, 0x000000, 0.5), 0x000080u);
    EXPECT_EQ(classColourText(0x0A0B0C), "0a0b0c");
}

KmzColourChannel Row(int channel, const char* tag, int kind, int decimals, int valid = 0, double worst = 0,
                     double best = 0) {
    KmzColourChannel row;
    row.channel = channel;
    row.tag = tag;
    row.ratingKind = kind;
    row.decimals = decimals;
    row.statistics.count = valid;
    row.statistics.validCount = valid;
    row.statistics.worst = worst;
    row.statistics.best = best;
    return row;
}

std::vector<std::string> Texts(KmzColourView& view, int channel) {
    return {view.cellText(channel, kKmzColBad), view.cellText(channel, kKmzColAverage),
            view.cellText(channel, kKmzColGood)};
}

using T = std::vector<std::string>;

TEST(KmzAutoAnchors, EveryKindOfChannel) {
    KmzColourScope scope;
    scope.channelCount = 8;
    scope.maxSpeedKmh = 100.0;
    scope.rows = {Row(0, "Speed [km/h]", 0, 5),
                  Row(1, "Level [dBm]", 0, 1, 10, -70.0, -40.0),
                  Row(2, "MER [dB]", 0, 1, 3, 25.0, 25.0),
                  Row(3, "BER", 1, 2, 3, 0.5, 0.5),
                  Row(4, "Offset [Hz]", 2, 0, 3, 7.0, 7.0),
                  Row(5, "Sync", 3, 0),
                  Row(6, "Empty", 0, 1)};
    KmzColourMemoryView view;
    view.setCellText(6, kKmzColBad, "keep");  // no scale: replaced
    autoAssignAnchors(scope, view);
    EXPECT_EQ(Texts(view, 0), (T{"100.0", "50.0", "0.0"}));
    EXPECT_EQ(Texts(view, 1), (T{"-70.0", "-55.0", "-40.0"}));
    EXPECT_EQ(Texts(view, 2), (T{"23.0", "24.0", "25.0"}));  // equal: bad lowered by 2
    EXPECT_EQ(Texts(view, 3), (T{"2.50", "1.50", "0.50"}));  // lower is better: bad raised
    EXPECT_EQ(Texts(view, 4), (T{"9", "8", "7"}));
    EXPECT_EQ(Texts(view, 5), (T{"0", "0.5", "1"}));
    EXPECT_EQ(Texts(view, 6), (T{"-2.0", "-1.0", "0.0"}));  // no valid values: the scale of a channel all 0
}

// Auto must always give a scale that passes the page's check as the tree shows
// it: "Please make sure, that Bad > Average > Good." after Auto blocked the most
// common exports (a BER all 0, a drive standing still, a single sample).
TEST(KmzAutoAnchors, EveryChannelGetsAScaleThatValidatesAsShown) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* story;
        KmzColourChannel row;
        double maxSpeedKmh;
        T expected;
    };
    const Case cases[] = {
        {"every value 0, higher is better", Row(1, "MER [dB]", 0, 1, 5, 0.0, 0.0), 0, {"-2.0", "-1.0", "0.0"}},
        {"every value 0, lower is better", Row(1, "BER [10-6]", 1, 2, 5, 0.0, 0.0), 0, {"2.00", "1.00", "0.00"}},
        {"every value 0, closer to zero is better", Row(1, "Offset [Hz]", 2, 0, 5, 0.0, 0.0), 0, {"2", "1", "0"}},
        {"one magnitude, closer to zero is better", Row(1, "Offset [Hz]", 2, 0, 1, 5.0, 5.0), 0, {"7", "6", "5"}},
        {"no valid value, lower is better", Row(1, "BER [10-6]", 1, 2), 0, {"2.00", "1.00", "0.00"}},
        {"average 0.5 rounds onto an anchor", Row(1, "Sats", 0, 0, 9, 0.0, 1.0), 0, {"-1", "0", "1"}},
        {"spread below the resolution", Row(1, "BER [10-6]", 1, 0, 9, 0.4, 0.2), 0, {"2", "1", "0"}},
        {"anchors that round apart by one step", Row(1, "MER [dB]", 0, 1, 9, 20.04, 20.06), 0, {"19.9", "20.0", "20.1"}},
        {"a drive standing still", Row(0, "Speed [km/h]", 0, 0), 0.0, {"2.0", "1.0", "0.0"}},
        {"a speed below the resolution", Row(0, "Speed [km/h]", 0, 0), 0.04, {"2.0", "1.0", "0.0"}},
        {"values beyond what doubles resolve", Row(1, "Huge", 0, 2, 3, 1e300, 1e300), 0, {"-2.00", "-1.00", "0.00"}},
        {"a damaged statistic", Row(1, "MER [dB]", 0, 1, 3, nan, 20.0), 0, {"-2.0", "-1.0", "0.0"}},
    };
    for (const Case& c : cases) {
        KmzColourScope scope;
        scope.channelCount = 2;
        scope.maxSpeedKmh = c.maxSpeedKmh;
        scope.rows = {c.row};
        KmzColourMemoryView view;
        autoAssignAnchors(scope, view);
        EXPECT_EQ(Texts(view, c.row.channel), c.expected) << c.story;
        std::vector<KmzAnchors> table;
        EXPECT_TRUE(validateColourScales(scope, view, table)) << c.story << ": " << view.lastMessage;
        EXPECT_EQ(Texts(view, c.row.channel), c.expected) << c.story << ": the check shows the same texts";
    }
}

TEST(KmzAutoAnchors, AChannelWithoutValuesKeepsAScaleItHolds) {
    KmzColourScope scope;
    scope.channelCount = 3;
    scope.rows = {Row(1, "BER [10-6]", 1, 1), Row(2, "MER [dB]", 0, 0)};
    KmzColourMemoryView view;
    view.setCellText(1, kKmzColBad, "30.0");  // say from a profile
    view.setCellText(1, kKmzColAverage, "3.0");
    view.setCellText(1, kKmzColGood, "0.3");
    view.setCellText(2, kKmzColBad, "10");  // out of order: no scale to keep
    view.setCellText(2, kKmzColAverage, "10.4");
    view.setCellText(2, kKmzColGood, "20");
    autoAssignAnchors(scope, view);
    EXPECT_EQ(Texts(view, 1), (T{"30.0", "3.0", "0.3"}));
    EXPECT_EQ(Texts(view, 2), (T{"-2", "-1", "0"}));
}

TEST(KmzAutoAnchors, SpeedInMilesPerHour) {
    KmzColourScope scope;
    scope.channelCount = 1;
    scope.maxSpeedKmh = 160.9344;
    scope.distanceUnit = "miles [mi]";
    scope.rows = {Row(0, "Speed [mph]", 0, 0)};
    KmzColourMemoryView view;
    autoAssignAnchors(scope, view);
    EXPECT_EQ(Texts(view, 0), (T{"100.0", "50.0", "0.0"}));
    EXPECT_EQ(KmzColour_SpeedTag("miles [mi]"), "Speed [mph]");
    EXPECT_EQ(KmzColour_SpeedTag(kKmzDistanceKilometres), "Speed [km/h]");
}

KmzColourScope ValidationScope() {
    KmzColourScope scope;
    scope.channelCount = 6;
    scope.rows = {Row(0, "Speed [km/h]", 0, 0), Row(2, "Level [dBm]", 0, 1), Row(3, "BER", 1, 1),
                  Row(4, "Offset [Hz]", 2, 0), Row(5, "Sync", 3, 0)};
    return scope;
}

void SetTexts(KmzColourView& view, int channel, T texts) {
    view.setCellText(channel, kKmzColBad, texts[0]);
    view.setCellText(channel, kKmzColAverage, texts[1]);
    view.setCellText(channel, kKmzColGood, texts[2]);
}

void SetValid(KmzColourView& view) {
    SetTexts(view, 0, {"80", "40", "0"});
    SetTexts(view, 2, {"-70.04", "-55", "-40"});
    SetTexts(view, 3, {"1e-1", "0.05", "0"});
    SetTexts(view, 4, {"-9", "5", "1"});
    SetTexts(view, 5, {"x", "y", "z"});
}

TEST(KmzValidation, AcceptedScalesAreWrittenBackAndStored) {
    KmzColourScope scope = ValidationScope();
    KmzColourMemoryView view;
    SetValid(view);
    std::vector<KmzAnchors> table;
    ASSERT_TRUE(validateColourScales(scope, view, table));
    EXPECT_EQ(view.lastMessage, "");
    EXPECT_EQ(Texts(view, 0), (T{"80.0", "40.0", "0.0"}));  // speed always shows one decimal
    EXPECT_EQ(Texts(view, 2), (T{"-70.0", "-55.0", "-40.0"}));
    EXPECT_EQ(Texts(view, 3), (T{"0.1", "0.1", "0.0"}));  // checked on the numbers, not the rounded texts
    EXPECT_EQ(view.cellText(5, kKmzColBad), "0");
    EXPECT_EQ(view.cellText(5, kKmzColGood), "1");
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(table[0], (KmzAnchors{80, 40, 0}));
    EXPECT_EQ(table[1], (KmzAnchors{}));  // not selected
    EXPECT_EQ(table[2], (KmzAnchors{-70.04, -55, -40}));
    EXPECT_EQ(table[4], (KmzAnchors{-9, 5, 1}));
    EXPECT_EQ(table[5], (KmzAnchors{0, 0.5, 1}));
}

TEST(KmzValidation, EveryMessage) {
    struct Case {
        int channel;
        T texts;
        std::string message;
    };
    const Case cases[] = {
        {0, {"0", "40", "80"}, "Invalid color assignment for 'Speed'.\nPlease make sure, that Bad > Average > Good."},
        {2, {"-40", "-55", "-70"},
         "Invalid color assignment for 'Level [dBm]'.\nPlease make sure, that Bad < Average < Good."},
        {2, {"-70", "-70", "-40"},
         "Invalid color assignment for 'Level [dBm]'.\nPlease make sure, that Bad < Average < Good."},
        {3, {"0", "0.05", "0.1"}, "Invalid color assignment for 'BER'.\nPlease make sure, that Bad > Average > Good."},
        {4, {"1", "-5", "9"},
         "Invalid color assignment for 'Offset [Hz]'.\nPlease make sure, that |Bad| > |Average| > |Good|."},
        {4, {"-5", "5", "1"},
         "Invalid color assignment for 'Offset [Hz]'.\nPlease make sure, that |Bad| > |Average| > |Good|."},
        {2, {"abc", "", "-40"},  // text that is not a number reads as 0
         "Invalid color assignment for 'Level [dBm]'.\nPlease make sure, that Bad < Average < Good."},
    };
    for (const Case& c : cases) {
        KmzColourMemoryView view;
        SetValid(view);
        SetTexts(view, c.channel, c.texts);
        std::vector<KmzAnchors> table = {{1, 2, 3}};
        EXPECT_FALSE(validateColourScales(ValidationScope(), view, table)) << c.message;
        EXPECT_EQ(view.lastMessage, c.message);
        EXPECT_EQ(table.size(), 1u);  // untouched on failure
    }
}

TEST(KmzValidation, ColoursMustDiffer) {
    const KmzColourSet sets[] = {{kKmzRed, kKmzRed, kKmzGreen}, {kKmzRed, kKmzGreen, kKmzGreen},
                                 {kKmzCyan, kKmzYellow, kKmzCyan}};
    for (const KmzColourSet& s : sets) {
        KmzColourMemoryView view;
        SetValid(view);
        view.setColours(s);
        std::vector<KmzAnchors> table;
        EXPECT_FALSE(validateColourScales(ValidationScope(), view, table));
        EXPECT_EQ(view.lastMessage, "Please assign unique colors for bad, average and good values.");
        EXPECT_EQ(view.cellText(0, kKmzColBad), "80");  // stopped before the rows
    }
}

TEST(KmzValidation, NumbersUseTheCLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    KmzColourMemoryView view;
    SetValid(view);
    SetTexts(view, 2, {"-70.25", "-55.5", "-40"});
    std::vector<KmzAnchors> table;
    const bool ok = validateColourScales(ValidationScope(), view, table);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_TRUE(ok);
    EXPECT_EQ(table[2].bad, -70.25);
    EXPECT_EQ(view.cellText(2, kKmzColAverage), "-55.5");
    EXPECT_EQ(view.cellText(5, kKmzColAverage), "y");
}

}  // namespace
