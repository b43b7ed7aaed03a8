#pragma once
// Helpers of the KMZ conversion tests: reading an archive back through
// minizip, checking its KML with a real XML parser (xmllint) and its links
// and bitmaps, and small data sets built in memory.
#include <QByteArray>
#include <QXmlStreamReader>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "export/kmz/aggregation.h"
#include "export/kmz/kmzdriver.h"
#include "export/kmz/kmzload.h"
#include "platform/text.h"
#include "records/statistics.h"
#include "support/testsupport.h"
#include "synthrecord.h"

namespace kmztest {

struct Entry {
    std::string name;
    std::string bytes;
};

inline std::vector<Entry> ReadArchive(const std::string& path) {
    std::vector<Entry> entries;
    unzFile zip = unzOpen(path.c_str());
    if (zip == nullptr) return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024];
        unz_file_info info;
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        Entry e;
        e.name = name;
        e.bytes.resize(info.uncompressed_size);
        if (unzOpenCurrentFile(zip) != UNZ_OK) break;
        const int n = unzReadCurrentFile(zip, e.bytes.data(), static_cast<unsigned>(e.bytes.size()));
        // Closing after the whole entry was read checks its CRC: a wrong one ends the list.
        const bool crcOk = unzCloseCurrentFile(zip) == UNZ_OK;
        if (n != static_cast<int>(e.bytes.size()) || !crcOk) break;
        entries.push_back(std::move(e));
    }
    unzClose(zip);
    return entries;
}

