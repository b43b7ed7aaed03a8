// The KML templates: text escaping, placemark colours, balloons, the
// navigation folders and the file table of the root document. The documents
// are checked with xmllint where they carry texts from record files.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "export/kmz/aggregation.h"
#include "export/kmz/kmlroot.h"
#include "export/kmz/kmltext.h"
#include "export/kmz/kmlwriter.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Writer = ExportBench;

// A balloon wrapped into a style document, as xmllint sees it.
std::string XmlOfStyle(const std::string& style) {
    return XmlProblems({{"s.kml", std::string(kKmlHeader) + style + kKmlFooter}});
}

}  // namespace

TEST(KmlText, RecordTextsAreEscapedAndConvertedToUtf8) {
    struct Case {
        const char *in, *out;
    };
    const Case cases[] = {
        {"R&D", "R&#38;D"},
        {"<b>x</b>", "&#60;b&#62;x&#60;/b&#62;"},
        {"end]]>more", "end]]&#62;more"},  // cannot close a CDATA section
        {"say \"a\" 'b'", "say &#34;a&#34; &#39;b&#39;"},
        {"dB\xB5V and \xB5s", "dB\xC2\xB5V and \xC2\xB5s"},  // every micro sign, not only the first
        {"\xE4\xF6", "\xC3\xA4\xC3\xB6"},
        {"bell\x07tab\t", "bell tab\t"},  // a control character XML does not allow
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Kml_Text(c.in), c.out) << c.in;
}

TEST(KmlText, RegionAcrossTheMeridianAndNetworkLinks) {
    const MapArea area{2.0, 0.02, 0.04, 179.99, -17.0};
    const std::string region = formatRegion(area, 1280, -1);
    EXPECT_EQ(region,
              "<Region>\n<LatLonAltBox>\n<north>-16.990000</north>\n<south>-17.010000</south>\n<east>-179.990000</east>\n"
              "<west>179.970000</west>\n</LatLonAltBox>\n<Lod><minLodPixels>1280</minLodPixels>\n<maxLodPixels>-1</"
              "maxLodPixels>\n</Lod>\n</Region>\n")
        << region;
    const std::string named = formatNetworkLink("R&D", area, -1, -1, "root_X.kml");
    EXPECT_EQ(named.rfind("<NetworkLink>\n<name>R&#38;D</name><open>1</open><visibility>1</visibility><Region>", 0), 0u);
    EXPECT_NE(named.find("<Link><href>root_X.kml</href><viewRefreshMode>onRegion</viewRefreshMode></Link>\n"
                         "</NetworkLink>\n"),
              std::string::npos);
    EXPECT_EQ(formatNetworkLink("", area, -1, -1, "a.kml").find("<name>"), std::string::npos);
}

TEST(KmlText, LookAtLooksDownOnTheWholeArea) {
    struct Case {
        const char* story;
        MapArea area;
        const char* centre;  // longitude and latitude elements
        const char* range;
    };
    const Case cases[] = {
        {"a drive of 10 km", {10.0, 0.09, 0.135, 11.5, 48.2},
         "<longitude>11.500000</longitude>\n<latitude>48.200000</latitude>", "<range>15000.0</range>"},
        {"across the meridian", {2.0, 0.02, 0.04, 179.99, -17.0},
         "<longitude>179.990000</longitude>\n<latitude>-17.000000</latitude>", "<range>3000.0</range>"},
        {"all samples at one point", {0.0011, 0.00001, 0.000015, -3.25, 40.0},
         "<longitude>-3.250000</longitude>\n<latitude>40.000000</latitude>", "<range>200.0</range>"},
    };
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // numbers must not follow a comma locale (C when it is missing)
    std::vector<std::string> texts;
    for (const Case& c : cases) texts.push_back(Kml_LookAt(c.area));
    std::setlocale(LC_ALL, saved.c_str());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& t = texts[i];
        EXPECT_EQ(t.rfind("<LookAt>\n", 0), 0u) << cases[i].story;
        EXPECT_NE(t.find(cases[i].centre), std::string::npos) << t;
        EXPECT_NE(t.find(cases[i].range), std::string::npos) << t;
        EXPECT_NE(t.find("<heading>0</heading>\n<tilt>0</tilt>"), std::string::npos) << t;
        EXPECT_NE(t.find("<altitudeMode>relativeToGround</altitudeMode>\n</LookAt>\n"), std::string::npos) << t;
    }
}

