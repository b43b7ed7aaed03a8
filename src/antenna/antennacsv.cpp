#include "antenna/antennacsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/text.h"
#include "records/fileio.h"

namespace {

constexpr std::size_t kReadChunkBytes = 65536;
constexpr std::size_t kExportBufferBytes = 100000;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A number as "%lf" takes it: leading blanks and a '+' allowed, C locale.
// Advances text past it; out-of-range magnitudes do not count.
bool TakeNumber(std::string_view& text, double& value) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc()) return false;
    text.remove_prefix(static_cast<std::size_t>(res.ptr - text.data()));
    return true;
}

// Reads a regular file line by line in fixed-size pieces; each line is cut
// to kAntennaCsvMaxLineChars, so neither a huge line nor a file without
// line breaks makes the memory grow.
class LineReader {
public:
    explicit LineReader(const std::string& path) {
        // O_NONBLOCK: a FIFO picked in the file dialog must not hang the editor.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
        buffer_.resize(kReadChunkBytes);
    }
    ~LineReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool opened() const { return fd_ >= 0; }
    bool failed() const { return failed_; }

    // The next line without its line feed; false at the end of the file.
    bool next(std::string& line) {
        line.clear();
        bool any = false;
        for (;;) {
            if (pos_ == held_ && !fill()) return any;
            any = true;
            const char* start = buffer_.data() + pos_;
            const std::size_t n = held_ - pos_;
            const void* lf = std::memchr(start, '\n', n);
            const std::size_t take = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : n;
            if (line.size() < kAntennaCsvMaxLineChars)
                line.append(start, std::min(take, kAntennaCsvMaxLineChars - line.size()));
            pos_ += lf ? take + 1 : take;
            if (lf) return true;
        }
    }

private:
    bool fill() {
        if (fd_ < 0 || eof_) return false;
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                failed_ = got < 0;
                eof_ = true;
                return false;
            }
            pos_ = 0;
            held_ = static_cast<std::size_t>(got);
            return true;
        }
    }

    int fd_ = -1;
    std::string buffer_;
    std::size_t pos_ = 0, held_ = 0;
    bool eof_ = false, failed_ = false;
};

}  // namespace

bool AntennaCsv_ParseLine(std::string_view line, KFactorPoint& point) {
    if (line.find('\0') != std::string_view::npos) return false;
    double f = 0.0, k = 0.0;
    if (!TakeNumber(line, f) || line.empty() || line.front() != ',') return false;
    line.remove_prefix(1);
    if (!TakeNumber(line, k)) return false;
    // Written so that NaN fails every comparison.
    if (!(f >= kAntennaCsvMinFrequency && f <= kAntennaCsvMaxFrequency)) return false;
    if (!(k >= kAntennaCsvMinKFactor && k <= kAntennaCsvMaxKFactor)) return false;
    point = {f, k};
    return true;
}

AntennaCsvImport AntennaCsv_Import(const std::string& path, AntennaList& list, int antennaPosition) {
    AntennaCsvImport result;
    LineReader reader(path);
    if (!reader.opened() || !list.antenna(antennaPosition)) return result;
    result.opened = true;
    std::string line;
    bool first = true;
    while (reader.next(line)) {
        std::string_view text(line);
        // Spreadsheets put a byte-order mark before the first line.
        if (first && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        first = false;
        KFactorPoint point{};
        if (!AntennaCsv_ParseLine(text, point)) continue;
        const AntennaEdit edit = list.addPoint(antennaPosition, point);
        if (edit == AntennaEdit::ListFull) {
            result.listFull = true;
            break;
        }
        ++result.found;
        if (edit == AntennaEdit::Ok) ++result.added;
    }
    // A read error part-way still reports what was taken: those points are in the list.
    if (reader.failed() && result.found == 0) result.opened = false;
    return result;
}

bool AntennaCsv_Export(const std::string& path, const AntennaType& antenna) {
    FileContainer ctx;
    if (!FileIO_OpenWriteText(path.c_str(), kExportBufferBytes, ctx)) return false;
    bool ok = FileIO_WriteRaw(ctx, kAntennaCsvHeader, std::strlen(kAntennaCsvHeader));
    std::string line;
    for (const KFactorPoint& p : antenna.kFactors) {
        if (!ok) break;
        line.clear();
        Text_AppendFixed(line, p.frequency, 6);
        line += ',';
        Text_AppendFixed(line, p.kFactor, 2);
        line += '\n';
        ok = FileIO_WriteRaw(ctx, line.data(), line.size());
    }
    if (!ok) {
        FileIO_CloseAndDelete(ctx);
        return false;
    }
    if (!FileIO_Close(ctx)) {
        ::unlink(path.c_str());  // a cut-off table would import as a shorter one
        return false;
    }
    return true;
}

std::string AntennaCsv_ImportMessage(const AntennaCsvImport& result, std::string_view path) {
    if (!result.opened) return "Antenna .csv import failed: Read error.";
    if (result.found == 0 && !result.listFull)
        return "Antenna .csv import failed: No K-Factors found.\n\n"
               "Create a .csv export file to have an example for the required data format.";
    std::string text = "Successfully found " + std::to_string(result.found) + " K-Factors in:\n";
    text.append(path);
    text += "\n\n" + std::to_string(result.added) + " K-Factors were new and have been added to the list.";
    if (result.listFull)
        text +=
            "\n\nNot the whole .csv file could be imported,\n"
            "since the maximum number of list entries has been reached.";
    return text;
}

std::string AntennaCsv_ExportMessage(bool written, std::string_view path) {
    if (!written) return "Antenna .csv export failed: Write error.";
    std::string text = "Successfully wrote:\n";
    text.append(path);
    return text;
}
