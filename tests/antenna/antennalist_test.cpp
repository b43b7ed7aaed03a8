#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "antenna/antenna.h"
#include "platform/text.h"

namespace {

std::vector<std::string> Names(const AntennaList& list) {
    std::vector<std::string> names;
    for (const AntennaType& a : list.antennas()) names.emplace_back(Text_View(a.name));
    return names;
}

std::vector<double> Frequencies(const AntennaList& list, int position) {
    std::vector<double> f;
    for (const KFactorPoint& p : list.antenna(position)->kFactors) f.push_back(p.frequency);
    return f;
}

}  // namespace

TEST(AntennaList, SortsByUnsignedByteOrder) {
    AntennaList list;
    // 0xE4 (Latin-1 a-umlaut) must sort after every ASCII letter, which a
    // signed char comparison would get wrong.
    for (const char* name : {"alpha", "\xE4rger", "Zeta", "beta", "Beta", "alph"})
        ASSERT_EQ(list.addAntenna(name), AntennaEdit::Ok) << name;
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Beta", "Zeta", "alph", "alpha", "beta", "\xE4rger"}));
    EXPECT_EQ(list.positionOf("Zeta"), 2);
    EXPECT_EQ(list.positionOf("zeta"), 0);
    int position = 0;
    ASSERT_EQ(list.addAntenna("Alpha", &position), AntennaEdit::Ok);
    EXPECT_EQ(position, 1);
}

TEST(AntennaList, RefusesInvalidAndRepeatedNames) {
    AntennaList list;
    ASSERT_EQ(list.addAntenna("Yagi"), AntennaEdit::Ok);
    EXPECT_EQ(list.addAntenna("Yagi"), AntennaEdit::NameExists);
    EXPECT_EQ(list.addAntenna("yagi"), AntennaEdit::Ok);  // other letter case is another name
    for (const char* bad : {"", "a/b", "a\\b", "a:b", "a|b", "a\"b", "a*b", "a?b", "a<b", "a>b"})
        EXPECT_EQ(list.addAntenna(bad), AntennaEdit::InvalidName) << bad;
    EXPECT_EQ(list.addAntenna("a;b=c"), AntennaEdit::Ok);
    EXPECT_EQ(list.count(), 3);

    // The stored field holds 99 bytes: a longer name is cut, and the cut
    // name counts for uniqueness.
    const std::string longName(150, 'L');
    ASSERT_EQ(list.addAntenna(longName), AntennaEdit::Ok);
    EXPECT_EQ(list.positionOf(std::string(99, 'L')), 1);
    EXPECT_EQ(list.addAntenna(longName + "other"), AntennaEdit::NameExists);
}

TEST(AntennaList, RenameKeepsTheOrderAndTheNamesUnique) {
    AntennaList list;
    for (const char* name : {"A", "B", "C"}) ASSERT_EQ(list.addAntenna(name), AntennaEdit::Ok);
    ASSERT_EQ(list.addPoint(1, {100.0, 1.0}), AntennaEdit::Ok);
    int moved = 0;
    ASSERT_EQ(list.renameAntenna(1, "D", &moved), AntennaEdit::Ok);
    EXPECT_EQ(moved, 3);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_EQ(list.antenna(3)->kFactors.size(), 1u);  // the points travel with the antenna
    EXPECT_EQ(list.renameAntenna(1, "C"), AntennaEdit::NameExists);
    EXPECT_EQ(list.renameAntenna(1, "x/y"), AntennaEdit::InvalidName);
    EXPECT_EQ(list.renameAntenna(2, "C"), AntennaEdit::Ok);
    EXPECT_EQ(list.renameAntenna(4, "E"), AntennaEdit::NoSuchAntenna);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_EQ(list.removeAntenna(2), AntennaEdit::Ok);
    EXPECT_EQ(list.removeAntenna(0), AntennaEdit::NoSuchAntenna);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"B", "D"}));
}

