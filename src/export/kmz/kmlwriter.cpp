#include "export/kmz/kmlwriter.h"

#include <algorithm>

#include "export/kmz/entrynames.h"
#include "export/kmz/kmltext.h"
#include "platform/text.h"

namespace {

constexpr const char* kNoValueColour = "c0c0c0";
constexpr const char* kTableOpen = "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\">\n";
constexpr int kEnoughValues = 10;
constexpr int kListedShares = 4;  // texts and states shown before "Others"

constexpr const char* kValueHeader =
    "<tr><tr bgcolor=\"#8080FF\"><td NOWRAP><font color=\"#FFFFFF\"><b>Measurement</b></font></td><td NOWRAP><font "
    "color=\"#FFFFFF\"><b>Validity</b></font></td><td NOWRAP><font color=\"#FFFFFF\"><b>Worst</b></font></td><td "
    "NOWRAP><font color=\"#FFFFFF\"><b>Average</b></font></td><td NOWRAP><font "
    "color=\"#FFFFFF\"><b>Best</b></font></td><td NOWRAP><font color=\"#FFFFFF\"><b>Distribution</b></font></td></tr>\n";

// A value as the balloon prints it, with the class colour of the printed value.
struct ShownValue {
    std::string text;
    std::string colour;
};

ShownValue Show(const KmzExport& ex, int channel, double value, int decimals) {
    ShownValue v;
    v.text = Text_FormatFixed(value, decimals);
    double printed = value;
    Text_ParseDouble(v.text, printed);
    v.colour = classColourText(classColour(ex.anchors[static_cast<std::size_t>(channel)], ex.colours, printed));
    return v;
}

void AppendTitle(std::string& out, const MapCell& cell) {
    if (cell.sampleCount < 2) {
        out += Text_Format("<b>Sample details%s</b><br><br>", cell.interpolated >= 1 ? " (interpolated GPS coordinates):" : ":");
    } else {
        const std::string with =
            cell.interpolated >= 1 ? Text_Format(" (%d with interpolated GPS coordinates):", cell.interpolated) : ":";
        out += Text_Format("<b>Details for the %d aggregated samples%s</b><br><br>", cell.sampleCount, with.c_str());
    }
    out += kTableOpen;
    out += kValueHeader;
}

// bitmaps: the cell id the cell's distribution bitmaps are named after.
//
// A balloon names its images by their bare entry names. Resolved against the
// document that holds the balloon, as KML resolves a relative reference, that
// is the bitmap beside it in the archive's root; a web globe that looks the
// text up among the entry names finds it as it stands, and so does a reader
// that resolves it against "doc.kml". (The former "../V..." from a document in
// "files/" pointed at the archive's root, where no bitmap was: only a reading
// that treats the document itself as a folder found it.)
void AppendValueRow(std::string& out, const KmzExport& ex, const MapCell& cell, const std::string& bitmaps, int channel,
                    int row) {
    const KmzDataSet& d = ex.data;
    const CellStatistics& st = cell.statistics[static_cast<std::size_t>(channel)];
    const int decimals = Kmz_Decimals(d, channel);
    ShownValue worst{"---", kNoValueColour}, average{"---", kNoValueColour}, best{"---", kNoValueColour};
    if (st.validCount > 0) {
        worst = Show(ex, channel, st.worst, decimals);
        average = Show(ex, channel, st.average, std::max(decimals, 2));
        best = Show(ex, channel, st.best, decimals);
    }
    const double validity = st.count > 0 ? st.validCount * 100.0 / st.count : 0.0;
    out += Text_Format(
        "<tr bgcolor=\"#%s\"><td NOWRAP><font color=\"#c0c0c0\"><b>%s</b></font></td><td NOWRAP><font "
        "color=\"#c0c0c0\"><b>%.1lf%%</b></font></td><td NOWRAP><font color=\"#%s\"><b>%s</b></font></td><td "
        "NOWRAP><font color=\"#%s\"><b>%s</b></font></td><td NOWRAP><font color=\"#%s\"><b>%s</b></font></td>",
        row % 2 == 0 ? "202020" : "404040", Kml_Text(Kmz_ChannelName(d, channel)).c_str(), validity,
        worst.colour.c_str(), worst.text.c_str(), average.colour.c_str(), average.text.c_str(), best.colour.c_str(),
        best.text.c_str());
    if (Kmz_RatingKind(d, channel) == kKmzRateState)
        out += "<td NOWRAP ALIGN=center><font color=\"#c0c0c0\">Not applicable</font></td></tr>\n";
    else if (st.validCount < kEnoughValues)
        out += "<td NOWRAP ALIGN=center><font color=\"#c0c0c0\">Not enough values available</font></td></tr>\n";
    else
        out += "<td><font color=\"#c0c0c0\"><img alt=\"GE 6.0+ required!\" src=\"" +
               KmzEntry_ValueBitmap(channel, bitmaps, ex.stamp) + "\" width=\"100\" height=\"40\"></font></td></tr>\n";
}

void AppendGraph(std::string& out, const KmzExport& ex, const MapCell& cell, const std::string& bitmaps, int g) {
    const DtrGraphDescriptor& graph = ex.data.graphs[static_cast<std::size_t>(g)];
    const double validity = cell.graphValidity[static_cast<std::size_t>(g)];
    out += "<br>";
    out += kTableOpen;
    out += Text_Format(
        "<tr bgcolor=\"#8080FF\"><td NOWRAP><font color=\"#FFFFFF\"><b>%s</b></font></td></tr>\n<tr "
        "bgcolor=\"#404040\"><td NOWRAP><font color=\"#c0c0c0\"><b>Validity %.1lf%%</b></font></td></tr>\n<tr "
        "bgcolor=\"#000000\"><td>",
        Kml_Text(Text_View(graph.longName)).c_str(), validity);
    out += "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\">\n<tr><tr bgcolor=\"#000000\"><td>";
    out += Text_Format(
        "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" height=\"200\">\n<tr bgcolor=\"#000000\"><td NOWRAP "
        "VALIGN=top ALIGN=right><font color=\"#FFFFFF\">%s</font></td></tr>\n<tr bgcolor=\"#000000\"><td NOWRAP "
        "ALIGN=right><font color=\"#FFFFFF\">%s</font></td></tr>\n<tr bgcolor=\"#000000\"><td NOWRAP VALIGN=bottom "
        "ALIGN=right><font color=\"#FFFFFF\">%s</font></td></tr></table>\n",
        Kml_Text(Text_View(graph.yMax)).c_str(), Kml_Text(Text_View(graph.yLabel)).c_str(),
        Kml_Text(Text_View(graph.yMin)).c_str());
    if (validity > 0.0)
        out += "</td><td><font color=\"#c0c0c0\"><img alt=\"GE 6.0+ required!\" src=\"" +
               KmzEntry_GraphBitmap(g, bitmaps, ex.stamp) +
               "\" width=\"400\" height=\"200\"></font></td><td><img src=\"" +
               KmzEntry_Picture(PICTURE_INTENSITY, ex.stamp) + "\" width=\"20\" height=\"200\"></td><td>";
    else
        out += "</td><td align=center valign=middle><b><font color=\"#FFFFFF\">---</b></font></td><td></td><td>";
    out +=
        "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" height=\"200\">\n<tr bgcolor=\"#000000\"><td NOWRAP "
        "VALIGN=top ALIGN=left><font color=\"#FFFFFF\">Max</font></td></tr>\n<tr bgcolor=\"#000000\"><td NOWRAP "
        "VALIGN=bottom ALIGN=left><font color=\"#FFFFFF\">Min</font></td></tr></table></td></tr>\n";
    out += Text_Format(
        "<tr bgcolor=\"#000000\"><td></td><td><table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" "
        "width=\"400\">\n<tr bgcolor=\"#000000\"><td NOWRAP ALIGN=left><font color=\"#FFFFFF\">%s</font></td><td NOWRAP "
        "ALIGN=center><font color=\"#FFFFFF\">%s</font></td><td NOWRAP ALIGN=right><font "
        "color=\"#FFFFFF\">%s</font></td></tr></table></td><td></td><td></td></tr></table>\n</td></tr>\n</table>",
        Kml_Text(Text_View(graph.xMin)).c_str(), Kml_Text(Text_View(graph.xLabel)).c_str(),
        Kml_Text(Text_View(graph.xMax)).c_str());
}

// "text (share %)" of the channel's most frequent texts, "<br>"-separated, then "Others".
std::string TextDistribution(const KmzExport& ex, const MapCell& cell, int t) {
    if (cell.parameterValidity[static_cast<std::size_t>(t)] <= 0.0) return "---";
    std::string out;
    int listed = 0;
    double listedShare = 0.0;
    bool more = false;
    for (const KmzTextShare& s : cell.parameterTexts) {
        if (s.channel != t) continue;
        if (listed == kListedShares) {
            more = true;
            break;
        }
        const std::string& text = ex.data.itemTexts[static_cast<std::size_t>(t)][s.text - 1];
        if (listed > 0) out += "<br>";
        out += Text_Format("%s (%.1lf %%)", Kml_Text(text).c_str(), s.share);
        listedShare += s.share;
        ++listed;
    }
    if (more) out += Text_Format("<br>Others (%.1lf %%)", 100.0 - listedShare);
    return out;
}

void AppendParameters(std::string& out, const KmzExport& ex, const MapCell& cell, const std::vector<int>& channels) {
    out += "<br>";
    out += kTableOpen;
    out += "<tr><tr bgcolor=\"#8080FF\"><td NOWRAP><font color=\"#FFFFFF\"><b>Parameter</b></font></td><td "
           "NOWRAP><font color=\"#FFFFFF\"><b>Validity</b></font></td><td NOWRAP><font "
           "color=\"#FFFFFF\"><b>Distribution</b></font></td></tr>";
    int row = 0;
    for (int t : channels) {
        out += Text_Format(
            "<tr bgcolor=\"#%s\"><td NOWRAP><font color=\"#c0c0c0\"><b>%s</b></font></td><td NOWRAP><font "
            "color=\"#c0c0c0\"><b>%.1lf%%</b></font></td><td NOWRAP><font color=\"#c0c0c0\"><b>%s</b></font></td></tr>\n",
            row % 2 == 0 ? "404040" : "808080", Kml_Text(Text_View(ex.data.items[static_cast<std::size_t>(t)].longName)).c_str(),
            cell.parameterValidity[static_cast<std::size_t>(t)], TextDistribution(ex, cell, t).c_str());
        ++row;
    }
    out += "</table>";
}

void AppendStates(std::string& out, const KmzExport& ex, const MapCell& cell) {
    out += "<br>";
    out += kTableOpen;
    out += "<tr><tr bgcolor=\"#8080FF\"><td NOWRAP><font color=\"#FFFFFF\"><b>Receiver Status</b></font></td><td></td></tr>";
    double listedShare = 0.0;
    for (std::size_t k = 0; k < cell.status.size() && k < kListedShares; ++k) {
        const KmzStatusShare& s = cell.status[k];
        out += Text_Format(
            "<tr bgcolor=\"#%s\"><td NOWRAP><font color=\"#c0c0c0\"><b>%s</b></font></td><td NOWRAP><font "
            "color=\"#c0c0c0\"><b>%.1lf%%</b></font></td></tr>\n",
            (k + 1) % 2 == 0 ? "808080" : "404040",
            Kml_Text(ex.data.statusTexts[static_cast<std::size_t>(s.status)]).c_str(), s.share);
        listedShare += s.share;
    }
    if (cell.status.size() > kListedShares)
        out += Text_Format(
            "<tr bgcolor=\"#%s\"><td NOWRAP><font color=\"#c0c0c0\"><b>Others</b></font></td><td NOWRAP><font "
            "color=\"#c0c0c0\"><b>%.1lf%%</b></font></td></tr>\n",
            (kListedShares + 1) % 2 == 0 ? "808080" : "404040", 100.0 - listedShare);
}

// Calls use(style id, cell) for every cell with a placemark, in list order; false when a call is.
template <typename Use>
bool ForEachStyle(const std::vector<MapCell>& cells, Use use) {
    for (std::size_t n = 0; n < cells.size(); ++n)
        if (Kml_HasPlacemark(cells[n]) && !use(Kml_StyleId(cells[n], static_cast<int>(n + 1)), cells[n])) return false;
    return true;
}

std::vector<int> Selected(const std::vector<std::uint8_t>& flags, std::size_t count) {
    std::vector<int> out;
    for (std::size_t i = 0; i < count && i < flags.size(); ++i)
        if (flags[i]) out.push_back(static_cast<int>(i));
    return out;
}

}  // namespace

