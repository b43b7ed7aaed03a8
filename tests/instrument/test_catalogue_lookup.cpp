// Look-ups, deep copies and the life cycle of the analyzer catalogue.
#include <gtest/gtest.h>

#include <cstring>

#include "instrument/receiverinfo.h"

namespace {

class CatalogueLookupTest : public ::testing::Test {
protected:
    void SetUp() override { ReceiverInfo_Init(); }
};

TEST_F(CatalogueLookupTest, MacPrefixesFindTheirFamily) {
    struct Case {
        int b0, b1, b2;
        const char* family;  // nullptr: no family
    };
    const Case cases[] = {
        {0, 192, 58, "Alvra"},   {0, 224, 51, "Alvra"},  {0, 144, 184, "Belko"}, {12, 96, 118, "Belko"},
        {0, 192, 27, "Cendra"},  {0, 192, 59, nullptr},  {58, 192, 0, nullptr},  {0, 0, 0, nullptr},
        {12, 96, 117, nullptr},  {-1, 192, 58, nullptr}, {256, 192, 58, nullptr},
    };
    for (const Case& c : cases) {
        int index = ReceiverInfo_FindFamilyByMac(c.b0, c.b1, c.b2);
        if (!c.family) {
            EXPECT_EQ(index, 0) << c.b0 << "," << c.b1 << "," << c.b2;
            continue;
        }
        ASSERT_GT(index, 0) << c.family;
        EXPECT_STREQ(ReceiverInfo_Families()[index - 1].modelName, c.family);
    }
}

TEST_F(CatalogueLookupTest, APrefixListedTwiceGoesToTheFirstFamily) {
    std::vector<AnalyzerFamily> families(3);
    families[0].macPrefixes = {{1, 2, 3}};
    families[1].macPrefixes = {{4, 5, 6}, {7, 8, 9}};
    families[2].macPrefixes = {{7, 8, 9}, {4, 5, 6}};
    EXPECT_EQ(ReceiverInfo_FindFamilyByMacIn(families, 7, 8, 9), 2);
    EXPECT_EQ(ReceiverInfo_FindFamilyByMacIn(families, 4, 5, 6), 2);
    EXPECT_EQ(ReceiverInfo_FindFamilyByMacIn(families, 1, 2, 3), 1);
    EXPECT_EQ(ReceiverInfo_FindFamilyByMacIn(families, 3, 2, 1), 0);
    EXPECT_EQ(ReceiverInfo_FindFamilyByMacIn({}, 1, 2, 3), 0);
}

TEST_F(CatalogueLookupTest, FamiliesAndStandardsByName) {
    EXPECT_EQ(ReceiverInfo_FindFamilyByName("Alvra"), 1);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName("Belko"), 2);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName("Cendra"), 3);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName("alvra"), 0);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName("Alvra "), 0);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName(""), 0);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName(nullptr), 0);

    const AnalyzerFamily& belko = ReceiverInfo_Families()[1];
    const BroadcastStandard* isdbt = ReceiverInfo_FindStandard(belko, "ISDB-T");
    ASSERT_NE(isdbt, nullptr);
    EXPECT_EQ(isdbt, &belko.standards[1]);
    EXPECT_EQ(ReceiverInfo_FindStandard(belko, "DVB-T2"), nullptr) << "Belko has no DVB-T2";
    EXPECT_EQ(ReceiverInfo_FindStandard(belko, "DVB-T"), nullptr) << "names match exactly";
    EXPECT_EQ(ReceiverInfo_FindStandard(belko, nullptr), nullptr);
}

