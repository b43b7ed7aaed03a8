// Whole archives: every KML entry parses with a real XML parser, every link
// and balloon image names an entry exactly, the bitmaps have sound headers,
// unzip finds no fault, and the entries come in the documented order, all in
// the archive's root. Texts of record files that would break the documents are
// escaped.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "synthrecord.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

constexpr const char* kStamp = "0123456789ABCDEF";

// Loads the files and writes path with the auto anchors; returns the write result.
KmzWriteResult Convert(const std::vector<std::string>& paths, const std::string& archive,
                       void (*adjust)(KmzScope&) = nullptr) {
    KmzDataSet data;
    MapArea area;
    std::string message;
    EXPECT_TRUE(LoadRecordFiles(paths, data, area, message)) << message;
    KmzScope scope = KmzScope_Default(data);
    if (adjust) adjust(scope);
    return Kmz_WriteArchive(data, Request(data, archive, scope), area, nullptr, {});
}

void ExpectSoundArchive(const std::string& path, const std::vector<Entry>& entries) {
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Run("unzip -tq '" + path + "' >/dev/null 2>&1"), 0);
    const std::string xml = XmlProblems(entries);
    EXPECT_TRUE(xml.empty()) << xml;
    const auto links = UnresolvedLinks(entries);
    EXPECT_TRUE(links.empty()) << links.size() << " unresolved, first: " << links.front();
    const auto images = UnresolvedImages(entries);
    EXPECT_TRUE(images.empty()) << images.size() << " unresolved, first: " << images.front();
    int bitmaps = 0;
    for (const auto& e : entries) {
        if (!EndsWith(e.name, ".bmp")) continue;
        ++bitmaps;
        EXPECT_EQ(BmpProblem(e), "");
    }
    EXPECT_GT(bitmaps, 0);
}

}  // namespace

TEST(KmzArchiveFile, SyntheticDriveGivesASoundArchiveInTheDocumentedOrder) {
    TempDir dir;
    SynthRecordOptions o;
    o.samples = 600;
    o.noFixStretches = {{100, 30}};
    o.badStatusShare = 0.05;
    const std::string record = WriteSynth(dir.path(), o);
    const std::string archive = dir.file("drive.kmz");
    const KmzWriteResult r = Convert({record}, archive, [](KmzScope& s) { s.kinds = {true, true, true}; });
    ASSERT_EQ(r.outcome, KmzOutcome::Success) << r.message;
    EXPECT_EQ(r.message.rfind("Drive test results have been successfully written to\n\n" + archive + ".\n\n", 0), 0u);
    const auto entries = ReadArchive(archive);
    ExpectSoundArchive(archive, entries);
    EXPECT_EQ(static_cast<std::int64_t>(entries.size()), r.entries);

    // Every name but doc.kml carries the stamp, and every entry lies in the root. doc.kml comes first, so that
    // a viewer that opens the first KML entry opens it, and then the navigation document it links; then the
    // coarse levels, legends, pictures and tiles; last a copy of doc.kml, for a viewer that opens the last
    // KML entry of the root.
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "doc.kml");
    EXPECT_EQ(entries[1].name, std::string("root_") + kStamp + ".kml");
    EXPECT_EQ(entries.back().name, std::string("doc_") + kStamp + ".kml");
    EXPECT_EQ(entries.back().bytes, entries[0].bytes);
    ASSERT_EQ(entries[2].name.rfind("G0_", 0), 0u);  // the root cell's histogram
    const std::string rootCell = entries[2].name.substr(3, entries[2].name.find('_', 3) - 3);
    const std::string rootTile = rootCell.substr(0, rootCell.size() - 5);  // L - K + 1 with K = 6
    ASSERT_FALSE(rootTile.empty()) << rootCell;
    const std::size_t nav = 1;
    std::size_t spot = 0, firstTile = entries.size(), lastCoarse = 0;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const std::string& n = entries[i].name;
        EXPECT_NE(n.find(kStamp), std::string::npos) << n;
        EXPECT_EQ(n.find('/'), std::string::npos) << n;
        if (n == std::string("spot_") + kStamp + ".bmp") spot = i;
        if (n.find("_" + rootTile + "-") != std::string::npos) lastCoarse = i;
        if (n.find("_" + rootTile + "_") != std::string::npos && EndsWith(n, ".kml")) firstTile = std::min(firstTile, i);
    }
    EXPECT_LT(lastCoarse, spot);
    EXPECT_LT(nav, spot);
    EXPECT_LT(spot, firstTile);
    EXPECT_LT(firstTile, entries.size());
    // Legends: three spot sizes x three kinds x nine channels, after the navigation document.
    const std::regex legend(std::string("[BMS][WAB][0-8]_") + kStamp + "\\.bmp");
    int legends = 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (std::regex_match(entries[i].name, legend)) {
            ++legends;
            EXPECT_GT(i, lastCoarse);
            EXPECT_LT(i, spot);
        }
    EXPECT_EQ(legends, 81);
    // The root document names the archive after the record file and links the navigation document.
    const std::string& root = Find(entries, "doc.kml")->bytes;
    EXPECT_NE(root.find("<name>2026-06-01  10-00-00  Ch21</name>"), std::string::npos);
    EXPECT_NE(root.find("<b>Samples</b></td><td NOWRAP>600</td>"), std::string::npos);
    EXPECT_NE(root.find(std::string("<href>root_") + kStamp + ".kml</href>"), std::string::npos);
    // Opening it flies to the drive: a view on the area's centre, after the description.
    const std::size_t lookAt = root.find("]]></description>\n<LookAt>\n<longitude>");
    ASSERT_NE(lookAt, std::string::npos);
    EXPECT_LT(lookAt, root.find("<Folder>"));
    const double longitude = std::atof(Between(root, "<longitude>", "</longitude>").at(0).c_str());
    const double latitude = std::atof(Between(root, "<latitude>", "</latitude>").at(0).c_str());
    const double range = std::atof(Between(root, "<range>", "</range>").at(0).c_str());
    EXPECT_NEAR(longitude, o.originLongitude, 0.05);  // a loop of a few kilometres around the origin
    EXPECT_NEAR(latitude, o.originLatitude, 0.05);
    EXPECT_GT(range, 1000.0);
}

