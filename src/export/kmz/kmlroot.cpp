#include "export/kmz/kmlroot.h"

#include "export/kmz/entrynames.h"
#include "export/kmz/kmltext.h"
#include "export/kmz/kmlwriter.h"
#include "export/kmz/tiling.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

constexpr const char* kMissing = "---";
constexpr int kLegendInset = 100;  // pixels from the top of the screen

const DtrInfoEntry* FindItem(const KmzLoadedFile& file, const KmzHeaderItem& item) {
    for (const auto& e : file.info)
        if (Text_View(e.group) == item.group && Text_View(e.key) == item.key) return &e;
    return nullptr;
}

void Merge(std::vector<KmzHeaderItem>& merged, KmzHeaderItem item) {
    std::size_t last = merged.size();
    for (std::size_t i = 0; i < merged.size(); ++i) {
        if (merged[i].group != item.group) continue;
        if (merged[i].key == item.key) return;
        last = i;
    }
    if (last == merged.size()) merged.push_back(std::move(item));
    else merged.insert(merged.begin() + static_cast<std::ptrdiff_t>(last + 1), std::move(item));
}

std::string FileValue(const KmzLoadedFile& file, const KmzHeaderItem& item) {
    if (item.group == kKmzExportGroup && item.key == kKmzManualKFactorKey)
        return file.source.level.manualKFactorUsed ? Text_Format("%.2lf", file.source.level.manualKFactor) : kMissing;
    if (item.group == kKmzExportGroup && item.key == kKmzManualOffsetKey)
        return file.source.level.manualOffsetUsed ? Text_Format("%.2lf", file.source.level.manualOffset) : kMissing;
    const DtrInfoEntry* e = FindItem(file, item);
    return e ? std::string(Text_View(e->value)) : kMissing;
}

void DataRow(std::string& out, std::string_view label, const std::vector<std::string>& values, int& rowCounter) {
    const int columns = static_cast<int>(values.size());
    for (int c = 0; c < columns; ++c) formatHtmlRow(out, label, &values[static_cast<std::size_t>(c)], rowCounter, c, columns);
}

std::string RadioFolder(const char* name, int visibility) {
    return Text_Format(
        "<Folder><name>%s</name><open>%d</open><visibility>%d</visibility>\n<Style><ListStyle><listItemType>"
        "radioFolder</listItemType></ListStyle></Style>\n",
        name, visibility, visibility);
}

std::string Overlay(const char* placement, int x, int y, const char* yunits) {
    return Text_Format("<%s x=\"%d\" y=\"%d\" xunits=\"fraction\" yunits=\"%s\"/>\n", placement, x, y, yunits);
}

bool WriteEntry(KmzEntrySink& sink, const std::string& name, const std::string& text) {
    if (!sink.openEntry(name)) return false;
    const bool written = Kml_Write(sink, text);
    const bool closed = sink.closeEntry();
    return written && closed;
}

}  // namespace

std::vector<KmzHeaderItem> Kmz_MergeHeaderItems(const std::vector<KmzLoadedFile>& files) {
    std::vector<KmzHeaderItem> merged;
    for (const auto& f : files)
        for (const auto& e : f.info) Merge(merged, {std::string(Text_View(e.group)), std::string(Text_View(e.key))});
    for (const auto& f : files) {
        if (f.source.level.manualKFactorUsed) Merge(merged, {kKmzExportGroup, kKmzManualKFactorKey});
        if (f.source.level.manualOffsetUsed) Merge(merged, {kKmzExportGroup, kKmzManualOffsetKey});
    }
    return merged;
}

void formatHtmlRow(std::string& out, std::string_view label, const std::string* value, int& rowCounter, int column,
                   int columnCount) {
    if (value == nullptr) {
        out += "<tr><tr bgcolor=\"#8080FF\"><td NOWRAP><font color=\"#FFFFFF\"><b>" + Kml_Text(label) + "</b></font></td>";
        for (int c = 0; c < columnCount; ++c) out += "<td></td>";
        out += "</tr>\n";
        ++rowCounter;
        return;
    }
    if (column == 0)
        out += Text_Format("<tr><tr bgcolor=\"#%s\"><td NOWRAP><b>%s</b></td>", rowCounter % 2 == 1 ? "F0F0F0" : "E6E6E6",
                           Kml_Text(label).c_str());
    out += "<td NOWRAP>" + Kml_Text(*value) + "</td>";
    if (column == columnCount - 1) {
        out += "</tr>\n";
        ++rowCounter;
    }
}