TEST(KmlPlacemark, ColourInKmlOrderWithAlphaForInterpolatedCells) {
    KmzDataSet d = DataSet({Value("Level", 0, 2)});
    AddSample(d, {.values = {25.0}});                                    // orange-red
    AddSample(d, {.values = {100.0}, .position = kKmzInterpolatedPosition});  // green
    AddSample(d, {.values = {kNaN}});
    Writer w(std::move(d));
    const MapCell red = w.Aggregated({0});
    const MapCell mixed = w.Aggregated({0, 1});
    const MapCell none = w.Aggregated({2});
    EXPECT_EQ(Kml_PlacemarkColour(*w.ex, red, kKmzWorst, 1), "ff0080ff");  // (255, 128, 0) as blue, green, red
    EXPECT_EQ(Kml_PlacemarkColour(*w.ex, mixed, kKmzBest, 1), "8000ff00");
    EXPECT_EQ(Kml_PlacemarkColour(*w.ex, mixed, kKmzWorst, 1), "800080ff");
    EXPECT_EQ(Kml_PlacemarkColour(*w.ex, none, kKmzAverage, 1), "ffc0c0c0");
}

TEST(KmlBalloon, TitlesFollowSampleAndInterpolatedCounts) {
    KmzDataSet d = DataSet({Value("Level", 0, 2)});
    AddSample(d, {.values = {60.0}});
    AddSample(d, {.values = {70.0}, .position = kKmzInterpolatedPosition});
    AddSample(d, {.values = {80.0}});
    Writer w(std::move(d));
    EXPECT_NE(Kml_BalloonStyle(*w.ex, "BS_1", w.Aggregated({0})).find("<b>Sample details:</b><br><br>"), std::string::npos);
    EXPECT_NE(Kml_BalloonStyle(*w.ex, "BS_1", w.Aggregated({1})).find("<b>Sample details (interpolated GPS coordinates):</b>"),
              std::string::npos);
    EXPECT_NE(Kml_BalloonStyle(*w.ex, "BS_1", w.Aggregated({0, 2})).find("<b>Details for the 2 aggregated samples:</b>"),
              std::string::npos);
    const std::string three = Kml_BalloonStyle(*w.ex, "BS_4", w.Aggregated({0, 1, 2}));
    EXPECT_EQ(three.rfind("<Style id=\"BS_4\"><BalloonStyle><text><![CDATA[<b>Details for the 3 aggregated samples "
                          "(1 with interpolated GPS coordinates):</b>",
                          0),
              0u);
    EXPECT_TRUE(three.ends_with("</table>]]>\n</text>\n</BalloonStyle></Style>\n"));
}

