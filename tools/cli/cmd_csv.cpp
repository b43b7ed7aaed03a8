// fieldtrace-cli csv FILE...: converts record files into CSV files beside
// them, exactly as the CSV conversion of the application does. Ctrl-C cancels
// like the progress page's Home: the outputs of the file in progress are
// deleted, those of files completed before stay.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "interrupt.h"
#include "export/csv/csvconvert.h"
#include "platform/text.h"
#include "progress.h"
#include "selection/recordentry.h"

namespace {

const char* kHelp =
    "usage: fieldtrace-cli csv FILE.dtr...\n"
    "Converts each record file into CSV files beside it: \"<name> - Configuration.csv\",\n"
    "\"<name> - Measurements.csv\" and \"<name> - <graph>.csv\" per graph, with the level\n"
    "correction the file selection finds (K-factor of newer dBuV/m recordings).\n"
    "Files are converted in the order given; the first failure stops the run.\n"
    "Texts are written as UTF-8; fields holding a comma, a quote or a line break\n"
    "are quoted (RFC 4180). Damaged samples are skipped and counted in the message.\n"
    "Prints the final message; exit status 0 on success, 1 on failure, 130 when\n"
    "cancelled with Ctrl-C (the outputs of the file in progress are deleted).\n";


// "File i of n" with its percentage on stderr, when stderr is a terminal.
class TerminalProgress : public CsvProgressView {
public:
    void showFileLabel(const std::string& label) override { steps_.start(label); }
    void setProgress(int percent) override { steps_.update(percent); }
    void end(bool success) { steps_.end(success); }

private:
    StepProgress steps_;
};

// The message names files: names the recorder wrote carry Latin-1 bytes, names
// typed on the command line usually UTF-8. Shown as UTF-8 either way.
std::string TerminalText(const std::string& s) { return Text_IsUtf8(s) ? s : Text_Latin1ToUtf8(s); }

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int Cli_Csv(int argc, char** argv) {
    CliArgs args(argc, argv, {}, {"help"});
    if (!args.ok()) return Cli_Usage("csv", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.positional().empty()) return Cli_Usage("csv", "expected at least one record file");

    std::vector<RecordFileEntry> entries;
    for (const auto& path : args.positional()) {
        // A file the selection would not list still converts; its open failure, if any, is the message.
        RecordFileEntry entry;
        FileSelection_ReadEntry(path, entry);
        entries.push_back(std::move(entry));
    }

    TerminalProgress progress;
    CsvResult result;
    {
        InterruptCatcher catcher;
        result = Csv_Convert(entries, DirectoryOf(entries.front().path), &progress, [] { return Cli_Interrupted(); });
    }
    progress.end(result.outcome == CsvOutcome::Success);
    const std::string message = TerminalText(result.message);
    switch (result.outcome) {
        case CsvOutcome::Success:
            std::printf("%s\n", message.c_str());
            return 0;
        case CsvOutcome::Cancelled:
            std::fprintf(stderr, "%s\n", message.c_str());
            return 130;
        case CsvOutcome::Failure:
            break;
    }
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}