const char* Kml_SpotName(int spotSize) {
    static const char* const names[] = {"Big spot", "Medium spot", "Small spot"};
    return names[std::clamp(spotSize, 0, 2)];
}
double Kml_SpotScale(int spotSize) {
    static const double scales[] = {0.9, 0.6, 0.3};
    return scales[std::clamp(spotSize, 0, 2)];
}
double Kml_SpotAltitude(int spotSize) {
    static const double altitudes[] = {10.0, 11.0, 12.0};
    return altitudes[std::clamp(spotSize, 0, 2)];
}
const char* Kml_KindName(int kind) {
    static const char* const names[] = {"Worst value indicator", "Average value indicator", "Best value indicator"};
    return names[std::clamp(kind, 0, 2)];
}
const char* Kml_KindTitle(int kind) {
    static const char* const titles[] = {"Worst", "Average", "Best"};
    return titles[std::clamp(kind, 0, 2)];
}

std::string Kml_StyleId(const MapCell& cell, int position) {
    if (cell.styleDoc.empty()) return "BS_" + std::to_string(position);
    return "D_" + cell.styleDoc + "_BS_" + std::to_string(cell.styleIndex);
}

bool Kml_HasPlacemark(const MapCell& cell) { return !cell.styleDoc.empty() || cell.aggregated; }

