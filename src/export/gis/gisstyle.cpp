#include "export/gis/gisstyle.h"

#include <cstdint>

#include "export/kmz/colours.h"
#include "platform/text.h"

namespace {

constexpr std::uint32_t kInsufficientGrey = 0xA0A0A0;
constexpr std::uint32_t kOutline = 0x505050;
constexpr std::uint32_t kMeasuredDot = 0x1F3A93;
constexpr std::uint32_t kFilledDot = 0x9A9A9A;

std::string Rgba(std::uint32_t rgb, int alpha = 255) {
    return Text_Format("%u,%u,%u,%d", (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, alpha);
}

std::string Option(const char* name, const std::string& value) {
    return std::string("          <Option type=\"QString\" name=\"") + name + "\" value=\"" + value + "\"/>\n";
}

std::string FillSymbol(int index, std::uint32_t colour, bool filled) {
    std::string s = Text_Format("    <symbol type=\"fill\" name=\"%d\" alpha=\"%s\" clip_to_extent=\"1\" force_rhr=\"0\">\n",
                                index, filled ? Text_FormatFixed(kGisClassOpacity, 2).c_str() : "1");
    s += "      <layer class=\"SimpleFill\" enabled=\"1\" pass=\"0\" locked=\"0\">\n        <Option type=\"Map\">\n";
    s += Option("color", Rgba(colour, filled ? 255 : 0));
    s += Option("joinstyle", "bevel");
    s += Option("outline_color", Rgba(kOutline));
    s += Option("outline_style", "solid");
    s += Option("outline_width", "0.1");
    s += Option("outline_width_unit", "MM");
    s += Option("style", filled ? "solid" : "no");
    s += "        </Option>\n      </layer>\n    </symbol>\n";
    return s;
}

std::string MarkerSymbol(int index, std::uint32_t colour) {
    std::string s = Text_Format("    <symbol type=\"marker\" name=\"%d\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">\n", index);
    s += "      <layer class=\"SimpleMarker\" enabled=\"1\" pass=\"0\" locked=\"0\">\n        <Option type=\"Map\">\n";
    s += Option("color", Rgba(colour));
    s += Option("name", "circle");
    s += Option("outline_style", "no");
    s += Option("size", "1.2");
    s += Option("size_unit", "MM");
    s += "        </Option>\n      </layer>\n    </symbol>\n";
    return s;
}

const char* kHead =
    "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
    "<qgis version=\"3.22.16-Bia&#322;owie&#380;a\" styleCategories=\"Symbology\">\n";

}  // namespace

std::uint32_t Gis_ClassColour(CoverageClass c) {
    const KmzColourSet kmz;  // the KMZ map's good, average and bad colours
    switch (c) {
        case CoverageClass::Good: return kmz.good;
        case CoverageClass::Acceptable: return kmz.average;
        case CoverageClass::Poor: return kmz.bad;
        case CoverageClass::Insufficient: return kInsufficientGrey;
        case CoverageClass::None: break;
    }
    return kOutline;
}

std::uint32_t Gis_OutlineColour() { return kOutline; }

std::uint32_t Gis_SampleColour(bool filledIn) { return filledIn ? kFilledDot : kMeasuredDot; }

std::string Gis_CellsStyle() {
    std::string q = kHead;
    q += "  <renderer-v2 type=\"categorizedSymbol\" attr=\"class\" symbollevels=\"0\" enableorderby=\"1\" "
         "forceraster=\"0\" referencescale=\"-1\">\n    <categories>\n"
         "      <category render=\"true\" symbol=\"0\" value=\"good\" label=\"good (&#8805; 95 %)\"/>\n"
         "      <category render=\"true\" symbol=\"1\" value=\"acceptable\" label=\"acceptable (&#8805; 70 %)\"/>\n"
         "      <category render=\"true\" symbol=\"2\" value=\"poor\" label=\"poor (&lt; 70 %)\"/>\n"
         "      <category render=\"true\" symbol=\"3\" value=\"insufficient\" label=\"insufficient samples\"/>\n"
         "      <category render=\"true\" symbol=\"4\" value=\"\" label=\"no threshold\"/>\n"
         "    </categories>\n    <symbols>\n";
    q += FillSymbol(0, Gis_ClassColour(CoverageClass::Good), true);
    q += FillSymbol(1, Gis_ClassColour(CoverageClass::Acceptable), true);
    q += FillSymbol(2, Gis_ClassColour(CoverageClass::Poor), true);
    q += FillSymbol(3, Gis_ClassColour(CoverageClass::Insufficient), true);
    q += FillSymbol(4, kOutline, false);
    q += "    </symbols>\n"
         "    <orderby>\n"
         "      <orderByClause asc=\"1\" nullsFirst=\"1\">CASE \"class\" WHEN 'insufficient' THEN 1 WHEN 'good' THEN 2 "
         "WHEN 'acceptable' THEN 3 WHEN 'poor' THEN 4 ELSE 0 END</orderByClause>\n"
         "    </orderby>\n  </renderer-v2>\n  <layerGeometryType>2</layerGeometryType>\n</qgis>\n";
    return q;
}

std::string Gis_SamplesStyle() {
    std::string q = kHead;
    // QGIS reads the flag as a boolean: categories on an expression of it
    // match whatever type the flag arrives as.
    q += "  <renderer-v2 type=\"categorizedSymbol\" attr=\"CASE WHEN &quot;gap_filled&quot; THEN 'filled' ELSE "
         "'measured' END\" symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\" referencescale=\"-1\">\n"
         "    <categories>\n"
         "      <category render=\"true\" symbol=\"0\" value=\"measured\" label=\"measured position\"/>\n"
         "      <category render=\"true\" symbol=\"1\" value=\"filled\" label=\"filled-in position\"/>\n"
         "    </categories>\n    <symbols>\n";
    q += MarkerSymbol(0, Gis_SampleColour(false));
    q += MarkerSymbol(1, Gis_SampleColour(true));
    q += "    </symbols>\n  </renderer-v2>\n  <layerGeometryType>0</layerGeometryType>\n</qgis>\n";
    return q;
}
