// Content checks of the compiled-in analyzer catalogue: list sizes per
// standard, the invariants every table must keep, and the texts the
// documentation gives by example. They catch transcription slips without
// restating the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/receiverinfo.h"
#include "platform/text.h"

namespace {

class CatalogueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ReceiverInfo_Init(); }
};

const AnalyzerFamily& Family(const char* modelName) {
    int index = ReceiverInfo_FindFamilyByName(modelName);
    EXPECT_GT(index, 0) << modelName;
    return ReceiverInfo_Families().at(static_cast<std::size_t>(index - 1));
}

const BroadcastStandard& Standard(const char* modelName, const char* standardName) {
    const BroadcastStandard* standard = ReceiverInfo_FindStandard(Family(modelName), standardName);
    EXPECT_NE(standard, nullptr) << modelName << " / " << standardName;
    static const BroadcastStandard empty{};
    return standard ? *standard : empty;
}

std::string Str(std::string_view text) { return std::string(text); }

// Every text field of a family, with a path for failure messages.
struct TextField {
    std::string path;
    std::string_view text;
};

template <std::size_t N>
void Add(std::vector<TextField>& out, const std::string& path, const char (&field)[N]) {
    out.push_back({path, Text_View(field)});
}

std::vector<TextField> AllTexts(const AnalyzerFamily& f) {
    std::vector<TextField> t;
    std::string p = Str(Text_View(f.modelName));
    Add(t, p + ".modelName", f.modelName);
    Add(t, p + ".modelLetter", f.modelLetter);
    Add(t, p + ".minFirmware", f.minFirmware);
    for (const RequiredOption& o : f.familyOptions) {
        Add(t, p + ".familyOption", o.description);
        Add(t, p + ".familyOption", o.optionCode);
    }
    for (const GpsReceiverChoice& g : f.gpsReceivers) {
        Add(t, p + ".gps", g.name);
        for (const GpsSetupStep& s : g.setupSteps) {
            Add(t, p + ".gps.step", s.description);
            Add(t, p + ".gps.step", s.header);
            Add(t, p + ".gps.step", s.value);
        }
        for (const GpsInputParameter& i : g.inputs) {
            Add(t, p + ".gps.input", i.description);
            Add(t, p + ".gps.input", i.header);
            Add(t, p + ".gps.input", i.help);
        }
    }
    for (const auto* field : {&f.gpsConnectedQuery, &f.gpsEnableCommand, &f.gpsValidQuery, &f.longitudeQuery,
                              &f.latitudeQuery, &f.speedQuery, &f.transducerDirCommand, &f.transducerListQuery,
                              &f.optionsQuery, &f.validDataCommand, &f.validDataAnswer, &f.errorQuery,
                              &f.errorUndefinedHeader, &f.errorFileNotFound, &f.refLevelQuery, &f.attChangeQuery,
                              &f.attChangeReset, &f.berResetCommand, &f.localCommand, &f.frequencyHeader,
                              &f.transducerSelectHeader, &f.transducerStateHeader})
        Add(t, p + ".command", *field);
    for (const auto* units : {&f.levelUnits, &f.inputImpedances})
        for (const UnitChoice& u : *units) {
            Add(t, p + ".unit", u.label);
            Add(t, p + ".unit", u.header);
            Add(t, p + ".unit", u.value);
        }
    for (const BroadcastStandard& s : f.standards) {
        std::string q = p + "/" + Str(Text_View(s.name));
        Add(t, q + ".name", s.name);
        Add(t, q + ".code", s.code);
        Add(t, q + ".syncQuery", s.syncQuery);
        Add(t, q + ".syncAnswer", s.syncAnswer);
        for (const RequiredOption& o : s.requiredOptions) {
            Add(t, q + ".option", o.description);
            Add(t, q + ".option", o.optionCode);
        }
        for (const MeasurementMode& m : s.modes) {
            Add(t, q + ".mode", m.description);
            Add(t, q + ".mode", m.header);
            Add(t, q + ".mode", m.value);
        }
        for (const SetupStep& st : s.setupSteps) {
            std::string r = q + ".step " + Str(Text_View(st.description));
            for (const auto* field : {&st.description, &st.header, &st.value, &st.expectedAnswer,
                                      &st.requiredOption, &st.requiredOption2})
                Add(t, r, *field);
        }
        for (const StandardParameter& pa : s.parameters) {
            std::string r = q + ".parameter " + Str(Text_View(pa.columnTitle));
            Add(t, r, pa.columnTitle);
            Add(t, r, pa.header);
            Add(t, r, pa.help);
            for (const ParameterChoice& c : pa.choices) {
                Add(t, r + ".choice", c.label);
                Add(t, r + ".choice", c.value);
            }
        }
        for (const MeasurementValue& v : s.values) {
            std::string r = q + ".value " + Str(Text_View(v.name));
            for (const auto* field : {&v.group, &v.name, &v.longName, &v.spare, &v.query, &v.minFirmware})
                Add(t, r, *field);
        }
        for (const MeasurementGraph& g : s.graphs) {
            std::string r = q + ".graph " + Str(Text_View(g.name));
            for (const auto* field : {&g.group, &g.name, &g.longName, &g.spare, &g.xLabel, &g.xMin, &g.xMax,
                                      &g.yLabel, &g.yMin, &g.yMax, &g.query, &g.minFirmware})
                Add(t, r, *field);
        }
        for (const StandardInfoItem& i : s.infoItems) {
            std::string r = q + ".info " + Str(Text_View(i.name));
            for (const auto* field : {&i.group, &i.name, &i.longName, &i.spare, &i.query, &i.minFirmware})
                Add(t, r, *field);
        }
    }
    return t;
}

