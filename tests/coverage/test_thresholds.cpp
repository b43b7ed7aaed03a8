// Planning thresholds as typed, matched to channels and brought into the
// unit the channel's values are stored in.
#include <gtest/gtest.h>

#include "coverage/thresholds.h"
#include "export/kmz/levelconfig.h"

namespace {

TEST(Thresholds, TypedThresholdsAreRead) {
    struct Case {
        const char* text;
        bool ok;
        const char* channel;
        double value;
        const char* unit;
    };
    const Case cases[] = {
        {"Level=56 dB\xC2\xB5V/m", true, "Level", 56, "dB\xB5V/m"},  // UTF-8 micro sign
        {"BER before Reed Solomon=2e-4", true, "BER before Reed Solomon", 2e-4, ""},
        {" MER RMS [dB] = 24.5 [dB] ", true, "MER RMS [dB]", 24.5, "dB"},
        {"Level=", false, "", 0, ""},
        {"=56", false, "", 0, ""},
        {"Level 56", false, "", 0, ""},
        {"Level=abc dBm", false, "", 0, ""},
        {"Level=nan", false, "", 0, ""},
    };
    for (const Case& c : cases) {
        ThresholdEntry entry;
        std::string error;
        EXPECT_EQ(c.ok, Threshold_Parse(c.text, entry, error)) << c.text;
        if (!c.ok) {
            EXPECT_NE(std::string::npos, error.find("CHANNEL=VALUE")) << error;
            continue;
        }
        EXPECT_EQ(c.channel, entry.channel);
        EXPECT_DOUBLE_EQ(c.value, entry.value);
        EXPECT_EQ(c.unit, entry.unit);
    }
}

TEST(Thresholds, ChannelsAreNamedWithOrWithoutTheirUnit) {
    EXPECT_TRUE(Threshold_Names("Level", "Level [dB\xB5V/m]"));
    EXPECT_TRUE(Threshold_Names("level [dbuv/m]", "Level [dB\xB5V/m]"));
    EXPECT_TRUE(Threshold_Names("BER before Reed Solomon", "BER before Reed Solomon [10-6]"));
    EXPECT_FALSE(Threshold_Names("BER", "BER before Reed Solomon [10-6]"));
    EXPECT_FALSE(Threshold_Names("Level", "Layer A Level [dBm]x"));
    EXPECT_EQ("10-6", Threshold_UnitOf("PER [10-6]"));
    EXPECT_EQ("", Threshold_UnitOf("Sync"));
}

TEST(Thresholds, ValuesComeInTheChannelsUnit) {
    struct Case {
        const char* text;
        const char* channel;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"B=2e-4", "BER before Reed Solomon [10-6]", true, 200},  // a plain ratio
        {"B=150 10-6", "BER before Reed Solomon [10-6]", true, 150},
        {"B=150 x10-6", "BER before Reed Solomon [10-6]", true, 150},
        {"B=150 10-3", "BER before Reed Solomon [10-6]", false, 0},
        {"M=24 dB", "MER RMS [dB]", true, 24},
        {"M=24 dBm", "MER RMS [dB]", false, 0},
        {"S=1", "Sync", true, 1},
        {"S=1 dB", "Sync", false, 0},
    };
    for (const Case& c : cases) {
        ThresholdEntry entry;
        std::string error;
        ASSERT_TRUE(Threshold_Parse(c.text, entry, error));
        double v = -1;
        EXPECT_EQ(c.ok, Threshold_ToChannelUnit(entry, c.channel, v, error)) << c.text;
        if (c.ok) EXPECT_NEAR(c.value, v, 1e-9) << c.text;
        else EXPECT_NE(std::string::npos, error.find(c.text)) << error;
    }
}

