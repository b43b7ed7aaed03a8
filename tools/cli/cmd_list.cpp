// fieldtrace-cli list DIR: the record files of a directory as the file
// selection lists them, in table order, as JSON.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "args.h"
#include "commands.h"
#include "platform/text.h"
#include "records/fileio.h"
#include "selection/recordentry.h"
#include "selection/selectionfilter.h"

namespace {

using nlohmann::ordered_json;

const char* kHelp =
    "usage: fieldtrace-cli list DIR [--standard S] [--frequency F]\n"
    "Prints the record files (*.dtr) of DIR as the file selection lists them:\n"
    "sorted by description, equal descriptions newest first, with every field\n"
    "(texts, sample count, level channel, unit, K-factor, old-file flag, level\n"
    "offset), and the standard and frequency filter choices, as JSON.\n"
    "sampleCount is the number of complete samples the file's size holds (a\n"
    "damaged sample counts there; the conversions skip it). Files whose header\n"
    "is unreadable, foreign, damaged or too new are left out, and so is\n"
    "anything that is not a regular file.\n"
    "  --standard S    only files of standard S (default \"-- All --\")\n"
    "  --frequency F   only files of frequency text F, e.g. \"474.000000 MHz\"\n";

std::string U(const std::string& latin1) { return Text_Latin1ToUtf8(latin1); }


// File names come from the disk: names the recorder wrote carry Latin-1 bytes,
// names made by other programs usually UTF-8.
std::string PathText(const std::string& path) { return Text_IsUtf8(path) ? path : U(path); }

ordered_json EntryJson(const RecordFileEntry& e) {
    return ordered_json{{"row", e.row},
                        {"path", PathText(e.path)},
                        {"standard", U(e.standard)},
                        {"frequency", U(e.frequency)},
                        {"description", U(e.description)},
                        {"created", U(e.created)},
                        {"sampleCount", e.sampleCount},
                        {"type", U(e.type)},
                        {"input", U(e.input)},
                        {"kFactorText", U(e.kFactorText)},
                        {"softwareVersion", U(e.softwareVersion)},
                        {"levelIndex", e.levelIndex},
                        {"levelUnit", e.levelUnit},
                        {"inputNumber", e.inputNumber},
                        {"kFactor", e.kFactor},
                        {"oldFile", e.oldFile},
                        {"levelOffset", e.levelOffset}};
}

ordered_json TextsJson(const std::vector<std::string>& texts) {
    ordered_json out = ordered_json::array();
    for (const auto& t : texts) out.push_back(U(t));
    return out;
}

}  // namespace

int Cli_List(int argc, char** argv) {
    CliArgs args(argc, argv, {"standard", "frequency"}, {"help"});
    if (!args.ok()) return Cli_Usage("list", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.positional().size() != 1) return Cli_Usage("list", "expected exactly one directory");
    const std::string directory = args.positional()[0];
    if (!FileIO_IsDirectory(directory.c_str())) {
        std::fprintf(stderr, "fieldtrace-cli list: not a directory: %s\n", directory.c_str());
        return 1;
    }
    const std::string standard = Text_Utf8ToLatin1(args.get("standard", kFilterAll));
    const std::string frequency = Text_Utf8ToLatin1(args.get("frequency", kFilterAll));

    std::vector<RecordFileEntry> entries = FileSelection_ReadDirectory(directory);
    FileSelection_SortEntries(entries);
    ordered_json rows = ordered_json::array();
    int row = 0;
    for (auto& e : entries) {
        if (!FileSelection_PassesFilters(e, standard, frequency)) continue;
        e.row = ++row;
        rows.push_back(EntryJson(e));
    }
    ordered_json out;
    out["directory"] = PathText(directory);
    out["standards"] = TextsJson(FileSelection_StandardChoices(entries, kSelectionModeCsv));
    out["frequencies"] = TextsJson(FileSelection_FrequencyChoices(entries, standard, kSelectionModeCsv));
    out["entries"] = rows;
    std::puts(out.dump(2, ' ', false, ordered_json::error_handler_t::replace).c_str());
    return 0;
}