// ---------------------------------------------------------------- list sizes

struct Sizes {
    const char* family;
    const char* standard;
    std::size_t options, modes, steps, parameters, values, graphs, infoItems;
};

// Counted row by row from the analyzer documentation.
const Sizes kSizes[] = {
    {"Alvra", "Analog TV", 1, 1, 9, 2, 4, 0, 0},
    {"Alvra", "ATSC", 2, 2, 25, 4, 7, 1, 0},
    {"Alvra", "ATSC Mobile DTV", 3, 2, 26, 5, 20, 1, 0},
    {"Alvra", "DAB", 2, 2, 23, 2, 8, 1, 2},
    {"Alvra", "T-DMB", 2, 2, 23, 2, 8, 1, 2},
    {"Alvra", "DTMB SC", 2, 1, 14, 2, 5, 0, 2},
    {"Alvra", "DTMB TDS-OFDM", 2, 3, 23, 3, 6, 1, 2},
    {"Alvra", "DVB-T / DVB-H", 2, 2, 26, 3, 8, 1, 12},
    {"Alvra", "DVB-T2", 3, 2, 27, 4, 9, 2, 21},
    {"Alvra", "FM Radio Mono", 2, 1, 11, 1, 3, 0, 0},
    {"Alvra", "FM Radio Stereo", 2, 1, 11, 1, 4, 0, 0},
    {"Alvra", "FM Radio Stereo & RDS", 2, 1, 11, 1, 5, 0, 0},
    {"Alvra", "ISDB-T", 2, 2, 25, 3, 28, 1, 20},
    {"Alvra", "DTMB FW16", 3, 2, 27, 6, 8, 1, 3},
    {"Belko", "DVB-T / DVB-H", 2, 2, 21, 2, 7, 1, 14},
    {"Belko", "ISDB-T", 2, 2, 22, 1, 17, 1, 20},
    {"Cendra", "DVB-T / DVB-H", 2, 2, 21, 2, 7, 1, 14},
    {"Cendra", "ISDB-T", 2, 2, 22, 1, 17, 1, 20},
    {"Cendra", "DVB-T2", 3, 2, 23, 3, 11, 1, 21},
};