std::string Kmz_WithoutFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Kmz_FileTable(const std::vector<KmzLoadedFile>& files) {
    std::string out;
    int row = 0;
    const int columns = static_cast<int>(files.size());
    formatHtmlRow(out, "File", nullptr, row, 0, columns);
    std::vector<std::string> values(files.size());
    if (files.size() > 1) {
        for (std::size_t i = 0; i < files.size(); ++i) values[i] = Kmz_WithoutFolder(files[i].source.entry.path);
        DataRow(out, "Name", values, row);
    }
    const std::vector<KmzHeaderItem> merged = Kmz_MergeHeaderItems(files);
    for (const auto& item : merged) {
        if (item.group != "File") continue;
        for (std::size_t i = 0; i < files.size(); ++i) values[i] = FileValue(files[i], item);
        DataRow(out, item.key, values, row);
    }
    for (std::size_t i = 0; i < files.size(); ++i) values[i] = Text_Format("%lld", static_cast<long long>(files[i].sampleCount));
    DataRow(out, "Samples", values, row);
    const std::string* group = nullptr;
    for (const auto& item : merged) {
        if (item.group == "File") continue;
        if (group == nullptr || *group != item.group) {
            formatHtmlRow(out, item.group, nullptr, row, 0, columns);
            group = &item.group;
        }
        for (std::size_t i = 0; i < files.size(); ++i) values[i] = FileValue(files[i], item);
        DataRow(out, item.key, values, row);
    }
    return out;
}

std::string Kml_RootDocument(const KmzExport& ex) {
    std::string name = Kmz_WithoutFolder(ex.data.outputName);
    name = name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
    std::string out = kKmlHeader;
    out += "<name>" + Kml_Text(name) +
           "</name>\n<open>1</open><Style id=\"BalloonStyle\"><BalloonStyle><text>$[description]</text></BalloonStyle>"
           "</Style>\n<description><![CDATA[Korvane Fieldtrace<br>Measurement Results<br><br><br>\n";
    out += "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\">\n";
    out += Kmz_FileTable(ex.data.files);
    char now[64];
    Gui_FormatNow(now, sizeof now);
    out += Text_Format("</table><br><br><br>Exported on %s with software version %.2lf]]></description>\n", now,
                       kSoftwareVersion);
    out += Kml_LookAt(ex.area);  // opening the archive flies to the drive
    out += "<Folder>\n<name>Info</name>\n<Style><ListStyle><listItemType>checkHideChildren</listItemType></ListStyle>"
           "</Style>\n<ScreenOverlay>\n<name>Fieldtrace</name>\n<Icon>\n<href>" +
           KmzEntry_Picture(PICTURE_LOGO, ex.stamp) + "</href>\n</Icon>\n";
    out += Overlay("overlayXY", 0, 1, "fraction") + Overlay("screenXY", 0, 1, "fraction") +
           Overlay("rotationXY", 0, 0, "fraction") + Overlay("size", 0, 0, "fraction");
    out += "</ScreenOverlay>\n</Folder>\n";
    out += formatNetworkLink("Data", ex.area, -1, -1, KmzEntry_Navigation(ex.stamp));
    out += kKmlFooter;
    return out;
}

bool writeRootDocument(KmzExport& ex, const std::string& text) { return WriteEntry(ex.sink, kKmzRootDocument, text); }

bool Kml_WriteRootCopy(KmzExport& ex, const std::string& text) {
    return WriteEntry(ex.sink, KmzEntry_RootCopy(ex.stamp), text);
}

bool writeNavigationDocument(KmzExport& ex) {
    std::string out = std::string(kKmlHeader) + "<open>1</open>";
    int enabledKinds = 0;
    for (bool k : ex.scope.kinds) enabledKinds += k ? 1 : 0;
    int visibility = 1;
    for (int spot = 0; spot < kKmzSpotSizes; ++spot) {
        bool spotOpen = false;
        for (int kind = 0; kind < kKmzKinds; ++kind) {
            if (!ex.scope.kinds[static_cast<std::size_t>(kind)]) continue;
            bool kindOpen = false;
            for (int channel : ex.channels) {
                if (!spotOpen) {
                    out += RadioFolder(Kml_SpotName(spot), visibility);
                    spotOpen = true;
                }
                if (!kindOpen && enabledKinds > 1) {
                    out += RadioFolder(Kml_KindName(kind), visibility);
                    kindOpen = true;
                }
                const std::string prefix = Kmz_LayerPrefix(spot, kind);
                out += Text_Format(
                    "<Folder>\n<name>%s</name><open>0</open><visibility>%d</visibility>\n<Style><ListStyle>"
                    "<listItemType>checkHideChildren</listItemType></ListStyle></Style>\n",
                    Kml_Text(Kmz_ChannelName(ex.data, channel)).c_str(), visibility);
                out += Text_Format("<ScreenOverlay>\n<name>%s%d</name>\n<Icon>\n<href>%s</href>\n</Icon>\n",
                                   prefix.c_str(), channel, KmzEntry_Legend(prefix, channel, ex.stamp).c_str());
                out += Overlay("overlayXY", 0, 1, "fraction") + Overlay("screenXY", 0, kLegendInset, "insetPixels") +
                       Overlay("rotationXY", 0, 0, "fraction") + Overlay("size", 0, 0, "fraction");
                out += "</ScreenOverlay>\n";
                out += Kmz_NavigationLinks(ex, spot, kind, channel);
                out += "</Folder>\n";
                visibility = 0;
            }
            if (kindOpen) out += "</Folder>\n";
        }
        if (spotOpen) out += "</Folder>\n";
    }
    out += kKmlFooter;
    return WriteEntry(ex.sink, KmzEntry_Navigation(ex.stamp), out);
}