// A slot edits or discards its copy; the catalogue must stay as it was.
TEST_F(CatalogueLookupTest, FamilyCopiesShareNothingWithTheCatalogue) {
    const AnalyzerFamily& original = ReceiverInfo_Families()[0];
    AnalyzerFamily copy;
    ReceiverInfo_CopyFamily(copy, original);

    ASSERT_EQ(copy.standards.size(), original.standards.size());
    EXPECT_NE(copy.macPrefixes.data(), original.macPrefixes.data());
    EXPECT_NE(copy.familyOptions.data(), original.familyOptions.data());
    EXPECT_NE(copy.levelUnits.data(), original.levelUnits.data());
    EXPECT_NE(copy.inputImpedances.data(), original.inputImpedances.data());
    EXPECT_NE(copy.standards.data(), original.standards.data());
    ASSERT_EQ(copy.gpsReceivers.size(), 3u);
    EXPECT_NE(copy.gpsReceivers[2].setupSteps.data(), original.gpsReceivers[2].setupSteps.data());
    EXPECT_NE(copy.gpsReceivers[2].inputs.data(), original.gpsReceivers[2].inputs.data());
    for (std::size_t i = 0; i < copy.standards.size(); ++i) {
        const BroadcastStandard& a = copy.standards[i];
        const BroadcastStandard& b = original.standards[i];
        EXPECT_NE(a.setupSteps.data(), b.setupSteps.data());
        EXPECT_NE(a.values.data(), b.values.data());
        EXPECT_NE(a.parameters.data(), b.parameters.data());
        for (std::size_t p = 0; p < a.parameters.size(); ++p)
            if (!a.parameters[p].choices.empty()) {
                EXPECT_NE(a.parameters[p].choices.data(), b.parameters[p].choices.data());
            }
    }

    std::strcpy(copy.modelName, "Edited");
    copy.macPrefixes[0].b2 = 99;
    copy.gpsReceivers[2].inputs[0].maximum = 99;
    BroadcastStandard& dvbt = copy.standards[7];
    std::strcpy(dvbt.setupSteps[0].value, "XXX");
    std::strcpy(dvbt.parameters[1].choices[0].value, "XXX");
    dvbt.values.clear();
    copy.standards.pop_back();

    EXPECT_STREQ(original.modelName, "Alvra");
    EXPECT_EQ(original.macPrefixes[0].b2, 58);
    EXPECT_EQ(original.gpsReceivers[2].inputs[0].maximum, 16);
    const BroadcastStandard& catalogueDvbt = original.standards[7];
    EXPECT_STREQ(catalogueDvbt.name, "DVB-T / DVB-H");
    EXPECT_STREQ(catalogueDvbt.setupSteps[0].value, "CATV");
    EXPECT_STREQ(catalogueDvbt.parameters[1].choices[0].value, "B8MHZ");
    EXPECT_EQ(catalogueDvbt.values.size(), 8u);
    EXPECT_EQ(original.standards.size(), 14u);
    EXPECT_EQ(ReceiverInfo_FindFamilyByMac(0, 192, 58), 1);
}

TEST_F(CatalogueLookupTest, StandardCopiesShareNothingWithTheCatalogue) {
    const BroadcastStandard& original = ReceiverInfo_Families()[2].standards[2];  // Cendra DVB-T2
    BroadcastStandard copy;
    ReceiverInfo_CopyStandard(copy, original);
    EXPECT_STREQ(copy.name, "DVB-T2");
    for (auto [a, b] : {std::pair{(const void*)copy.requiredOptions.data(), (const void*)original.requiredOptions.data()},
                        {copy.modes.data(), original.modes.data()},
                        {copy.setupSteps.data(), original.setupSteps.data()},
                        {copy.parameters.data(), original.parameters.data()},
                        {copy.values.data(), original.values.data()},
                        {copy.graphs.data(), original.graphs.data()},
                        {copy.infoItems.data(), original.infoItems.data()}})
        EXPECT_NE(a, b);

    std::strcpy(copy.requiredOptions[1].optionCode, "HW99");
    std::strcpy(copy.graphs[0].query, "XXX");
    copy.parameters[0].choices.clear();
    EXPECT_STREQ(original.requiredOptions[1].optionCode, "HW05");
    EXPECT_STREQ(original.graphs[0].query, "CALC:DTV:EPAT:PLIST:DATA?");
    EXPECT_EQ(original.parameters[0].choices.size(), 5u);

    // Copying onto itself leaves the record intact.
    ReceiverInfo_CopyStandard(copy, copy);
    EXPECT_STREQ(copy.graphs[0].query, "XXX");
}

TEST_F(CatalogueLookupTest, InitIsIdempotentAndCloseReleases) {
    const AnalyzerFamily* before = ReceiverInfo_Families().data();
    ReceiverInfo_Init();
    EXPECT_EQ(ReceiverInfo_Families().data(), before) << "a second Init keeps the first catalogue";
    EXPECT_EQ(ReceiverInfo_Families().size(), 3u);

    ReceiverInfo_Close();
    EXPECT_TRUE(ReceiverInfo_Families().empty());
    EXPECT_EQ(ReceiverInfo_FindFamilyByMac(0, 192, 58), 0);
    EXPECT_EQ(ReceiverInfo_FindFamilyByName("Alvra"), 0);
    ReceiverInfo_Close();  // closing twice is harmless

    ReceiverInfo_Init();
    ASSERT_EQ(ReceiverInfo_Families().size(), 3u);
    EXPECT_EQ(ReceiverInfo_Families()[0].standards.size(), 14u);
    EXPECT_EQ(ReceiverInfo_CutTexts(), 0);
}

}  // namespace