// The families and their standards in catalogue order, each found by its name
// (the basic-settings page offers the Alvra names), with the documented sizes.
TEST_F(CatalogueTest, EveryStandardInOrderWithItsDocumentedListSizes) {
    const auto& families = ReceiverInfo_Families();
    ASSERT_EQ(families.size(), 3u);
    std::vector<std::pair<std::string, std::string>> order;
    for (const AnalyzerFamily& f : families)
        for (const BroadcastStandard& s : f.standards) order.emplace_back(f.modelName, s.name);
    ASSERT_EQ(order.size(), std::size(kSizes)) << "a standard was added or lost";

    for (std::size_t i = 0; i < order.size(); ++i) {
        const Sizes& e = kSizes[i];
        SCOPED_TRACE(std::string(e.family) + " / " + e.standard);
        EXPECT_EQ(order[i].first, e.family) << i;
        EXPECT_EQ(order[i].second, e.standard) << i;
        const BroadcastStandard& s = Standard(e.family, e.standard);
        EXPECT_EQ(s.requiredOptions.size(), e.options);
        EXPECT_EQ(s.modes.size(), e.modes);
        EXPECT_EQ(s.setupSteps.size(), e.steps);
        EXPECT_EQ(s.parameters.size(), e.parameters);
        EXPECT_EQ(s.values.size(), e.values);
        EXPECT_EQ(s.graphs.size(), e.graphs);
        EXPECT_EQ(s.infoItems.size(), e.infoItems);
    }
}

// ---------------------------------------------------------------- invariants

TEST_F(CatalogueTest, NoCompiledInTextWasCut) {
    EXPECT_EQ(ReceiverInfo_CutTexts(), 0);
}

TEST_F(CatalogueTest, TextsAreLatin1WithTheMicroSignAsOneByte) {
    for (const AnalyzerFamily& f : ReceiverInfo_Families()) {
        for (const TextField& t : AllTexts(f)) {
            // 0xC2 0xB5 would be a micro sign typed as UTF-8.
            EXPECT_EQ(t.text.find('\xC2'), std::string_view::npos) << t.path;
            for (unsigned char c : t.text) EXPECT_TRUE(c >= ' ' || c == '\n') << t.path << ": control byte";
        }
        std::vector<std::string> labels;
        for (const UnitChoice& u : f.levelUnits) labels.push_back(u.label);
        EXPECT_EQ(labels, (std::vector<std::string>{"dBm", "dBmV", "dB\xB5V", "V", "W", "dB\xB5V/m"})) << f.modelName;
        for (const BroadcastStandard& s : f.standards)
            for (const MeasurementGraph& g : s.graphs) {
                EXPECT_EQ(Str(Text_View(g.xLabel)), "Time [\xB5s]") << f.modelName << " / " << s.name;
                EXPECT_EQ(std::strlen(g.xLabel), 9u);
            }
    }
}

TEST_F(CatalogueTest, LevelIsTheFirstValueAndSyncTheSecond) {
    for (const AnalyzerFamily& f : ReceiverInfo_Families())
        for (const BroadcastStandard& s : f.standards) {
            SCOPED_TRACE(std::string(f.modelName) + " / " + s.name);
            ASSERT_GE(s.values.size(), 2u);
            EXPECT_STREQ(s.values[0].name, "Level");
            EXPECT_EQ(s.values[0].queryGroup, -1) << "the level needs no synchronisation";
            EXPECT_EQ(s.values[0].displayKind, kHigherIsBetter);

            bool hasSync = std::strcmp(s.name, "FM Radio Mono") != 0;
            EXPECT_EQ(hasSync, s.syncHold > 0) << "syncHold 0 is what skips the wait for sync";
            EXPECT_EQ(hasSync, s.syncQuery[0] != '\0');
            int syncRows = 0;
            for (const MeasurementValue& v : s.values)
                if (std::strcmp(v.name, "Sync") == 0) ++syncRows;
            EXPECT_EQ(syncRows, hasSync ? 1 : 0);
            if (hasSync) {
                EXPECT_STREQ(s.values[1].name, "Sync");
                EXPECT_STREQ(s.values[1].query, s.syncQuery);
                EXPECT_EQ(s.values[1].displayKind, kSyncState);
                EXPECT_EQ(s.values[1].queryGroup, 0);
            }
        }
}