TEST(KmlBalloon, ValueRowsShowFiguresColoursAndTheRightDistributionCell) {
    KmzDataSet d = DataSet({Value("Level [dB\xB5V]", 0, 1, "Level"), Value("Sync", 3, 0), Value("BER", 1, 0)});
    for (int i = 0; i < 10; ++i) AddSample(d, {.values = {i < 5 ? 20.0 : 80.0, 1.0, kNaN}, .speed = 10.0 * i});
    Writer w(std::move(d));
    const std::string b = Kml_BalloonStyle(*w.ex, "BS_1", w.Aggregated({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // Speed first (row 0, dark), with a distribution; the level: worst 20.0 red-orange, average 50.00 yellow, best 80.0.
    EXPECT_NE(b.find("<tr bgcolor=\"#202020\"><td NOWRAP><font color=\"#c0c0c0\"><b>Speed [km/h]</b></font></td><td "
                     "NOWRAP><font color=\"#c0c0c0\"><b>100.0%</b></font></td><td NOWRAP><font color=\"#33ff00\"><b>90.0</b>"),
              std::string::npos)
        << b;
    EXPECT_NE(b.find("<tr bgcolor=\"#404040\"><td NOWRAP><font color=\"#c0c0c0\"><b>Level [dB\xC2\xB5V]</b>"),
              std::string::npos);
    EXPECT_NE(b.find("<font color=\"#ff6600\"><b>20.0</b></font></td><td NOWRAP><font color=\"#ffff00\"><b>50.00</b>"
                     "</font></td><td NOWRAP><font color=\"#66ff00\"><b>80.0</b></font></td><td><font "
                     "color=\"#c0c0c0\"><img alt=\"GE 6.0+ required!\" src=\"V1_00_ST.bmp\""),
              std::string::npos)
        << b;
    EXPECT_NE(b.find("<b>Sync</b></font></td><td NOWRAP><font color=\"#c0c0c0\"><b>100.0%</b></font></td>"),
              std::string::npos);
    EXPECT_NE(b.find("<td NOWRAP ALIGN=center><font color=\"#c0c0c0\">Not applicable</font></td></tr>\n<tr "
                     "bgcolor=\"#404040\"><td NOWRAP><font color=\"#c0c0c0\"><b>BER</b></font></td><td NOWRAP><font "
                     "color=\"#c0c0c0\"><b>0.0%</b></font></td><td NOWRAP><font color=\"#c0c0c0\"><b>---</b></font></td><td "
                     "NOWRAP><font color=\"#c0c0c0\"><b>---</b></font></td><td NOWRAP><font "
                     "color=\"#c0c0c0\"><b>---</b></font></td><td NOWRAP ALIGN=center><font color=\"#c0c0c0\">Not enough "
                     "values available</font></td></tr>\n</table>"),
              std::string::npos)
        << b;
}

TEST(KmlBalloon, ListsShowFourEntriesAndOthers) {
    KmzDataSet d = DataSet({Value("MER", 0, 1)}, {}, {Item("Cell ID")});
    const char* states[] = {"No error", "No error", "No error", "No error", "A", "B", "C", "D & <E>", "D & <E>", "F"};
    const char* cells[] = {"1", "1", "1", "2", "2", "3", "4", "5", "", ""};
    for (int i = 0; i < 10; ++i) AddSample(d, {.values = {30.0}, .status = states[i], .texts = {cells[i]}});
    Writer w(std::move(d));
    const std::string b = Kml_BalloonStyle(*w.ex, "BS_1", w.Aggregated({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // States: "No error" 40 %, "D & <E>" 20 %, then A and B with 10 % each; C and F make 20 % of others.
    EXPECT_NE(b.find("<tr bgcolor=\"#404040\"><td NOWRAP><font color=\"#c0c0c0\"><b>No error</b></font></td><td "
                     "NOWRAP><font color=\"#c0c0c0\"><b>40.0%</b>"),
              std::string::npos)
        << b;
    EXPECT_NE(b.find("<tr bgcolor=\"#808080\"><td NOWRAP><font color=\"#c0c0c0\"><b>D &#38; &#60;E&#62;</b>"),
              std::string::npos);
    EXPECT_NE(b.find("<b>Others</b></font></td><td NOWRAP><font color=\"#c0c0c0\"><b>20.0%</b>"), std::string::npos);
    EXPECT_EQ(b.find("<b>F</b>"), std::string::npos);
    // Only the four samples of "No error" keep their texts: 1 (75 %) and 2 (25 %).
    EXPECT_NE(b.find("<b>Cell ID</b></font></td><td NOWRAP><font color=\"#c0c0c0\"><b>40.0%</b></font></td><td NOWRAP>"
                     "<font color=\"#c0c0c0\"><b>1 (75.0 %)<br>2 (25.0 %)</b>"),
              std::string::npos)
        << b;
    EXPECT_TRUE(XmlOfStyle(b).empty()) << XmlOfStyle(b);
}

TEST(KmlBalloon, ParameterDistributionOthersAndGraphTable) {
    KmzDataSet d = DataSet({Value("MER", 0, 1)}, {Graph("Echo & <pattern>", 4, "-40", "0")}, {Item("Mode")});
    const char* modes[] = {"a", "a", "a", "b", "b", "c", "d", "e", "f", "a"};
    for (int i = 0; i < 10; ++i) AddSample(d, {.values = {30.0}, .graphs = {{-5, -6, -7, -8}}, .texts = {modes[i]}});
    AddSample(d, {.values = {30.0}});
    Writer w(std::move(d));
    const std::string b = Kml_BalloonStyle(*w.ex, "BS_1", w.Aggregated({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_NE(b.find("<b>a (40.0 %)<br>b (20.0 %)<br>c (10.0 %)<br>d (10.0 %)<br>Others (20.0 %)</b>"), std::string::npos)
        << b;
    EXPECT_NE(b.find("<b>Echo &#38; &#60;pattern&#62;</b>"), std::string::npos);
    EXPECT_NE(b.find("src=\"G0_00_ST.bmp\" width=\"400\" height=\"200\"></font></td><td><img "
                     "src=\"intensity_ST.bmp\""),
              std::string::npos);
    EXPECT_NE(b.find("<font color=\"#FFFFFF\">Time [\xC2\xB5s]</font>"), std::string::npos);
    EXPECT_TRUE(XmlOfStyle(b).empty()) << XmlOfStyle(b);
    // A cell without a usable graph shows "---" instead of the histogram.
    const std::string none = Kml_BalloonStyle(*w.ex, "BS_2", w.Aggregated({10}));
    EXPECT_NE(none.find("<b>Validity 0.0%</b>"), std::string::npos);
    EXPECT_NE(none.find("</td><td align=center valign=middle><b><font color=\"#FFFFFF\">---</b></font></td><td></td><td>"),
              std::string::npos);
    EXPECT_NE(none.find("<b>Mode</b></font></td><td NOWRAP><font color=\"#c0c0c0\"><b>0.0%</b></font></td><td "
                        "NOWRAP><font color=\"#c0c0c0\"><b>---</b>"),
              std::string::npos);
}

TEST(KmlNavigation, FoldersPerKindAndOnlyTheFirstLayerVisible) {
    KmzDataSet d = DataSet({Value("Level", 0, 2), Value("MER", 0, 1)});
    AddSample(d, {.values = {1.0, 2.0}});
    Writer w(std::move(d));
    w.ex->area = MapArea_OfDataSet(w.data);
    w.ex->depth = MapArea_Depth(w.ex->area.side, 10.0);
    ASSERT_TRUE(writeNavigationDocument(*w.ex));
    w.scope.kinds = {true, false, true};
    w.reset();
    w.ex->area = MapArea_OfDataSet(w.data);
    w.ex->depth = MapArea_Depth(w.ex->area.side, 10.0);
    w.ex->stamp = "S2";
    ASSERT_TRUE(writeNavigationDocument(*w.ex));
    const auto entries = w.Close();
    ASSERT_EQ(entries.size(), 2u);
    const std::string& one = entries[0].bytes;
    const std::string& two = entries[1].bytes;
    EXPECT_EQ(Count(one, "<listItemType>radioFolder</listItemType>"), 3);  // one per spot size
    EXPECT_EQ(Count(two, "<listItemType>radioFolder</listItemType>"), 9);  // and one per kind inside each
    EXPECT_EQ(Count(one, "Worst value indicator"), 0);
    EXPECT_EQ(Count(two, "<name>Best value indicator</name>"), 3);
    for (const std::string* doc : {&one, &two}) {
        EXPECT_EQ(Count(*doc, "<open>0</open><visibility>1</visibility>"), 1);  // the first channel folder
        EXPECT_NE(doc->find("<name>Speed [km/h]</name><open>0</open><visibility>1</visibility>"), std::string::npos);
        EXPECT_NE(doc->find("<screenXY x=\"0\" y=\"100\" xunits=\"fraction\" yunits=\"insetPixels\"/>"),
                  std::string::npos);
    }
    EXPECT_EQ(Count(one, "<ScreenOverlay>"), 9);
    EXPECT_EQ(Count(two, "<ScreenOverlay>"), 18);
    EXPECT_NE(two.find("<href>SB2_S2.bmp</href>"), std::string::npos);
    EXPECT_TRUE(XmlProblems(entries).empty());
}

TEST(KmlRoot, MergedHeaderItemsAndFileTableRows) {
    KmzLoadedFile a, b;
    a.source.entry.path = "/x/one.dtr";
    b.source.entry.path = "C:\\records\\two.dtr";
    a.info = {Info("File", "Description", "R&D"), Info("TV Analyzer", "Type", "Alvra"), Info("File", "Created", "c1")};
    b.info = {Info("File", "Description", "d2"), Info("Antenna", "Type", "HL223"), Info("File", "Standard", "DVB-T"),
              Info("TV Analyzer", "Input", "75 Ohm"), Info("TV Analyzer", "Type", "Belko")};
    b.source.level.manualOffsetUsed = true;
    b.source.level.manualOffset = -1.5;
    a.sampleCount = 12;
    b.sampleCount = 3;
    std::vector<KmzLoadedFile> files;
    files.push_back(std::move(a));
    files.push_back(std::move(b));
    const std::vector<KmzHeaderItem> merged = Kmz_MergeHeaderItems(files);
    const std::vector<KmzHeaderItem> expected = {{"File", "Description"},    {"File", "Created"},
                                                 {"File", "Standard"},       {"TV Analyzer", "Type"},
                                                 {"TV Analyzer", "Input"},   {"Antenna", "Type"},
                                                 {"KMZ Export", "Manual level offset"}};
    EXPECT_EQ(merged, expected);

    const std::string table = Kmz_FileTable(files);
    EXPECT_EQ(table.rfind("<tr><tr bgcolor=\"#8080FF\"><td NOWRAP><font color=\"#FFFFFF\"><b>File</b></font></td><td>"
                          "</td><td></td></tr>\n<tr><tr bgcolor=\"#F0F0F0\"><td NOWRAP><b>Name</b></td><td NOWRAP>one.dtr"
                          "</td><td NOWRAP>two.dtr</td></tr>\n<tr><tr bgcolor=\"#E6E6E6\"><td NOWRAP><b>Description</b>"
                          "</td><td NOWRAP>R&#38;D</td><td NOWRAP>d2</td></tr>\n",
                          0),
              0u)
        << table;
    EXPECT_NE(table.find("<b>Standard</b></td><td NOWRAP>---</td><td NOWRAP>DVB-T</td>"), std::string::npos);
    EXPECT_NE(table.find("<b>Samples</b></td><td NOWRAP>12</td><td NOWRAP>3</td>"), std::string::npos);
    EXPECT_NE(table.find("<b>KMZ Export</b></font></td><td></td><td></td></tr>\n<tr><tr bgcolor=\"#"), std::string::npos);
    EXPECT_NE(table.find("<b>Manual level offset</b></td><td NOWRAP>---</td><td NOWRAP>-1.50</td>"), std::string::npos);
    // Group header rows count: the rows alternate across them.
    int row = 0;
    std::string out;
    const std::string v = "1";
    formatHtmlRow(out, "G", nullptr, row, 0, 1);
    formatHtmlRow(out, "K", &v, row, 0, 1);
    formatHtmlRow(out, "L", &v, row, 0, 1);
    EXPECT_EQ(row, 3);
    EXPECT_NE(out.find("<tr><tr bgcolor=\"#F0F0F0\"><td NOWRAP><b>K</b>"), std::string::npos);
    EXPECT_NE(out.find("<tr><tr bgcolor=\"#E6E6E6\"><td NOWRAP><b>L</b>"), std::string::npos);
}

// A layer document holds the styles of its placemarks, whether they were
// formatted once for all layers of the tile or, past the memory budget, by the
// document itself; a cell without figures gets neither placemark nor style.
TEST(KmlLayerDocument, StylesFormattedOnceOrPerDocumentGiveTheSameDocument) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 2)});
    for (int i = 0; i < 12; ++i) AddSample(d, {.values = {20.0 + i}, .speed = 10.0});
    Writer w(std::move(d));
    MapCell inherited = w.Aggregated({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, "40");
    inherited.aggregated = false;
    inherited.cellId = "42";
    inherited.styleDoc = "-0";
    inherited.styleIndex = 3;
    inherited.styleCell = "40";
    MapCell empty;
    empty.cellId = "44";
    const std::vector<MapCell> cells{w.Aggregated({0, 1}, "20"), empty, inherited};
    std::string styles;
    EXPECT_FALSE(Kml_FormatDocumentStyles(*w.ex, cells, 100, styles));
    EXPECT_EQ(styles, "");
    ASSERT_TRUE(Kml_FormatDocumentStyles(*w.ex, cells, kKmlStylesBudget, styles));
    ASSERT_TRUE(Kml_WriteLayerDocument(*w.ex, 0, kKmzWorst, 1, "2", "Doc BW1_2", &styles, "", "", cells));
    ASSERT_TRUE(Kml_WriteLayerDocument(*w.ex, 0, kKmzWorst, 1, "4", "Doc BW1_4", nullptr, "", "", cells));
    std::vector<Entry> entries;  // the two documents; the bitmaps of the aggregated cells beside them
    for (auto& e : w.Close())
        if (EndsWith(e.name, ".kml")) entries.push_back(std::move(e));
    ASSERT_EQ(entries.size(), 2u);
    const std::string once = Between(entries[0].bytes, "</name>\n", "<Folder>").at(0);
    EXPECT_EQ(once, Between(entries[1].bytes, "</name>\n", "<Folder>").at(0));
    EXPECT_EQ(once, styles);
    // Two placemarks, each naming its style in the document; the copy shows the bitmaps of the cell it came from.
    EXPECT_EQ(Between(entries[0].bytes, "<styleUrl>", "</styleUrl>"), (std::vector<std::string>{"#BS_1", "#D_-0_BS_3"}));
    EXPECT_EQ(Between(once, "<Style id=\"", "\">"), (std::vector<std::string>{"BS_1", "D_-0_BS_3"}));
    EXPECT_NE(once.find("src=\"V1_40_ST.bmp\""), std::string::npos);
    EXPECT_EQ(once.find("_42_ST.bmp"), std::string::npos);
    for (const auto& e : entries) EXPECT_EQ(ParseKml(e.bytes).error, "") << e.name;
}

TEST(KmlText, NumbersStayInTheCLocaleUnderACommaLocale) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 2)});
    AddSample(d, {.values = {31.25}, .speed = 12.5});
    Writer w(std::move(d));
    const MapCell cell = w.Aggregated({0});
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    const std::string region = formatRegion(cell.area, -1, 40);
    const std::string balloon = Kml_BalloonStyle(*w.ex, "BS_1", cell);
    const bool written = Kml_WriteLayerDocument(*w.ex, 1, kKmzWorst, 1, "-0", "Doc MW1_-0_ST", nullptr, "", region, {cell});
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(written);
    EXPECT_NE(region.find("<north>48.255000</north>"), std::string::npos) << region;
    EXPECT_NE(balloon.find("<b>31.25</b>"), std::string::npos);
    EXPECT_NE(balloon.find("<b>12.5</b>"), std::string::npos);
    EXPECT_NE(balloon.find("<b>100.0%</b>"), std::string::npos);
    const auto entries = w.Close();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "MW1_-0_ST.kml");
    const std::string& doc = entries[0].bytes;
    EXPECT_NE(doc.find("<scale>0.6</scale>"), std::string::npos);
    EXPECT_NE(doc.find("<coordinates>\n11.500000,48.250000,11.0\n</coordinates>"), std::string::npos) << doc;
    EXPECT_NE(doc.find("<Placemark id=\"-0_1_(00)_ST\">\n<styleUrl>#BS_1</styleUrl>"), std::string::npos);
    EXPECT_NE(doc.find(balloon), std::string::npos);  // the document holds its placemark's style
    EXPECT_TRUE(XmlProblems(entries).empty());
}