std::string Kml_BalloonStyle(const KmzExport& ex, const std::string& id, const MapCell& cell) {
    std::string out = "<Style id=\"" + id + "\"><BalloonStyle><text><![CDATA[";
    // The bitmaps were written under the id of the cell that was aggregated.
    const std::string& bitmaps = cell.styleCell.empty() ? cell.cellId : cell.styleCell;
    int row = 0;
    for (int channel : ex.channels) {
        if (row == 0) AppendTitle(out, cell);
        AppendValueRow(out, ex, cell, bitmaps, channel, row++);
    }
    if (row > 0) out += "</table>";
    for (int g : Selected(ex.scope.graphs, ex.data.graphs.size())) AppendGraph(out, ex, cell, bitmaps, g);
    const std::vector<int> parameters = Selected(ex.scope.parameters, ex.data.items.size());
    if (!parameters.empty()) AppendParameters(out, ex, cell, parameters);
    AppendStates(out, ex, cell);
    out += "</table>]]>\n</text>\n</BalloonStyle></Style>\n";
    return out;
}

bool writeBalloonStyle(KmzExport& ex, const std::string& id, const MapCell& cell) {
    return Kml_Write(ex.sink, Kml_BalloonStyle(ex, id, cell));
}

bool writeDocumentStyles(KmzExport& ex, const std::vector<MapCell>& cells) {
    return ForEachStyle(cells, [&](const std::string& id, const MapCell& cell) {
        return !ex.isCancelled() && writeBalloonStyle(ex, id, cell);
    });
}