TEST_F(CatalogueTest, EveryCommandAndQueryIsFilledIn) {
    for (const AnalyzerFamily& f : ReceiverInfo_Families())
        for (const BroadcastStandard& s : f.standards) {
            SCOPED_TRACE(std::string(f.modelName) + " / " + s.name);
            EXPECT_EQ(std::strlen(s.code), 1u);
            EXPECT_GT(s.validDataHold, 0);
            EXPECT_GE(s.settleTimeout, s.validDataHold);
            for (const MeasurementMode& m : s.modes) {
                EXPECT_NE(m.header[0], '\0') << m.description;
                EXPECT_NE(m.value[0], '\0') << m.description;
                EXPECT_EQ(m.validDataHold, 1.0);
                EXPECT_EQ(m.settleTimeout, 3.0);
            }
            for (const SetupStep& st : s.setupSteps) {
                EXPECT_NE(st.description[0], '\0');
                EXPECT_NE(st.header[0], '\0') << st.description;
                EXPECT_NE(st.value[0], '\0') << st.description;
                EXPECT_GE(st.settleTime, 0.0) << st.description;
            }
            for (const MeasurementValue& v : s.values) {
                EXPECT_NE(v.query[0], '\0') << v.name;
                EXPECT_NE(v.group[0], '\0') << v.name;
                EXPECT_EQ(std::strncmp(v.group, "Values", 6), 0) << v.group;
                EXPECT_EQ(v.spare[0], '\0');
                EXPECT_TRUE(v.modeIndex == -1 || (v.modeIndex >= 1 && v.modeIndex <= (int)s.modes.size()))
                    << v.name;
                EXPECT_TRUE(v.displayKind == 0 || v.displayKind == 1 || v.displayKind == 3) << v.name;
                EXPECT_GT(v.scale, 0.0) << v.name;
            }
            for (const MeasurementGraph& g : s.graphs) {
                EXPECT_NE(g.query[0], '\0') << g.name;
                EXPECT_EQ(g.points, 501);
                EXPECT_TRUE(g.modeIndex >= 1 && g.modeIndex <= (int)s.modes.size()) << g.name;
                EXPECT_TRUE(g.transferKind >= 1 && g.transferKind <= 4) << g.name;
            }
            for (const StandardInfoItem& i : s.infoItems) {
                EXPECT_NE(i.query[0], '\0') << i.name;
                EXPECT_EQ(i.queryGroup, -1) << i.name;
                EXPECT_EQ(std::strncmp(i.group, "Parameters", 10), 0) << i.group;
                // One read-out keeps a long answer: the reserved TPS bits of Belko and Cendra.
                if (i.width != 10) {
                    EXPECT_EQ(i.width, 40) << i.name;
                    EXPECT_STREQ(i.name, "Reserved");
                    EXPECT_STREQ(i.group, "Parameters|TPS");
                }
            }
        }
}

TEST_F(CatalogueTest, StandardCodesAreUniqueWithinAFamily) {
    for (const AnalyzerFamily& f : ReceiverInfo_Families()) {
        std::set<std::string> codes, names;
        for (const BroadcastStandard& s : f.standards) {
            EXPECT_TRUE(codes.insert(s.code).second) << f.modelName << " code " << s.code;
            EXPECT_TRUE(names.insert(s.name).second) << f.modelName << " name " << s.name;
        }
    }
    std::set<std::string> letters;
    for (const AnalyzerFamily& f : ReceiverInfo_Families()) EXPECT_TRUE(letters.insert(f.modelLetter).second);
}

