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

// A text field of a stored record; commas would split the column, so they become hyphens.
void AppendText(std::string& line, const char* text, std::size_t size) {
    const std::size_t n = Text_FieldLength(text, size);
    const std::size_t start = line.size();
    line.append(text, n);
    for (std::size_t i = start; i < line.size(); ++i)
        if (line[i] == ',') line[i] = '-';
}

template <std::size_t N>
void AppendField(std::string& line, const char (&field)[N]) {
    AppendText(line, field, N);
}

bool IsGoodSample(const DriveTestSample& head) { return Text_View(head.status) == kStatusNoError; }

}  // namespace

std::string Csv_ConfigurationText(const RecordFile& file, const std::string& createdText) {
    std::string out;
    for (std::size_t i = 0; i < file.info.size(); ++i) {
        const DtrInfoEntry& e = file.info[i];
        const bool sameGroup = i > 0 && Text_View(file.info[i - 1].group) == Text_View(e.group);
        if (!sameGroup) {
            if (i > 0) out += '\n';
            out += Text_View(e.group);
            out += '\n';
        }
        out += Text_View(e.key);
        out += ',';
        out += Text_View(e.value);
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
        out += Text_View(v.longName);
        out += ',';
    }
    for (const auto& it : file.items) {
        out += Text_View(it.longName);
        out += ',';
    }
    out += '\n';
    return out;
}

std::string Csv_GraphHeader(const DtrGraphDescriptor& g) {
    std::string out = "X axis info\nName,";
    out += Text_View(g.xLabel);
    if (!Text_View(g.xMin).empty() && !Text_View(g.xMax).empty()) {
        out += "\nStart,";
        out += Text_View(g.xMin);
        out += "\nStop,";
        out += Text_View(g.xMax);
    }
    out += "\n\nY axis info\nName,";
    out += Text_View(g.yLabel);
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
            AppendText(line, reinterpret_cast<const char*>(&sample.items[offset + 1]), width);
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
        const float* points = &sample.graphs[offset + 1];
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