TEST(AntennaList, PointsStayStrictlyAscending) {
    AntennaList list;
    ASSERT_EQ(list.addAntenna("Log"), AntennaEdit::Ok);
    int at = 0;
    for (double f : {300.0, 100.0, 200.0}) ASSERT_EQ(list.addPoint(1, {f, f / 10}, &at), AntennaEdit::Ok);
    EXPECT_EQ(at, 2);
    EXPECT_EQ(Frequencies(list, 1), (std::vector<double>{100.0, 200.0, 300.0}));
    EXPECT_EQ(list.addPoint(1, {200.0, 99.0}), AntennaEdit::PointExists);
    EXPECT_EQ(list.antenna(1)->kFactors[1].kFactor, 20.0);  // the old K-factor stays
    EXPECT_EQ(list.addPoint(1, {std::nan(""), 1.0}), AntennaEdit::InvalidValue);
    EXPECT_EQ(list.addPoint(1, {400.0, std::numeric_limits<double>::infinity()}), AntennaEdit::InvalidValue);
    EXPECT_EQ(list.addPoint(2, {400.0, 1.0}), AntennaEdit::NoSuchAntenna);

    // An edit past a neighbour moves the point to its place.
    ASSERT_EQ(list.changePoint(1, 1, {250.0, 7.0}, &at), AntennaEdit::Ok);
    EXPECT_EQ(at, 2);
    EXPECT_EQ(Frequencies(list, 1), (std::vector<double>{200.0, 250.0, 300.0}));
    EXPECT_EQ(list.changePoint(1, 2, {300.0, 7.0}), AntennaEdit::PointExists);
    EXPECT_EQ(list.changePoint(1, 2, {250.0, 8.0}), AntennaEdit::Ok);  // same frequency, new K-factor
    EXPECT_EQ(list.antenna(1)->kFactors[1].kFactor, 8.0);
    EXPECT_EQ(list.changePoint(1, 4, {500.0, 1.0}), AntennaEdit::NoSuchPoint);
    EXPECT_EQ(list.removePoint(1, 1), AntennaEdit::Ok);
    EXPECT_EQ(list.removePoint(1, 3), AntennaEdit::NoSuchPoint);
    EXPECT_EQ(Frequencies(list, 1), (std::vector<double>{250.0, 300.0}));
}

TEST(AntennaList, HoldsAtMost600Points) {
    AntennaList list;
    ASSERT_EQ(list.addAntenna("Full"), AntennaEdit::Ok);
    for (int i = 0; i < kAntennaMaxPoints; ++i) ASSERT_EQ(list.addPoint(1, {1.0 + i, 0.0}), AntennaEdit::Ok);
    EXPECT_EQ(list.addPoint(1, {0.5, 0.0}), AntennaEdit::ListFull);
    EXPECT_EQ(list.antenna(1)->kFactors.size(), 600u);

    AntennaType tooMany;
    Text_Copy(tooMany.name, "Too many");
    for (int i = 0; i <= kAntennaMaxPoints; ++i) tooMany.kFactors.push_back({1.0 + i, 0.0});
    EXPECT_EQ(list.addAntenna(tooMany), AntennaEdit::InvalidValue);
    AntennaType unsorted;
    Text_Copy(unsorted.name, "Unsorted");
    unsorted.kFactors = {{200.0, 0.0}, {100.0, 0.0}};
    EXPECT_EQ(list.addAntenna(unsorted), AntennaEdit::InvalidValue);
    EXPECT_EQ(list.count(), 1);
}

TEST(AntennaList, TableRowsAndRingItems) {
    AntennaList list;
    for (const char* name : {"b", "A", "C"}) ASSERT_EQ(list.addAntenna(name), AntennaEdit::Ok);
    ASSERT_EQ(list.addPoint(1, {47.5, 1.0}), AntennaEdit::Ok);
    ASSERT_EQ(list.addPoint(3, {174.25, 1.0}), AntennaEdit::Ok);
    ASSERT_EQ(list.addPoint(3, {862.0, 2.0}), AntennaEdit::Ok);
    const auto rows = Antenna_TableRows(list);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "A");  // one point: still no interval
    EXPECT_EQ(rows[0].firstFrequency, "---");
    EXPECT_EQ(rows[0].lastFrequency, "---");
    EXPECT_EQ(rows[1].firstFrequency, "---");
    EXPECT_EQ(rows[2].name, "b");
    EXPECT_EQ(rows[2].firstFrequency, "174.250000");
    EXPECT_EQ(rows[2].lastFrequency, "862.000000");
    EXPECT_EQ(Antenna_RingItems(list),
              (std::vector<std::string>{"A", "C", "b", "----------Edit----------"}));
    EXPECT_EQ(Antenna_RingItems(AntennaList{}), (std::vector<std::string>{"----------Edit----------"}));
}