TEST_F(CatalogueTest, ParametersAreWellFormed) {
    // A title carries the same help text wherever it appears; the sync columns share one.
    std::map<std::string, std::string> helpByTitle;
    for (const AnalyzerFamily& f : ReceiverInfo_Families())
        for (const BroadcastStandard& s : f.standards)
            for (const StandardParameter& p : s.parameters) {
                SCOPED_TRACE(std::string(f.modelName) + " / " + s.name + " / " + p.columnTitle);
                EXPECT_GT(p.columnWidth, 0);
                EXPECT_NE(p.header[0], '\0');
                if (p.kind == kParameterSelection) {
                    EXPECT_GE(p.choices.size(), 2u);
                    EXPECT_EQ(p.defaultValue, 0);
                    std::set<std::string> labels;
                    for (const ParameterChoice& c : p.choices) {
                        EXPECT_NE(c.label[0], '\0');
                        EXPECT_NE(c.value[0], '\0');
                        EXPECT_TRUE(labels.insert(c.label).second) << c.label;
                    }
                } else {
                    ASSERT_EQ(p.kind, kParameterNumber);
                    EXPECT_TRUE(p.choices.empty());
                    EXPECT_LT(p.minimum, p.maximum);
                    EXPECT_GE(p.defaultValue, p.minimum);
                    EXPECT_LE(p.defaultValue, p.maximum);
                }
                EXPECT_EQ(p.adjacentFlag == 1, std::strcmp(p.header, "INP:ATT:DRIV:HYST") == 0);
                std::string title = p.columnTitle;
                if (title == "FIC Sync" || title == "MPEG Sync") title = "FEC Sync";
                auto [it, added] = helpByTitle.emplace(title, p.help);
                EXPECT_EQ(it->second, p.help) << "help differs from an earlier " << title;
                if (title == "Adjacent channels" || title == "FEC Sync" || title == "Bandwidth [MHz]" ||
                    title == "Layer Sync" || title == "PLP ID" || title == "Parade ID") {
                    EXPECT_NE(p.help[0], '\0');
                }
            }
    EXPECT_NE(helpByTitle["Adjacent channels"].find("\nIf no adjacent channel"), std::string::npos);
    EXPECT_NE(helpByTitle["FEC Sync"].find("\n\n[Not required]\n"), std::string::npos);
}

// The analyzer takes "B" and the bandwidth label; an option code such as
// "HW05" in that place was refused and the measurement re-initialised for ever.
TEST_F(CatalogueTest, FmBandwidthChoicesSendBAndTheirLabel) {
    int fmStandards = 0;
    for (const BroadcastStandard& s : Family("Alvra").standards) {
        if (std::strncmp(s.name, "FM Radio", 8) != 0) continue;
        ++fmStandards;
        ASSERT_EQ(s.parameters.size(), 1u);
        const StandardParameter& bandwidth = s.parameters[0];
        EXPECT_STREQ(bandwidth.columnTitle, "Bandwidth [kHz]");
        for (const ParameterChoice& c : bandwidth.choices)
            EXPECT_EQ(std::string("B") + c.label, c.value) << s.name;
        bool found300 = false;
        for (const ParameterChoice& c : bandwidth.choices)
            if (std::strcmp(c.label, "300") == 0) {
                found300 = true;
                EXPECT_STREQ(c.value, "B300");
            }
        EXPECT_TRUE(found300) << s.name;
    }
    EXPECT_EQ(fmStandards, 3);
}