TEST(KmzArchiveFile, SamplesWithoutAnyPositionAreLeftOut) {
    TempDir dir;
    SynthRecordOptions o;
    o.samples = 50;
    o.noFixStretches = {{0, 49}};  // one fix: nothing to fill from
    const std::string archive = dir.file("one.kmz");
    ASSERT_EQ(Convert({WriteSynth(dir.path(), o)}, archive).outcome, KmzOutcome::Success);
    const auto entries = ReadArchive(archive);
    ExpectSoundArchive(archive, entries);
    const Entry* style = Find(entries, std::string("BW0_-0_") + kStamp + ".kml");
    ASSERT_NE(style, nullptr);
    EXPECT_NE(style->bytes.find("<b>Sample details:</b>"), std::string::npos);
}

TEST(KmzArchiveFile, SeveralFilesShareOneTableAndOneMap) {
    TempDir dir;
    SynthRecordOptions a;
    a.samples = 200;
    a.description = "first";
    SynthRecordOptions b = a;
    b.description = "second";
    b.frequencyMHz = 690.0;
    b.originLatitude = 48.2;
    const std::string archive = dir.file("multi.kmz");
    ASSERT_EQ(Convert({WriteSynth(dir.path(), a), WriteSynth(dir.path(), b)}, archive).outcome, KmzOutcome::Success);
    const auto entries = ReadArchive(archive);
    ExpectSoundArchive(archive, entries);
    const std::string& root = Find(entries, "doc.kml")->bytes;
    EXPECT_NE(root.find("<b>Name</b></td><td NOWRAP>2026-06-01  10-00-00  first.dtr</td><td NOWRAP>2026-06-01  "
                        "10-00-00  second.dtr</td>"),
              std::string::npos);
    EXPECT_NE(root.find("<b>Frequency</b></td><td NOWRAP>474.000000 MHz</td><td NOWRAP>690.000000 MHz</td>"),
              std::string::npos);
}

