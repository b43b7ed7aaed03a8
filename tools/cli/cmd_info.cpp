// fieldtrace-cli info FILE.dtr: a record file's header, descriptors and a
// summary of its samples as JSON; a refused file gives the reader's message.
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "args.h"
#include "commands.h"
#include "platform/datetime.h"
#include "platform/text.h"
#include "progress.h"
#include "records/recording.h"

namespace {

using nlohmann::ordered_json;

std::string U(const char* latin1, std::size_t size) { return Text_Latin1ToUtf8(std::string_view(latin1, Text_FieldLength(latin1, size))); }
template <std::size_t N>
std::string U(const char (&field)[N]) { return U(field, N); }

ordered_json TimeJson(const DtrTime& t) {
    return ordered_json{{"text", U(t.text)}, {"dateTime", t.dateTime}};
}

const char* kHelp =
    "usage: fieldtrace-cli info FILE.dtr\n"
    "Prints the record file's header counts and sizes, distance unit, info entries,\n"
    "value/graph/read-out descriptors, sample count, first and last sample time and\n"
    "the count of each status text as JSON. Damaged samples are stepped over and\n"
    "counted (skippedSamples); a sample the file was cut inside is not counted\n"
    "(unreadBytes). A file the reader refuses prints the reader's message on\n"
    "stderr and exits with status 1.\n";

}  // namespace

int Cli_Info(int argc, char** argv) {
    CliArgs args(argc, argv, {}, {"help"});
    if (!args.ok()) return Cli_Usage("info", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.positional().size() != 1) return Cli_Usage("info", "expected exactly one record file");
    const std::string path = args.positional()[0];

    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (!Recording_OpenFile(ctx, file, path.c_str(), message)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), message.c_str());
        return 1;
    }
    const DtrHeader& h = file.header;
    ordered_json out;
    out["file"] = path;
    out["version"] = file.version;
    out["header"] = {{"infoCount", h.infoCount},           {"itemCount", h.itemCount},
                     {"valueCount", h.valueCount},         {"graphCount", h.graphCount},
                     {"itemBlockSize", h.itemBlockSize},   {"valueBlockSize", h.valueBlockSize},
                     {"graphBlockSize", h.graphBlockSize}, {"sampleFileSize", h.sampleFileSize}};
    out["distanceUnit"] = U(h.distanceUnit);
    ordered_json info = ordered_json::array();
    for (const auto& e : file.info) info.push_back({{"group", U(e.group)}, {"key", U(e.key)}, {"value", U(e.value)}});
    out["info"] = info;
    ordered_json values = ordered_json::array();
    for (const auto& v : file.values)
        values.push_back({{"group", U(v.group)}, {"name", U(v.name)}, {"longName", U(v.longName)},
                          {"decimals", v.decimals}, {"accumulateFlag", v.accumulateFlag},
                          {"displayKind", v.displayKind}});
    out["values"] = values;
    ordered_json graphs = ordered_json::array();
    for (const auto& g : file.graphs)
        graphs.push_back({{"group", U(g.group)}, {"name", U(g.name)}, {"longName", U(g.longName)},
                          {"points", g.points}, {"xLabel", U(g.xLabel)}, {"xMin", U(g.xMin)}, {"xMax", U(g.xMax)},
                          {"yLabel", U(g.yLabel)}, {"yMin", U(g.yMin)}, {"yMax", U(g.yMax)}});
    out["graphs"] = graphs;
    ordered_json items = ordered_json::array();
    for (const auto& it : file.items)
        items.push_back({{"group", U(it.group)}, {"name", U(it.name)}, {"longName", U(it.longName)},
                         {"width", it.width}});
    out["items"] = items;

    Progress progress("info", ctx.fileSize);
    RecordSample sample;
    long long count = 0, fixCount = 0;
    std::map<std::string, long long> statuses;
    ordered_json first, last;
    DtrTime lastStart{}, lastEnd{};
    while (Recording_ReadSample(ctx, file, sample)) {
        if (count == 0) first = ordered_json{{"cycleStart", TimeJson(sample.head.cycleStart)}, {"cycleEnd", TimeJson(sample.head.cycleEnd)}};
        // Taken here: the read that ends the loop may have filled part of a cut or damaged sample.
        lastStart = sample.head.cycleStart;
        lastEnd = sample.head.cycleEnd;
        ++count;
        if (sample.head.gps.gpsFix == 1) ++fixCount;
        ++statuses[U(sample.head.status)];
        if ((count & 1023) == 0) progress.update(ctx.fileSize - FileIO_Available(ctx));
    }
    if (count > 0) last = ordered_json{{"cycleStart", TimeJson(lastStart)}, {"cycleEnd", TimeJson(lastEnd)}};
    progress.done();
    const std::int64_t unread = FileIO_Available(ctx);
    FileIO_CloseRead(ctx);

    out["sampleCount"] = count;
    out["skippedSamples"] = file.skippedSamples;
    out["fixCount"] = fixCount;
    out["firstSample"] = count > 0 ? first : ordered_json(nullptr);
    out["lastSample"] = count > 0 ? last : ordered_json(nullptr);
    ordered_json st = ordered_json::object();
    for (const auto& [text, n] : statuses) st[text] = n;
    out["statusCounts"] = st;
    // Bytes after the last complete sample: a cut or damaged tail (for example after a power loss).
    out["unreadBytes"] = unread;
    std::puts(out.dump(2).c_str());
    return 0;
}