TEST_F(CatalogueTest, StepsWithDocumentedReadBacksAndOptions) {
    // "Preamplifier: Auto" sends ON and reads back 1 in every Alvra standard.
    for (const BroadcastStandard& s : Family("Alvra").standards) {
        int preamps = 0;
        for (const SetupStep& st : s.setupSteps)
            if (std::strcmp(st.description, "Preamplifier: Auto") == 0) {
                ++preamps;
                EXPECT_STREQ(st.value, "ON") << s.name;
                EXPECT_STREQ(st.expectedAnswer, "1") << s.name;
            }
        EXPECT_EQ(preamps, 1) << s.name;
    }
    // The ATSC legacy switch needs both options.
    const BroadcastStandard& atsc = Standard("Alvra", "ATSC");
    ASSERT_GE(atsc.setupSteps.size(), 4u);
    EXPECT_STREQ(atsc.setupSteps[3].description, "ATSC legacy mode on");
    EXPECT_STREQ(atsc.setupSteps[3].requiredOption, "HW05/HW06");
    EXPECT_STREQ(atsc.setupSteps[3].requiredOption2, "FW13");

    // Belko and Cendra steps carry no read-back, settle time or option.
    for (const char* name : {"Belko", "Cendra"})
        for (const BroadcastStandard& s : Family(name).standards)
            for (const SetupStep& st : s.setupSteps) {
                EXPECT_EQ(st.expectedAnswer[0], '\0') << name << " " << st.description;
                EXPECT_EQ(st.settleTime, 0.0) << name << " " << st.description;
                EXPECT_EQ(st.requiredOption[0], '\0') << name << " " << st.description;
                EXPECT_EQ(st.requiredOption2[0], '\0') << name << " " << st.description;
            }
}

// ---------------------------------------------------------------- derived tables

std::vector<std::string> StepTexts(const BroadcastStandard& s) {
    std::vector<std::string> out;
    for (const SetupStep& st : s.setupSteps)
        out.push_back(std::string(st.description) + " | " + st.header + " | " + st.value);
    return out;
}

TEST_F(CatalogueTest, BelkoSequencesDeriveFromDvbt) {
    std::vector<std::string> expected = StepTexts(Standard("Belko", "DVB-T / DVB-H"));
    ASSERT_EQ(expected.size(), 21u);
    EXPECT_EQ(expected[2], "DVB-T mode | SET:TV:STAN | DVBT");

    // ISDB-T: its own standard, and the FFT window after the trace format.
    expected[2] = "ISDB-T mode | SET:TV:STAN | ISDB";
    auto trace = std::find(expected.begin(), expected.end(), "Trace format | FORM | REAL");
    ASSERT_NE(trace, expected.end());
    expected.insert(trace + 1, "FFT window position: Auto | DDEM:FFT:WPOS | AUTO");
    EXPECT_EQ(StepTexts(Standard("Belko", "ISDB-T")), expected);
    EXPECT_EQ(StepTexts(Standard("Cendra", "ISDB-T")), expected);

    // Cendra DVB-T2: the ISDB-T sequence with its own standard and a manual PLP at the end.
    expected[2] = "DVB-T2 mode | SET:TV:STAN | DVBT2";
    ASSERT_EQ(expected.back(), "Channel adaption: Fast | DDEM:SOPT | FAST");
    expected.push_back("PLP selection mode: Manual | DDEM:DECP:MODE | MAN");
    EXPECT_EQ(StepTexts(Standard("Cendra", "DVB-T2")), expected);
}