inline const Entry* Find(const std::vector<Entry>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

inline int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

// xmllint's complaints about the KML entries; empty when every one is well-formed.
inline std::string XmlProblems(const std::vector<Entry>& entries) {
    TempDir dir;
    std::string files;
    int n = 0;
    for (const auto& e : entries) {
        if (!EndsWith(e.name, ".kml")) continue;
        const std::string file = dir.file("e" + std::to_string(n++) + ".kml");
        WriteWholeFile(file, std::vector<std::uint8_t>(e.bytes.begin(), e.bytes.end()));
        std::FILE* list = std::fopen(dir.file("names").c_str(), "a");
        std::fprintf(list, "%s %s\n", file.c_str(), e.name.c_str());
        std::fclose(list);
        files += " '" + file + "'";
    }
    if (files.empty()) return "no KML entry";
    const std::string out = dir.file("xmllint.txt");
    if (Run("xmllint --noout" + files + " >'" + out + "' 2>&1") == 0) return {};
    const auto bytes = ReadWholeFile(out);
    const auto names = ReadWholeFile(dir.file("names"));
    return std::string(bytes.begin(), bytes.end()) + std::string(names.begin(), names.end());
}

inline std::string FolderOf(const std::string& name) {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

// The texts between open and close, in order of appearance.
inline std::vector<std::string> Between(const std::string& text, const std::string& open, const std::string& close) {
    std::vector<std::string> out;
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
        at += open.size();
        const std::size_t end = text.find(close, at);
        if (end == std::string::npos) break;
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

// The record file of the synthetic generator for o, written into dir; its path.
inline std::string WriteSynth(const std::string& dir, SynthRecordOptions o) {
    o.outputDirectory = dir;
    std::string path, error;
    EXPECT_TRUE(Synth_WriteRecordFile(o, path, error)) << error;
    return path;
}

// How often part occurs in text (overlaps counted).
inline int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Every <href> of the KML entries that is not exactly the name of an entry,
// and every <styleUrl> that names no style of its own document. A web globe
// looks a reference up among the entry names as it stands, at any depth of
// links, and reads each document on its own: a style in another entry it
// resolves outside the archive.
inline std::vector<std::string> UnresolvedLinks(const std::vector<Entry>& entries) {
    std::set<std::string> names;
    for (const auto& e : entries) names.insert(e.name);
    std::vector<std::string> missing;
    for (const auto& e : entries) {
        if (!EndsWith(e.name, ".kml")) continue;
        for (const auto& href : Between(e.bytes, "<href>", "</href>"))
            if (!names.count(href)) missing.push_back(e.name + " -> " + href);
        const auto urls = Between(e.bytes, "<styleUrl>", "</styleUrl>");
        if (urls.empty()) continue;
        const auto ids = Between(e.bytes, "<Style id=\"", "\">");
        const std::set<std::string> own(ids.begin(), ids.end());
        for (const auto& url : urls)
            if (url.empty() || url[0] != '#' || !own.count(url.substr(1))) missing.push_back(e.name + " -> " + url);
    }
    return missing;
}

// Every image source of the balloons (src="...") that is not exactly the name
// of an entry: a web globe looks it up among the entry names as it stands.
inline std::vector<std::string> UnresolvedImages(const std::vector<Entry>& entries) {
    std::set<std::string> names;
    for (const auto& e : entries) names.insert(e.name);
    std::vector<std::string> missing;
    for (const auto& e : entries) {
        if (!EndsWith(e.name, ".kml")) continue;
        for (const auto& src : Between(e.bytes, "src=\"", "\""))
            if (!names.count(src)) missing.push_back(e.name + " -> " + src);
    }
    return missing;
}

// FNV-1a, 64 bits: a digest that is the same on every platform.
inline std::uint64_t Digest(std::string_view text, std::uint64_t h = 14695981039346656037ull) {
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    return h;
}
inline std::uint64_t Digest(const std::vector<std::string>& lines) {
    std::uint64_t h = Digest("");
    for (const auto& line : lines) h = Digest(line + "\n", h);
    return h;
}

// One KML document as a viewer reads it (QXmlStreamReader, a real parser):
// its shared styles with their balloon texts and its placemarks.
struct KmlPlacemark {
    std::string id, styleUrl, colour, scale, icon, coordinates;
};
struct KmlDocument {
    std::string error;                         // the parser's complaint; empty when well-formed
    std::map<std::string, std::string> styles; // id -> balloon text
    std::vector<std::string> styleIds;         // in order, repeats kept
    std::vector<KmlPlacemark> placemarks;
};

inline KmlDocument ParseKml(const std::string& bytes) {
    KmlDocument doc;
    QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    std::vector<std::string> path;  // open elements
    std::string styleId;            // of the shared style being read
    KmlPlacemark* placemark = nullptr;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const std::string name = xml.name().toString().toStdString();
            if (name == "Style" && path.size() == 2 && path.back() == "Document") {
                styleId = xml.attributes().value("id").toString().toStdString();
                doc.styleIds.push_back(styleId);
            } else if (name == "Placemark") {
                doc.placemarks.emplace_back();
                placemark = &doc.placemarks.back();
                placemark->id = xml.attributes().value("id").toString().toStdString();
            }
            path.push_back(name);
        } else if (token == QXmlStreamReader::EndElement) {
            if (path.back() == "Placemark") placemark = nullptr;
            path.pop_back();
        } else if (token == QXmlStreamReader::Characters) {
            const std::string text = xml.text().toString().toStdString();
            const std::string& here = path.empty() ? std::string() : path.back();
            if (here == "text" && !styleId.empty() && placemark == nullptr) doc.styles[styleId] += text;
            if (placemark == nullptr) continue;
            if (here == "styleUrl") placemark->styleUrl += text;
            if (here == "color") placemark->colour += text;
            if (here == "scale") placemark->scale += text;
            if (here == "href") placemark->icon += text;
            if (here == "coordinates") placemark->coordinates += text;
        }
    }
    if (xml.hasError()) doc.error = xml.errorString().toStdString();
    return doc;
}

// A name or text of the archive with the former folder of its entries taken
// out: "files/X" becomes "X", and a balloon image "../X" from a document in
// that folder becomes "X". Archives of either layout then compare equal.
inline std::string WithoutEntryFolder(std::string text) {
    if (text.rfind("files/", 0) == 0) text.erase(0, 6);
    for (std::size_t at = text.find("src=\"../"); at != std::string::npos; at = text.find("src=\"../", at))
        text.erase(at + 5, 3);
    return text;
}

// Every placemark of the archive as a globe shows it, one line each, sorted:
// layer document, id, colour, scale, icon, position and the balloon text of
// the style its styleUrl names, as a digest (resolved inside the document
// for "#id", in the named entry beside it otherwise; "<unresolved>" when it
// names none). Entry names and balloons go through WithoutEntryFolder.
inline std::vector<std::string> EffectivePlacemarks(const std::vector<Entry>& entries) {
    std::map<std::string, KmlDocument> docs;
    for (const auto& e : entries)
        if (EndsWith(e.name, ".kml")) docs.emplace(e.name, ParseKml(e.bytes));
    std::vector<std::string> lines;
    for (const auto& [name, doc] : docs)
        for (const KmlPlacemark& p : doc.placemarks) {
            const std::size_t hash = p.styleUrl.find('#');
            const KmlDocument* holder = nullptr;
            if (hash == 0) holder = &doc;
            else if (hash != std::string::npos) {
                auto it = docs.find(FolderOf(name) + p.styleUrl.substr(0, hash));
                if (it != docs.end()) holder = &it->second;
            }
            std::string balloon = "<unresolved>";
            if (holder != nullptr && hash != std::string::npos) {
                auto style = holder->styles.find(p.styleUrl.substr(hash + 1));
                if (style != holder->styles.end()) balloon = std::to_string(Digest(WithoutEntryFolder(style->second)));
            }
            lines.push_back(WithoutEntryFolder(name) + "|" + p.id + "|" + p.colour + "|" + p.scale + "|" + p.icon + "|" + p.coordinates +
                            "|" + balloon);
        }
    std::sort(lines.begin(), lines.end());
    return lines;
}

inline std::uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// What is wrong with a BMP entry's headers; empty when they are sound.
inline std::string BmpProblem(const Entry& e) {
    const std::string& b = e.bytes;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return e.name + ": no BMP header";
    const std::uint32_t width = U32(b, 18), height = U32(b, 22);
    const std::uint32_t image = U32(b, 34);
    if (U32(b, 2) != b.size() || U32(b, 10) != 54 || U32(b, 14) != 40) return e.name + ": sizes";
    if (width == 0 || height == 0 || width > 10000 || height > 10000) return e.name + ": dimensions";
    if ((U32(b, 26) & 0xFFFF) != 1 || (U32(b, 26) >> 16) != 32 || U32(b, 30) != 0) return e.name + ": format";
    if (image != width * 4 * height || image + 54 != b.size()) return e.name + ": image size";
    return {};
}

// --- data sets built in memory ---

inline DtrValueDescriptor Value(const char* longName, int kind, int decimals, const char* name = nullptr) {
    DtrValueDescriptor v{};
    Text_Copy(v.group, "Values");
    Text_Copy(v.name, name ? name : longName);
    Text_Copy(v.longName, longName);
    v.decimals = decimals;
    v.displayKind = kind;
    return v;
}

inline DtrGraphDescriptor Graph(const char* longName, int points, const char* yMin, const char* yMax) {
    DtrGraphDescriptor g{};
    Text_Copy(g.group, "Graphs");
    Text_Copy(g.name, longName);
    Text_Copy(g.longName, longName);
    g.points = points;
    Text_Copy(g.xLabel, "Time [\xB5s]");
    Text_Copy(g.xMin, "-250");
    Text_Copy(g.xMax, "250");
    Text_Copy(g.yLabel, "Power [dB]");
    Text_Copy(g.yMin, yMin);
    Text_Copy(g.yMax, yMax);
    return g;
}

inline DtrItemDescriptor Item(const char* longName, int width = 20) {
    DtrItemDescriptor t{};
    Text_Copy(t.group, "Parameters");
    Text_Copy(t.name, longName);
    Text_Copy(t.longName, longName);
    t.width = width;
    return t;
}

inline DtrInfoEntry Info(const char* group, const char* key, const char* value) {
    DtrInfoEntry e{};
    Text_Copy(e.group, group);
    Text_Copy(e.key, key);
    Text_Copy(e.value, value);
    return e;
}

// A data set with the given channels and one source file named path.
inline KmzDataSet DataSet(std::vector<DtrValueDescriptor> values, std::vector<DtrGraphDescriptor> graphs = {},
                          std::vector<DtrItemDescriptor> items = {}, const std::string& path = "/data/drive.dtr") {
    KmzDataSet d;
    d.values = std::move(values);
    d.graphs = std::move(graphs);
    d.items = std::move(items);
    d.itemTexts.resize(d.items.size());
    d.statistics = Recording_NewStatistics(d.mapChannels());
    d.statusTexts.push_back(kStatusNoError);
    d.outputName = path;
    KmzLoadedFile f;
    f.source.entry.path = path;
    f.info = {Info("File", "Description", "drive"), Info("File", "Created", "01.06.2026 10:00:00"),
              Info("File", "Standard", "DVB-T / DVB-H")};
    d.files.push_back(std::move(f));
    return d;
}

struct SampleSpec {
    double latitude = 48.0;
    double longitude = 11.0;
    std::vector<double> values;         // one value per channel, all valid; NaN for an invalid one
    std::string status = kStatusNoError;
    double speed = -1.0;
    std::uint8_t position = kKmzGpsPosition;
    std::vector<std::vector<float>> graphs;  // per graph its points; empty: invalid
    std::vector<std::string> texts;          // per text channel; empty: invalid
    double time = 0.0;
};

inline std::uint32_t InternText(std::vector<std::string>& table, const std::string& text) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == text) return static_cast<std::uint32_t>(i + 1);
    table.push_back(text);
    return static_cast<std::uint32_t>(table.size());
}

