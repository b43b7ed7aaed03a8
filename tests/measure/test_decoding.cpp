#include <gtest/gtest.h>

#include <vector>

#include "measure/engine.h"

TEST(Decoding, CoordinatesInDegreesMinutesSeconds) {
    struct Case {
        const char* reply;
        double degrees;
    } cases[] = {
        {"-10,30,0.0", -10.5}, {"10,30,0.0", 10.5}, {"-0,30,0.0", -0.5}, {"48,8,13.2", 48.137},
        {"11.575", 11.575},    {"-0,0,36.0", -0.01},
    };
    for (const auto& c : cases) EXPECT_NEAR(Engine_ConvertCoordinate(c.reply), c.degrees, 1e-9) << c.reply;
}

TEST(Decoding, InvalidReplies) {
    EXPECT_TRUE(Engine_ValueReplyInvalid("---", "CALC:DTV:RES? BBV"));
    EXPECT_TRUE(Engine_ValueReplyInvalid("99.1e+36", "CALC:DTV:RES? BBV"));
    EXPECT_TRUE(Engine_ValueReplyInvalid("99.1e+36,1", "CALC:DTV:RES? BBV"));
    EXPECT_TRUE(Engine_ValueReplyInvalid("-113,\"Undefined header;CALC:DTV:RES? BBV\"", "CALC:DTV:RES? BBV"))
        << "an error echo repeats the query";
    EXPECT_FALSE(Engine_ValueReplyInvalid("1.2e-05", "CALC:DTV:RES? BBV"));
    EXPECT_FALSE(Engine_ValueReplyInvalid("----", "Q?")) << "only exactly --- means no value";
    EXPECT_TRUE(Engine_GraphReplyInvalid("{}", "Q?"));
    EXPECT_TRUE(Engine_GraphReplyInvalid("---,1", "Q?"));
    EXPECT_FALSE(Engine_GraphReplyInvalid("-10,0", "Q?"));
}

// Echo lists: levels relative to the first entry, maximum hold, an entry
// outside the axis ignored, untouched points at -200.0.
TEST(Decoding, EchoListOfLevelTimePairs) {
    std::vector<float> p(501);
    // axis -250..250 us in 501 points: 1 us per point; times in the axis unit.
    Engine_DecodeEchoList("-20,0,-30,10,-35,10,-25,-300,-22,250", 1, "-250", "250", p.data(), 501);
    EXPECT_FLOAT_EQ(p[250], 0.0f);
    EXPECT_FLOAT_EQ(p[260], -10.0f) << "maximum hold of -10 and -15";
    EXPECT_FLOAT_EQ(p[500], -2.0f) << "the axis end is inside";
    int untouched = 0;
    for (float v : p) untouched += v == -200.0f;
    EXPECT_EQ(untouched, 498) << "the entry at -300 lies outside the axis";
}

TEST(Decoding, EchoListGroupsCountByKind) {
    std::vector<float> p3(11), p4(11);
    // level, time, group over an axis 0..10 in 11 points
    const char* reply = "-10,5,0,-20,1,1,-30,2,2,-40,3,3";
    Engine_DecodeEchoList(reply, 3, "0", "10", p3.data(), 11);
    Engine_DecodeEchoList(reply, 4, "0", "10", p4.data(), 11);
    EXPECT_FLOAT_EQ(p3[5], 0.0f);
    EXPECT_FLOAT_EQ(p3[1], -10.0f);
    EXPECT_FLOAT_EQ(p3[2], -200.0f);
    EXPECT_FLOAT_EQ(p4[2], -20.0f);
    EXPECT_FLOAT_EQ(p4[1], -200.0f);
    EXPECT_FLOAT_EQ(p4[3], -200.0f) << "group 3 counts for neither kind";
}

TEST(Decoding, PeakListStartsAtTheThirdCharacter) {
    std::vector<float> p(501);
    // x in seconds for an axis in microseconds
    Engine_DecodePeakList("{{-12.5,0.000010,1},{-30,-0.000100,2},{-40,0.001,3}}", "-250", "250", p.data(), 501);
    EXPECT_FLOAT_EQ(p[260], -12.5f) << "no reference level is subtracted";
    EXPECT_FLOAT_EQ(p[150], -30.0f);
    int untouched = 0;
    for (float v : p) untouched += v == -200.0f;
    EXPECT_EQ(untouched, 499) << "1000 us lies outside the axis";
    std::vector<float> q(5);
    Engine_DecodePeakList("{}", "0", "4", q.data(), 5);
    for (float v : q) EXPECT_FLOAT_EQ(v, -200.0f);
}

TEST(Decoding, HostileListsStayInBounds) {
    std::vector<float> p(11);
    Engine_DecodeEchoList("nan,inf,1e308,-1e308,,,", 1, "0", "10", p.data(), 11);
    Engine_DecodeEchoList("-1,5", 1, "0", "0", p.data(), 11);
    Engine_DecodePeakList("{{,,},{1e300,1e300,1}}", "0", "10", p.data(), 11);
    Engine_DecodePeakList("{", "0", "10", p.data(), 11);
    SUCCEED();
}

// Result waits keep, per mode, only the highest query group, sorted by group.
TEST(ResultWaits, InsertionKeepsTheHighestGroupPerMode) {
    std::vector<ResultWait> w;
    Engine_InsertResultWait(w, "Level", "L?", -1, -1);
    Engine_InsertResultWait(w, "Sync", "S?", 0, -1);
    Engine_InsertResultWait(w, "MER", "M?", 1, -1);
    Engine_InsertResultWait(w, "BER", "B?", 2, -1);
    Engine_InsertResultWait(w, "MER2", "M2?", 1, -1);
    Engine_InsertResultWait(w, "Echo", "E?", 1, 1);
    Engine_InsertResultWait(w, "MERf", "F?", 1, 2);
    Engine_InsertResultWait(w, "Echo2", "E2?", 1, 1);
    std::vector<std::string> names;
    for (const auto& r : w) names.push_back(std::string(r.longName) + "/" + std::to_string(r.queryGroup) + "/" +
                                            std::to_string(r.modeIndex));
    EXPECT_EQ(names, (std::vector<std::string>{"Echo/1/1", "MERf/1/2", "Echo2/1/1", "BER/2/-1"}));
}
