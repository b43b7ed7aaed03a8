#include "export/csv/csvformat.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/text.h"

namespace {

constexpr double kMilesPerKm = 1.609344;
// Trace points this far from the graph's bottom are the analyzer's "no value" marker (9.91e37).
constexpr double kPointInvalidDistance = 1000000.0;

void AppendInt(std::string& line, long long v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    line.append(buf, static_cast<std::size_t>(res.ptr - buf));
}

template <std::size_t N>
void AppendField(std::string& line, const char (&field)[N]) {
    Csv_AppendField(line, Text_View(field));
}

bool IsGoodSample(const DriveTestSample& head) { return Text_View(head.status) == kStatusNoError; }

}  // namespace

void Csv_AppendField(std::string& line, std::string_view text, bool commasToHyphens) {
    const bool quoted = text.find_first_of(commasToHyphens ? "\"\r\n" : "\",\"\r\n") != std::string_view::npos;
    if (quoted) line += '"';
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"' && !(commasToHyphens && text[i] == ',')) continue;
        Text_AppendLatin1AsUtf8(line, text.substr(from, i - from));
        line += text[i] == '"' ? "\"\"" : "-";
        from = i + 1;
    }
    Text_AppendLatin1AsUtf8(line, text.substr(from));
    if (quoted) line += '"';
}

std::string Csv_ConfigurationText(const RecordFile& file, const std::string& createdText) {
    std::string out;
    for (std::size_t i = 0; i < file.info.size(); ++i) {
        const DtrInfoEntry& e = file.info[i];
        const bool sameGroup = i > 0 && Text_View(file.info[i - 1].group) == Text_View(e.group);
        if (!sameGroup) {
            if (i > 0) out += '\n';
            AppendField(out, e.group);
            out += '\n';
        }
        AppendField(out, e.key);
        out += ',';
        AppendField(out, e.value);
        out += '\n';
    }
    out += "\nCSV Export\nCreated,";
    out += createdText;
    out += "\nSoftware version,";
    Text_AppendFixed(out, kSoftwareVersion, 2);
    out += '\n';
    return out;
}

std::string Csv_MeasurementsHeader(const RecordFile& file) {
    std::string out = "Sample,Year,Month,Day,Hour,Minute,Second,Status,GPS Fix,GPS Longitude,GPS Latitude,";
    out += Text_View(file.header.distanceUnit) == kDistanceKilometers ? "GPS Speed [km/h]," : "GPS Speed [mph],";
    for (const auto& v : file.values) {
        AppendField(out, v.longName);
        out += ',';
    }
    for (const auto& it : file.items) {
        AppendField(out, it.longName);
        out += ',';
    }
    out += '\n';
    return out;
}

std::string Csv_GraphHeader(const DtrGraphDescriptor& g) {
    std::string out = "X axis info\nName,";
    AppendField(out, g.xLabel);
    if (!Text_View(g.xMin).empty() && !Text_View(g.xMax).empty()) {
        out += "\nStart,";
        AppendField(out, g.xMin);
        out += "\nStop,";
        AppendField(out, g.xMax);
    }
    out += "\n\nY axis info\nName,";
    AppendField(out, g.yLabel);
    out += "\n\n\n";
    out += "Sample,Year,Month,Day,Hour,Minute,Second,Status,GPS Fix,GPS Longitude,GPS Latitude\n";
    return out;
}

void Csv_AppendSamplePart(std::string& line, long long number, const DriveTestSample& head) {
    const DtrTime& t = head.cycleStart;
    AppendInt(line, number);
    for (int v : {t.year, t.month, t.day, t.hour, t.minute, t.second}) {
        line += ',';
        AppendInt(line, v);
    }
    line += ',';
    AppendField(line, head.status);
    if (head.gps.gpsFix == 1) {
        line += ",1,";
        Text_AppendFixed(line, head.gps.longitude, 6);
        line += ',';
        Text_AppendFixed(line, head.gps.latitude, 6);
        line += ',';
    } else {
        line += ",0,---,---,";
    }
}

void Csv_AppendMeasurementsLine(std::string& line, const RecordFile& file, long long number,
                                const RecordSample& sample) {
    Csv_AppendSamplePart(line, number, sample.head);
    const double speed = sample.head.gps.speed;
    if (speed == -1.0) {
        line += "---,";
    } else {
        const bool km = Text_View(file.header.distanceUnit) == kDistanceKilometers;
        Text_AppendFixed(line, km ? speed : speed / kMilesPerKm, 1);
        line += ',';
    }
    const bool good = IsGoodSample(sample.head);
    for (std::size_t i = 0; i < file.values.size(); ++i) {
        const double valid = sample.values[2 * i], value = sample.values[2 * i + 1];
        if (good && valid != 0.0) {
            // A damaged descriptor must not ask for a negative or absurd precision.
            const int decimals = file.values[i].decimals < 0 ? 0 : file.values[i].decimals > 17 ? 17 : file.values[i].decimals;
            Text_AppendFixed(line, value, decimals);
            line += ',';
        } else {
            line += "---,";
        }
    }
    std::size_t offset = 0;
    for (const auto& item : file.items) {
        const std::size_t width = static_cast<std::size_t>(item.width);
        if (good && sample.items[offset] != 0) {
            // data() + offset: a read-out of width 0 at the end has no byte to index.
            const char* text = reinterpret_cast<const char*>(sample.items.data() + offset + 1);
            Csv_AppendField(line, std::string_view(text, Text_FieldLength(text, width)), true);
            line += ',';
        } else {
            line += "---,";
        }
        offset += 1 + width;
    }
    line += '\n';
}

void Csv_AppendGraphLine(std::string& line, const RecordFile& file, std::size_t graph, double yMin,
                         long long number, const RecordSample& sample) {
    Csv_AppendSamplePart(line, number, sample.head);
    const std::size_t offset = Recording_GraphOffset(file, graph);
    if (IsGoodSample(sample.head) && sample.graphs[offset] != 0.0f) {
        const float* points = sample.graphs.data() + offset + 1;  // a graph of no points may end the area
        const int n = file.graphs[graph].points;
        for (int i = 0; i < n; ++i) {
            // NaN fails the comparison as well and counts as no value.
            if (!(std::fabs(static_cast<double>(points[i]) - yMin) < kPointInvalidDistance))
                line += "---,";
            else
                Csv_AppendPoint(line, points[i]);
        }
    }
    line += '\n';
}

void Csv_AppendPoint(std::string& line, float point) {
    const double x = point;
    const double magnitude = std::fabs(x);
    // A float has 24 significant bits and 1e6 needs 14, so the scaled value is
    // exact in a double; rounding it to an integer (ties to even, as printf
    // rounds exact ties) gives the six decimals of "%f" exactly.
    if (!(magnitude < 9.0e9)) {
        Text_AppendFixed(line, x, 6);
        line += ',';
        return;
    }
    const auto micro = static_cast<unsigned long long>(std::nearbyint(magnitude * 1e6));
    if (std::signbit(x)) line += '-';
    AppendInt(line, static_cast<long long>(micro / 1000000));
    char fraction[8] = {'.', '0', '0', '0', '0', '0', '0', ','};
    unsigned long long rest = micro % 1000000;
    for (int i = 6; i >= 1; --i) {
        fraction[i] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    line.append(fraction, sizeof fraction);
}