bool Kml_FormatDocumentStyles(const KmzExport& ex, const std::vector<MapCell>& cells, std::size_t budget,
                              std::string& text) {
    text.clear();
    const bool fits = ForEachStyle(cells, [&](const std::string& id, const MapCell& cell) {
        text += Kml_BalloonStyle(ex, id, cell);
        return text.size() <= budget;
    });
    if (!fits) text = {};
    return fits;
}

std::string Kml_PlacemarkColour(const KmzExport& ex, const MapCell& cell, int kind, int channel) {
    const CellStatistics& st = cell.statistics[static_cast<std::size_t>(channel)];
    std::string rgb = kNoValueColour;
    if (st.validCount > 0) {
        const double value = kind == kKmzWorst ? st.worst : kind == kKmzAverage ? st.average : st.best;
        rgb = classColourText(classColour(ex.anchors[static_cast<std::size_t>(channel)], ex.colours, value));
    }
    return std::string(cell.hasInterpolated() ? "80" : "ff") + rgb.substr(4, 2) + rgb.substr(2, 2) + rgb.substr(0, 2);
}

bool writePlacemarkFolder(KmzExport& ex, const std::string& region, int spotSize, int kind, int channel,
                          const std::string& tilePath, const std::vector<MapCell>& cells) {
    const std::string prefix = Kmz_LayerPrefix(spotSize, kind);
    std::string out = Text_Format("<Folder><name>PMs %s%d_%s_%s</name><visibility>1</visibility>", prefix.c_str(),
                                  channel, tilePath.c_str(), ex.stamp.c_str());
    out += region;
    out += "\n";
    if (!Kml_Write(ex.sink, out)) return false;
    const double scale = Kml_SpotScale(spotSize), altitude = Kml_SpotAltitude(spotSize);
    const std::string spot = KmzEntry_Picture(PICTURE_SPOT, ex.stamp);
    for (std::size_t n = 0; n < cells.size(); ++n) {
        if (ex.isCancelled()) return false;
        const MapCell& cell = cells[n];
        if (!Kml_HasPlacemark(cell)) continue;
        // Formatted piece by piece: a layer holds thousands of placemarks.
        const int position = static_cast<int>(n + 1);
        out.clear();
        out.append("<Placemark id=\"").append(tilePath).append("_").append(std::to_string(position)).append("_(");
        out.append(cell.cellId).append(")_").append(ex.stamp).append("\">\n<styleUrl>#");
        out.append(Kml_StyleId(cell, position)).append("</styleUrl>\n");
        out.append("<Style><IconStyle>\n<color>").append(Kml_PlacemarkColour(ex, cell, kind, channel));
        out.append("</color>\n<scale>");
        Text_AppendFixed(out, scale, 1);
        out.append("</scale>\n<Icon>\n<href>").append(spot);
        out.append("</href>\n</Icon>\n</IconStyle>\n</Style>\n<Point>\n<altitudeMode>relativeToGround</altitudeMode>\n");
        out.append("<coordinates>\n");
        Text_AppendFixed(out, cell.area.centreLongitude, 6);
        out += ',';
        Text_AppendFixed(out, cell.area.centreLatitude, 6);
        out += ',';
        Text_AppendFixed(out, altitude, 1);
        out.append("\n</coordinates>\n</Point>\n</Placemark>\n");
        if (!Kml_Write(ex.sink, out)) return false;
    }
    return Kml_Write(ex.sink, "</Folder>\n");
}

bool Kml_WriteLayerDocument(KmzExport& ex, int spotSize, int kind, int channel, const std::string& tilePath,
                            const std::string& documentName, const std::string* styles, const std::string& links,
                            const std::string& region, const std::vector<MapCell>& cells) {
    if (!ex.sink.openEntry(KmzEntry_Layer(spotSize, kind, channel, tilePath, ex.stamp))) return false;
    const bool written = Kml_Write(ex.sink, std::string(kKmlHeader) + "<name>" + documentName + "</name>\n") &&
                         (styles ? Kml_Write(ex.sink, *styles) : writeDocumentStyles(ex, cells)) &&
                         Kml_Write(ex.sink, links) &&
                         writePlacemarkFolder(ex, region, spotSize, kind, channel, tilePath, cells) &&
                         Kml_Write(ex.sink, kKmlFooter);
    const bool closed = ex.sink.closeEntry();
    return written && closed;
}