inline void AddSample(KmzDataSet& d, const SampleSpec& row) {
    KmzSample s;
    s.latitude = row.latitude;
    s.longitude = row.longitude;
    s.speed = row.speed;
    s.position = row.position;
    s.time = row.time;
    s.status = static_cast<std::int32_t>(InternText(d.statusTexts, row.status) - 1);
    for (std::size_t i = 0; i < d.values.size(); ++i) {
        const double v = i < row.values.size() ? row.values[i] : 0.0;
        const bool valid = i < row.values.size() && v == v;
        d.sampleValues.push_back(valid ? 1.0 : 0.0);
        d.sampleValues.push_back(valid ? v : 0.0);
        updateStatistics(d.statistics[i + 1], d.values[i].displayKind, valid ? 1.0 : 0.0, valid ? v : 0.0);
    }
    for (std::size_t g = 0; g < d.graphs.size(); ++g) {
        const double yMin = std::atof(d.graphs[g].yMin), yMax = std::atof(d.graphs[g].yMax);
        bool any = false;
        for (int j = 0; j < d.graphs[g].points; ++j) {
            std::uint8_t level = kKmzNoLevel;
            if (g < row.graphs.size() && static_cast<std::size_t>(j) < row.graphs[g].size())
                level = KmzLoad_GraphLevel(row.graphs[g][static_cast<std::size_t>(j)], yMin, yMax);
            if (level == kKmzNoLevel) continue;
            d.graphCounters.push_back(KmzLoad_GraphCounter(j, d.graphs[g].points, level));
            any = true;
        }
        d.graphUsable.push_back(any ? 1 : 0);
        d.graphStart.push_back(d.graphCounters.size());
    }
    for (std::size_t t = 0; t < d.items.size(); ++t) {
        const bool has = t < row.texts.size() && !row.texts[t].empty();
        d.sampleTexts.push_back(has ? InternText(d.itemTexts[t], row.texts[t]) : 0);
    }
    if (row.position == kKmzGpsPosition) {
        d.hasRecordedPosition = true;
        if (s.speed != -1.0) d.maxSpeedKmh = std::max(d.maxSpeedKmh, s.speed);
    }
    d.samples.push_back(s);
    d.files.front().sampleCount += 1;
}

