#include "export/csv/csvconvert.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <set>

#include "export/csv/csvformat.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

// Progress goes to the page at most every half second.
constexpr auto kProgressInterval = std::chrono::milliseconds(500);

enum class FileOutcome { Done, Failed, Cancelled };

// The outputs of one record file; everything written so far is deleted unless
// the file completes.
class CsvOutputs {
public:
    ~CsvOutputs() { discard(); }

    FileContainer* create(const std::string& path) {
        auto out = std::make_unique<FileContainer>();
        if (!FileIO_OpenWriteText(path.c_str(), kCsvBufferBytes, *out)) return nullptr;
        outputs_.push_back(std::move(out));
        return outputs_.back().get();
    }
    bool closeAll() {
        bool ok = true;
        for (auto& out : outputs_) ok = FileIO_Close(*out) && ok;
        if (!ok) {
            for (auto& out : outputs_) FileIO_CloseAndDelete(*out);
        }
        outputs_.clear();
        return ok;
    }
    void discard() {
        for (auto& out : outputs_) FileIO_CloseAndDelete(*out);
        outputs_.clear();
    }

private:
    std::vector<std::unique_ptr<FileContainer>> outputs_;
};

bool WriteText(FileContainer& out, const std::string& text) { return FileIO_WriteRaw(out, text.data(), text.size()); }

struct FileJob {
    const RecordFileEntry& entry;
    CsvProgressView* view;
    const std::function<bool()>& cancelRequested;
    std::string failure;                // the reason after FileOutcome::Failed
    std::vector<std::string> graphNames;  // for the final message of a single file
    std::int64_t skippedSamples = 0;      // damaged samples the reader stepped over
};

FileOutcome ConvertSamples(FileJob& job, FileContainer& ctx, RecordFile& file, FileContainer& measurements,
                           const std::vector<FileContainer*>& graphs) {
    std::vector<double> yMins;
    for (const auto& g : file.graphs) yMins.push_back(FileSelection_TextNumber(Text_View(g.yMin)));
    const int levelSlot = job.entry.levelIndex >= 0 ? 2 * job.entry.levelIndex : -1;

    RecordSample sample;
    std::string line;
    auto lastProgress = std::chrono::steady_clock::now();
    for (long long number = 1;; ++number) {
        if (job.cancelRequested && job.cancelRequested()) return FileOutcome::Cancelled;
        if (!Recording_ReadSample(ctx, file, sample, levelSlot, job.entry.levelOffset)) break;
        line.clear();
        Csv_AppendMeasurementsLine(line, file, number, sample);
        if (!WriteText(measurements, line)) return FileOutcome::Failed;
        for (std::size_t g = 0; g < graphs.size(); ++g) {
            line.clear();
            Csv_AppendGraphLine(line, file, g, yMins[g], number, sample);
            if (!WriteText(*graphs[g], line)) return FileOutcome::Failed;
        }
        const auto now = std::chrono::steady_clock::now();
        if (job.view && now - lastProgress >= kProgressInterval && ctx.fileSize > 0) {
            lastProgress = now;
            job.view->setProgress(static_cast<int>(100 * (ctx.fileSize - FileIO_Available(ctx)) / ctx.fileSize));
        }
    }
    return FileOutcome::Done;
}

FileOutcome ConvertFile(FileJob& job) {
    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (!Recording_OpenFile(ctx, file, job.entry.path.c_str(), message)) {
        job.failure = message;
        return FileOutcome::Failed;
    }
    const std::string base = Csv_BaseName(job.entry.path);
    job.graphNames = Csv_GraphNames(file);
    CsvOutputs outputs;
    auto fail = [&](const char* reason) {
        outputs.discard();
        FileIO_CloseRead(ctx);
        job.failure = reason;
        return FileOutcome::Failed;
    };

    char now[56];
    Gui_FormatNow(now, sizeof now);
    FileContainer* configuration = outputs.create(base + " - Configuration.csv");
    if (!configuration) return fail(kCsvCouldNotCreate);
    if (!WriteText(*configuration, Csv_ConfigurationText(file, now))) return fail(kCsvCouldNotWrite);

    FileContainer* measurements = outputs.create(base + " - Measurements.csv");
    if (!measurements) return fail(kCsvCouldNotCreate);
    if (!WriteText(*measurements, Csv_MeasurementsHeader(file))) return fail(kCsvCouldNotWrite);

    std::vector<FileContainer*> graphs;
    for (std::size_t g = 0; g < file.graphs.size(); ++g) {
        FileContainer* out = outputs.create(base + " - " + job.graphNames[g] + ".csv");
        if (!out || !WriteText(*out, Csv_GraphHeader(file.graphs[g]))) return fail(kCsvCouldNotWrite);
        graphs.push_back(out);
    }

    const FileOutcome outcome = ConvertSamples(job, ctx, file, *measurements, graphs);
    job.skippedSamples = file.skippedSamples;
    FileIO_CloseRead(ctx);
    if (outcome == FileOutcome::Cancelled) {
        outputs.discard();
        return outcome;
    }
    if (outcome == FileOutcome::Failed) return fail(kCsvCouldNotWrite);
    if (!outputs.closeAll()) {
        job.failure = kCsvCouldNotWrite;
        return FileOutcome::Failed;
    }
    return FileOutcome::Done;
}