TEST(KmzArchiveFile, HostileTextsAreEscapedEverywhere) {
    // Texts as an analyzer or a user could leave them in a record file.
    const char* evil = "R&D <b>bold</b> ]]> \xB5V \xB5s";
    KmzDataSet d = DataSet({Value("Level [dB\xB5V] <&>", 0, 2, "Level"), Value("MER ]]> [dB]", 0, 1)},
                           {Graph("Echo ]]>", 3, "-40", "0")}, {Item("Cell <ID>")}, "/records/R&D <1>.dtr");
    d.files.front().info.push_back(Info("File & <x>", "Key ]]>", evil));
    d.graphs[0].xLabel[0] = '<';
    for (int i = 0; i < 12; ++i)
        AddSample(d, {.latitude = 48.0 + i * 0.001,
                      .longitude = 11.0,
                      .values = {50.0 + i, 20.0},
                      .status = i % 2 ? "No error" : "Tuner <fault> & ]]>",
                      .speed = 30.0,
                      .graphs = {{-10, -20, -30}},
                      .texts = {evil}});
    TempDir dir;
    const MapArea area = CheckedArea(d);
    const std::string archive = dir.file("evil.kmz");
    const KmzWriteResult r = Kmz_WriteArchive(d, Request(d, archive, KmzScope_Default(d)), area, nullptr, {});
    ASSERT_EQ(r.outcome, KmzOutcome::Success) << r.message;
    const auto entries = ReadArchive(archive);
    ExpectSoundArchive(archive, entries);
    std::string all;
    for (const auto& e : entries)
        if (EndsWith(e.name, ".kml")) all += e.bytes;
    EXPECT_EQ(all.find("<b>bold"), std::string::npos);
    EXPECT_EQ(all.find("<fault>"), std::string::npos);
    EXPECT_NE(all.find("R&#38;D &#60;b&#62;bold&#60;/b&#62; ]]&#62; \xC2\xB5V \xC2\xB5s"), std::string::npos);
    EXPECT_NE(all.find("<name>R&#38;D &#60;1&#62;</name>"), std::string::npos);
    EXPECT_NE(all.find("Level [dB\xC2\xB5V] &#60;&#38;&#62;"), std::string::npos);
    // No Latin-1 byte is left: the documents are valid UTF-8 throughout.
    EXPECT_EQ(all.find("\xB5V"), all.find("\xC2\xB5V") + 1);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto c = static_cast<unsigned char>(all[i]);
        if (c == 0xB5) {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(static_cast<unsigned char>(all[i - 1]), 0xC2) << i;
        }
    }
}

// A web globe reads every linked document on its own and looks every
// reference up among the entry names as it stands: it dropped every layer
// document when the balloons lived in style documents beside them, followed
// links between documents in a folder only two documents deep, and fetched
// balloon images ("../V...") from the web server. Now each document holds the
// styles of its placemarks, every entry lies in the root and every reference
// is an entry's name, and a globe that reads the whole archive still sees
// every placemark as before: the same placemarks, colours, icons, positions
// and balloons as the writer that kept its entries in "files/" with style
// documents beside them (count and digest taken from that writer's archive,
// with that folder normalised away on both sides).
TEST(KmzArchiveFile, EveryDocumentStandsAloneAndLooksAsBefore) {
    TempDir dir;
    SynthRecordOptions a;
    a.samples = 120;
    a.noFixStretches = {{50, 20}};
    a.badStatusShare = 0.05;
    SynthRecordOptions b = a;
    b.seed = 2;
    b.frequencyMHz = 522.0;
    b.description = "Ch27";
    const std::string archive = dir.file("two.kmz");
    const KmzWriteResult r = Convert({WriteSynth(dir.path(), a), WriteSynth(dir.path(), b)}, archive,
                                     [](KmzScope& s) { s.kinds = {true, true, true}; });
    ASSERT_EQ(r.outcome, KmzOutcome::Success) << r.message;
    const auto entries = ReadArchive(archive);
    int documents = 0;
    for (const auto& e : entries) {
        EXPECT_NE(e.name.rfind("D_", 0), 0u) << "a style document: " << e.name;
        if (!EndsWith(e.name, ".kml")) continue;
        const KmlDocument doc = ParseKml(e.bytes);
        ASSERT_EQ(doc.error, "") << e.name;
        if (doc.placemarks.empty()) continue;
        ++documents;
        // Every placemark names a style of its own document, and the document holds each style once.
        std::map<std::string, int> uses;
        for (const KmlPlacemark& p : doc.placemarks) {
            ASSERT_EQ(p.styleUrl.rfind('#', 0), 0u) << e.name << ": " << p.styleUrl;
            ASSERT_TRUE(doc.styles.count(p.styleUrl.substr(1))) << e.name << ": " << p.styleUrl;
            ++uses[p.styleUrl.substr(1)];
        }
        EXPECT_EQ(doc.styleIds.size(), doc.styles.size()) << e.name << ": a style twice";
        EXPECT_EQ(uses.size(), doc.styles.size()) << e.name << ": a style no placemark uses";
    }
    EXPECT_GT(documents, 90);  // the coarse levels and the tiles, 3 spot sizes x 3 kinds x 10 channels each
    const auto links = UnresolvedLinks(entries);
    EXPECT_TRUE(links.empty()) << links.size() << " unresolved, first: " << links.front();
    const auto images = UnresolvedImages(entries);
    EXPECT_TRUE(images.empty()) << images.size() << " unresolved, first: " << images.front();
    const auto placemarks = EffectivePlacemarks(entries);
    EXPECT_EQ(placemarks.size(), 43335u);
    EXPECT_EQ(Digest(placemarks), 11075136003591141543ull);
}