// Cendra measures DVB-T / DVB-H and ISDB-T with Belko's tables; only the
// firmware minimum of the measurements differs.
TEST_F(CatalogueTest, CendraSharesBelkoTablesWithItsOwnFirmwareMinimum) {
    for (const char* name : {"DVB-T / DVB-H", "ISDB-T"}) {
        SCOPED_TRACE(name);
        const BroadcastStandard& belko = Standard("Belko", name);
        const BroadcastStandard& cendra = Standard("Cendra", name);
        EXPECT_EQ(StepTexts(belko), StepTexts(cendra));
        ASSERT_EQ(belko.values.size(), cendra.values.size());
        for (std::size_t i = 0; i < belko.values.size(); ++i) {
            EXPECT_STREQ(belko.values[i].longName, cendra.values[i].longName);
            EXPECT_STREQ(belko.values[i].query, cendra.values[i].query);
            EXPECT_STREQ(belko.values[i].minFirmware, "4.10");
            EXPECT_STREQ(cendra.values[i].minFirmware, "1.10");
        }
        ASSERT_EQ(belko.infoItems.size(), cendra.infoItems.size());
        for (std::size_t i = 0; i < belko.infoItems.size(); ++i) {
            EXPECT_STREQ(belko.infoItems[i].query, cendra.infoItems[i].query);
            EXPECT_STREQ(belko.infoItems[i].minFirmware, "4.10");
            EXPECT_STREQ(cendra.infoItems[i].minFirmware, "1.10");
        }
        for (const MeasurementGraph& g : belko.graphs) EXPECT_STREQ(g.minFirmware, "4.10");
        for (const MeasurementGraph& g : cendra.graphs) EXPECT_STREQ(g.minFirmware, "1.10");
    }
    for (const MeasurementValue& v : Standard("Cendra", "DVB-T2").values) EXPECT_STREQ(v.minFirmware, "1.00");
}

// Long names of values and read-outs as the documentation gives them.
TEST_F(CatalogueTest, LongNamesFollowTheDocumentedExamples) {
    struct Case {
        const char* family;
        const char* standard;
        const char* group;
        const char* name;
        const char* longName;
    };
    const Case cases[] = {
        {"Alvra", "DVB-T / DVB-H", "Values", "Level", "Level"},
        {"Alvra", "DVB-T / DVB-H", "Values|MER", "RMS [dB]", "MER RMS [dB]"},
        {"Alvra", "DVB-T / DVB-H", "Values|BER", "before Reed Solomon [10-6]", "BER before Reed Solomon [10-6]"},
        {"Alvra", "DVB-T / DVB-H", "Values", "PER [10-6]", "PER [10-6]"},
        {"Alvra", "DVB-T / DVB-H", "Parameters", "Sideband", "Sideband"},
        {"Alvra", "DVB-T / DVB-H", "Parameters|TPS", "Cell ID", "TPS Cell ID"},
        {"Alvra", "ISDB-T", "Parameters|TMCC|Coderate", "Layer A", "Layer A TMCC Coderate"},
        {"Alvra", "ISDB-T", "Values|PER [10-6]", "Layer B", "Layer B PER [10-6]"},
        {"Belko", "DVB-T / DVB-H", "Values|MER", "Peak [dB]", "MER Peak [dB]"},
        {"Belko", "ISDB-T", "Values|BER|before Viterbi", "Layer A [10-6]", "Layer A BER before Viterbi [10-6]"},
        {"Belko", "ISDB-T", "Values|MER RMS", "Overall [dB]", "Overall MER RMS [dB]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.family) + " / " + c.standard + " / " + c.group + " / " + c.name);
        const BroadcastStandard& s = Standard(c.family, c.standard);
        int found = 0;
        for (const MeasurementValue& v : s.values)
            if (!std::strcmp(v.group, c.group) && !std::strcmp(v.name, c.name)) {
                ++found;
                EXPECT_STREQ(v.longName, c.longName);
            }
        for (const StandardInfoItem& i : s.infoItems)
            if (!std::strcmp(i.group, c.group) && !std::strcmp(i.name, c.name)) {
                ++found;
                EXPECT_STREQ(i.longName, c.longName);
            }
        EXPECT_EQ(found, 1);
    }
    // Within a standard, long names tell the rows apart.
    for (const AnalyzerFamily& f : ReceiverInfo_Families())
        for (const BroadcastStandard& s : f.standards) {
            std::set<std::string> values, items;
            for (const MeasurementValue& v : s.values) EXPECT_TRUE(values.insert(v.longName).second) << v.longName;
            for (const StandardInfoItem& i : s.infoItems)
                EXPECT_TRUE(items.insert(i.longName).second) << i.longName;
        }
}

}  // namespace