std::string SingleFileMessage(const std::string& base, const std::vector<std::string>& graphNames) {
    std::string m = "Drive test result files have been successfully written to\n\n[Drive Test Configuration]\n" + base +
                    " - Configuration.csv\n\n[Drive Test Measurements]\n" + base + " - Measurements.csv";
    if (!graphNames.empty()) {
        m += "\n\n[Drive Test Graphics]";
        for (const auto& name : graphNames) m += "\n" + base + " - " + name + ".csv";
    }
    return m;
}

}  // namespace

std::string Csv_BaseName(const std::string& recordPath) {
    if (recordPath.size() > 4) {
        std::string tail = recordPath.substr(recordPath.size() - 4);
        for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (tail == ".dtr") return recordPath.substr(0, recordPath.size() - 4);
    }
    // Not a .dtr name: the outputs still go beside the file, named after all of it.
    return recordPath;
}

std::vector<std::string> Csv_GraphNames(const RecordFile& file) {
    // The fixed outputs count as taken, so that a graph named "Measurements" cannot replace them.
    std::set<std::string> taken{"Configuration", "Measurements"};
    std::vector<std::string> names;
    for (const auto& g : file.graphs) {
        std::string name(Text_View(g.longName));
        // A long name is part of a file name: no path separators or other characters a file name cannot hold.
        for (char& c : name)
            if (std::strchr("\"*/:<>?\\|", c) || static_cast<unsigned char>(c) < 32) c = '-';
        if (name.empty() || name == "." || name == "..") name = "Graph";
        std::string unique = name;
        for (int k = 2; taken.count(unique); ++k) unique = Text_Format("%s (%d)", name.c_str(), k);
        taken.insert(unique);
        names.push_back(unique);
    }
    return names;
}

CsvResult Csv_Convert(const std::vector<RecordFileEntry>& entries, const std::string& directory,
                      CsvProgressView* view, const std::function<bool()>& cancelRequested) {
    CsvResult result;
    const int n = static_cast<int>(entries.size());
    std::vector<std::string> lastGraphNames;
    for (int i = 0; i < n; ++i) {
        if (view) {
            view->showFileLabel(Text_Format("File %d of %d", i + 1, n));
            view->setProgress(0);
        }
        FileJob job{entries[static_cast<std::size_t>(i)], view, cancelRequested, {}, {}};
        const FileOutcome outcome = ConvertFile(job);
        if (outcome == FileOutcome::Cancelled) {
            result.outcome = CsvOutcome::Cancelled;
            result.message = kCsvAborted;
            return result;
        }
        if (outcome == FileOutcome::Failed) {
            result.outcome = CsvOutcome::Failure;
            result.message = kCsvFailurePrefix + job.failure;
            return result;
        }
        result.filesConverted += 1;
        result.skippedSamples += job.skippedSamples;
        lastGraphNames = std::move(job.graphNames);
    }
    if (n == 1) {
        result.message = SingleFileMessage(Csv_BaseName(entries.front().path), lastGraphNames);
    } else {
        result.message = Text_Format(
            "All %d drive test result files have been successfully exported to .csv files in folder\n%s", n,
            directory.c_str());
    }
    result.message += Recording_SkippedText(result.skippedSamples);
    if (view) view->setProgress(100);
    return result;
}