// Loads record files as the conversion does (dBuV, no manual settings); the area when they converted.
inline bool LoadRecordFiles(const std::vector<std::string>& paths, KmzDataSet& data, MapArea& area,
                            std::string& message) {
    std::vector<KmzSourceFile> files;
    for (const auto& p : paths) {
        KmzSourceFile f;
        FileSelection_ReadEntry(p, f.entry);
        files.push_back(f);
    }
    if (!KmzLoad_ReadHeaders(files, kKmzUnitDbuV, "/records", data, message)) return false;
    const KmzLoadOutcome outcome = KmzLoad_ReadSamples(data, nullptr, {});
    return Kmz_CheckLoaded(data, outcome, message, area);
}

// An open archive and an export context (stamp "ST") over a data set, with
// anchors 0 / 50 / 100 on every channel; cells are aggregated or split one
// call at a time.
struct ExportBench {
    TempDir dir;
    KmzArchive archive;
    KmzDataSet data;
    KmzScope scope;
    std::unique_ptr<KmzEntrySink> sink;
    std::unique_ptr<KmzExport> ex;

    explicit ExportBench(KmzDataSet d) : data(std::move(d)), scope(KmzScope_Default(data)) {
        EXPECT_TRUE(kmzOpenArchive(path().c_str(), kKmzBufferCapacity, archive, kKmzDeflateInline));
        sink = std::make_unique<KmzEntrySink>(archive, false);
        reset();
    }
    std::string path() const { return dir.file("bench.kmz"); }
    // A new export context after a change of the scope.
    void reset() {
        ex = std::make_unique<KmzExport>(*sink, data, scope);
        ex->stamp = "ST";
        KmzExport_Prepare(*ex);
        for (auto& a : ex->anchors) a = {0.0, 50.0, 100.0};
    }
    static MapCell Cell(std::vector<std::int32_t> samples, const char* id = "00") {
        MapCell c;
        c.samples = std::move(samples);
        c.cellId = id;
        return c;
    }
    MapCell Aggregated(std::vector<std::int32_t> samples, const char* id = "00") {
        MapCell c = Cell(std::move(samples), id);
        c.area = {1.0, 0.01, 0.01, 11.5, 48.25};
        EXPECT_TRUE(aggregateCell(*ex, c));
        return c;
    }
    std::vector<Entry> Close() {
        EXPECT_TRUE(kmzCloseArchive(archive));
        return ReadArchive(path());
    }
};

// The map area of a data set that passes the checks after loading.
inline MapArea CheckedArea(KmzDataSet& d) {
    MapArea area;
    std::string message;
    EXPECT_TRUE(Kmz_CheckLoaded(d, KmzLoadOutcome::Loaded, message, area)) << message;
    return area;
}

// Anchors from the data (the "Auto" button) for every channel.
inline KmzWriteRequest Request(const KmzDataSet& d, const std::string& archivePath, const KmzScope& scope) {
    KmzWriteRequest r;
    r.archivePath = archivePath;
    r.scope = scope;
    r.stamp = "0123456789ABCDEF";
    KmzColourMemoryView view;
    const KmzColourScope cs = Kmz_ColourScope(d, scope);
    autoAssignAnchors(cs, view);
    validateColourScales(cs, view, r.anchors);
    r.colours = view.colours();
    return r;
}

}  // namespace kmztest
