// The measurement tree: insertion by group path, the default categories and
// the highlight of what the analyzer's firmware cannot deliver.
#include <gtest/gtest.h>

#include <algorithm>

#include "drivetest/measurementtree.h"
#include "instrument/receiverinfo.h"

namespace {

const BroadcastStandard& Standard(const char* name) {
    ReceiverInfo_Init();
    return *ReceiverInfo_FindStandard(ReceiverInfo_Families().front(), name);
}

TEST(MeasurementTree, GroupsAreSharedAndValuesAddNoLevel) {
    MeasurementTree t;
    const int a = MeasurementTree_InsertByPath(t, "Values|MER", "RMS [dB]", "V1", false);
    const int b = MeasurementTree_InsertByPath(t, "Values|MER", "Peak [dB]", "V2", true);
    const int c = MeasurementTree_InsertByPath(t, "Values", "Level [dBm]", "V3", false);
    ASSERT_EQ(t.items.size(), 4u);  // "MER" once, three leaves
    EXPECT_EQ(t.items[static_cast<std::size_t>(a)].parent, 0);
    EXPECT_EQ(t.items[static_cast<std::size_t>(b)].parent, 0);
    EXPECT_EQ(t.items[static_cast<std::size_t>(c)].parent, -1);
    EXPECT_TRUE(t.items[0].highlighted);  // a highlighted leaf lights its group
    EXPECT_EQ(MeasurementTree_Path(t, a), "MER-RMS [dB]");
    MeasurementTree_SetMark(t, 0, true);  // the group takes its leaves along
    EXPECT_EQ(MeasurementTree_MarkedTags(t), (std::vector<std::string>{"V1", "V2"}));
}

TEST(MeasurementTree, DefaultCategoriesMarkByPathAndTagsStayInTreeOrder) {
    const BroadcastStandard& dvbt = Standard("DVB-T / DVB-H");
    MeasurementTree t = MeasurementTree_Build(dvbt, "9.99");
    for (const char* word : {"Level", "Sync", "SNR", "MER", "BER", "PER", "Echo"}) MeasurementTree_MarkCategory(t, word);
    const auto tags = MeasurementTree_MarkedTags(t);
    ASSERT_FALSE(tags.empty());
    for (std::size_t i = 0; i < t.items.size(); ++i) {
        if (t.items[i].tag.empty()) continue;
        const std::string path = MeasurementTree_Path(t, static_cast<int>(i));
        bool inCategory = false;
        for (const char* word : {"Level", "Sync", "SNR", "MER", "BER", "PER", "Echo"})
            inCategory = inCategory || path.find(word) != std::string::npos;
        EXPECT_EQ(std::count(tags.begin(), tags.end(), t.items[i].tag), inCategory ? 1 : 0) << path;
    }
    // Nothing is beyond firmware 9.99.
    EXPECT_TRUE(std::none_of(t.items.begin(), t.items.end(), [](const auto& it) { return it.highlighted; }));
}

TEST(MeasurementTree, EntriesBeyondTheFirmwareAreHighlighted) {
    ReceiverInfo_Init();
    // Find any entry with a minimum firmware and build below and at it.
    for (const auto& s : ReceiverInfo_Families().front().standards)
        for (std::size_t i = 0; i < s.values.size(); ++i) {
            if (!s.values[i].minFirmware[0]) continue;
            const std::string tag = "V" + std::to_string(i + 1);
            auto highlightOf = [&](const char* firmware) {
                const MeasurementTree t = MeasurementTree_Build(s, firmware);
                for (const auto& it : t.items)
                    if (it.tag == tag) return it.highlighted;
                return false;
            };
            EXPECT_FALSE(highlightOf(s.values[i].minFirmware)) << s.name << " " << tag;
            EXPECT_TRUE(highlightOf("0.01")) << s.name << " " << tag;
            return;
        }
    GTEST_SKIP() << "the catalogue has no value with a minimum firmware";
}

}  // namespace