// What the desktop's threshold cells show for a stored threshold: typed back
// unchanged, it must mean the same value again.
TEST(Thresholds, StoredThresholdsAreShownAsTheyAreTyped) {
    struct Case {
        const char* channel;
        double stored;
        const char* unit;
        const char* typed;
    };
    const Case cases[] = {
        {"BER before Reed Solomon [10-6]", 200, "ratio", "0.0002"},
        {"PER [10-6]", 0.1, "ratio", "1e-07"},
        {"MER RMS [dB]", 24.5, "dB", "24.5"},
        {"MER RMS [dB]", 1.0 / 3.0, "dB", "0.3333333333333333"},  // the digits it takes to read back
        {"Sync", 1, "", "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.unit, Threshold_BareUnit(c.channel)) << c.channel;
        EXPECT_EQ(c.typed, Threshold_TypedValue(c.stored, c.channel)) << c.channel;
        ThresholdEntry entry;
        std::string error;
        ASSERT_TRUE(Threshold_Parse(std::string("X=") + c.typed, entry, error)) << error;
        double back = -1;
        ASSERT_TRUE(Threshold_ToChannelUnit(entry, c.channel, back, error)) << error;
        EXPECT_NEAR(c.stored, back, 1e-15 * c.stored) << c.channel;
    }
    EXPECT_EQ("BER before Reed Solomon", Threshold_BareName("BER before Reed Solomon [10-6]"));
    EXPECT_EQ("Sync", Threshold_BareName("Sync"));
}

TEST(Thresholds, LevelsConvertWithTheLevelConfigurationsRules) {
    struct Case {
        const char* text;
        int common;
        std::vector<LevelFacts> files;
        bool ok;
        double value;
    };
    const std::vector<LevelFacts> fifty = {{50.0, 12.0}}, seventyFive = {{75.0, 12.0}};
    const Case cases[] = {
        {"L=56", kKmzUnitDbm, fifty, true, 56},                       // the conversion's unit
        {"L=56 dBuV/m", kKmzUnitFieldStrength, fifty, true, 56},
        {"L=56 dBuV/m", kKmzUnitDbuV, fifty, true, 44},               // minus the K-factor
        {"L=56 dBuV/m", kKmzUnitDbm, fifty, true, 56 - 12 - 106.98},
        {"L=56 dBuV/m", kKmzUnitDbm, seventyFive, true, 56 - 12 - 108.75},
        {"L=-60 dBm", kKmzUnitDbmV, fifty, true, -60 + 106.98 - 60},
        {"L=-60 dBm", kKmzUnitDbuV, {{50.0, 0.0}, {50.0, 9.0}}, true, 46.98},  // K-factors differ, not needed
        {"L=56 dBuV/m", kKmzUnitDbuV, {{50.0, 10.0}, {50.0, 12.0}}, false, 0},
        {"L=-60 dBm", kKmzUnitDbuV, {{50.0, 0.0}, {75.0, 0.0}}, false, 0},
        {"L=3 V", kKmzUnitDbuV, fifty, false, 0},
        {"L=56 dBuV/m", kKmzUnitDbuV, {{50.0, 0.0, false}}, false, 0},  // no antenna: no K-factor to convert with
        {"L=-60 dBm", kKmzUnitDbuV, {{50.0, 0.0, false}}, true, 46.98},
    };
    for (const Case& c : cases) {
        ThresholdEntry entry;
        std::string error;
        ASSERT_TRUE(Threshold_Parse(c.text, entry, error));
        double v = 0;
        EXPECT_EQ(c.ok, Threshold_ToLevelUnit(entry, c.common, c.files, v, error)) << c.text;
        if (c.ok) EXPECT_NEAR(c.value, v, 1e-9) << c.text;
    }
}

TEST(Thresholds, DefaultsWhereTheFieldHasACommonValue) {
    const auto ber = Threshold_Default("DVB-T / DVB-H", "BER before Reed Solomon [10-6]", 1);
    ASSERT_TRUE(ber);
    EXPECT_DOUBLE_EQ(200.0, ber->value);
    const auto sync = Threshold_Default("DVB-T2", "PLP Sync", 3);
    ASSERT_TRUE(sync);
    EXPECT_DOUBLE_EQ(1.0, sync->value);
    EXPECT_FALSE(Threshold_Default("ATSC", "BER before Reed Solomon [10-6]", 1));  // another code
    EXPECT_FALSE(Threshold_Default("DVB-T / DVB-H", "Level [dB\xB5V]", 0));       // only the user knows
}

}  // namespace
