#include "selection/recordentry.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/paths.h"
#include "platform/text.h"
#include "records/recording.h"

namespace {

bool EndsWithDtr(const std::string& name) {
    if (name.size() <= 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".dtr";
}

// Bytes the descriptive part occupies: the header and every descriptor block,
// each with its 100-byte block header.
std::int64_t DescriptiveBytes(const DtrHeader& h) {
    return kBlockHeaderBytes + static_cast<std::int64_t>(sizeof(DtrHeader)) +
           h.infoCount * static_cast<std::int64_t>(kBlockHeaderBytes + sizeof(DtrInfoEntry)) +
           h.valueCount * static_cast<std::int64_t>(kBlockHeaderBytes + sizeof(DtrValueDescriptor)) +
           h.graphCount * static_cast<std::int64_t>(kBlockHeaderBytes + sizeof(DtrGraphDescriptor)) +
           h.itemCount * static_cast<std::int64_t>(kBlockHeaderBytes + sizeof(DtrItemDescriptor));
}

}  // namespace

double FileSelection_TextNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::size_t n = 0;
    while (n < text.size() && text[n] != '\0' && std::strchr("+-.0123456789eE", text[n])) ++n;
    // The longest prefix that is a whole number: "3.20e" reads as 3.20.
    for (; n > 0; --n) {
        double v = 0.0;
        if (Text_ParseDouble(text.substr(0, n), v)) return v;
    }
    return 0.0;
}

std::int32_t FileSelection_LevelUnitOf(const char* longName) {
    struct Unit {
        const char* text;
        std::int32_t code;
    };
    // dBµV/m before dBµV and dBmV before dBm: the shorter names are prefixes of the longer.
    static const Unit kOrder[] = {{"dB\xB5V/m", kRecordLevelDbuVPerM},
                                  {"dBmV", kRecordLevelDbmV},
                                  {"dB\xB5V", kRecordLevelDbuV},
                                  {"dBm", kRecordLevelDbm}};
    for (const auto& u : kOrder)
        if (std::strstr(longName, u.text)) return u.code;
    return kRecordLevelNone;
}

bool FileSelection_ReadEntry(const std::string& path, RecordFileEntry& entry) {
    entry = RecordFileEntry{};
    entry.path = path;
    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (!Recording_OpenFile(ctx, file, path.c_str(), message)) return false;
    const std::int64_t fileSize = ctx.fileSize;
    FileIO_CloseRead(ctx);

    // The complete samples the file's size holds: what the reader delivers for
    // an intact file, cut or not; a damaged sample still counts here.
    const std::int64_t samplePart = fileSize - DescriptiveBytes(file.header);
    const std::int64_t sampleBytes = Recording_SampleFileBytes(file);
    entry.sampleCount = samplePart > 0 ? static_cast<std::int32_t>(std::min<std::int64_t>(
                                             samplePart / sampleBytes, std::numeric_limits<std::int32_t>::max()))
                                       : 0;

    bool haveStandard = false, haveFrequency = false, haveDescription = false, haveCreated = false;
    for (const auto& e : file.info) {
        const std::string_view group = Text_View(e.group), key = Text_View(e.key);
        const std::string value(Text_View(e.value));
        if (group == "File" && key == "Standard") {
            entry.standard = value;
            haveStandard = true;
        } else if (group == "TV Analyzer" && key == "Frequency") {
            entry.frequency = value;
            haveFrequency = true;
        } else if (group == "File" && key == "Description") {
            entry.description = value;
            haveDescription = true;
        } else if (group == "File" && key == "Created") {
            entry.created = value;
            haveCreated = true;
        } else if (group == "TV Analyzer" && key == "Type") {
            entry.type = value;
        } else if (group == "TV Analyzer" && key == "Input") {
            entry.input = value;
        } else if (group == "Antenna" && key == "K-Factor [dB/m]") {
            entry.kFactorText = value;
        } else if (group == "Software" && key == "Version") {
            entry.softwareVersion = value;
        }
    }

    for (std::size_t i = 0; i < file.values.size(); ++i) {
        if (Text_View(file.values[i].name) != "Level") continue;
        char longName[sizeof file.values[i].longName + 1] = {};
        std::memcpy(longName, file.values[i].longName, sizeof file.values[i].longName);
        entry.levelIndex = static_cast<std::int32_t>(i);
        entry.levelUnit = FileSelection_LevelUnitOf(longName);
        break;
    }
    entry.inputNumber = FileSelection_TextNumber(entry.input);
    entry.kFactor = FileSelection_TextNumber(entry.kFactorText);
    entry.oldFile = FileSelection_TextNumber(entry.softwareVersion) > 2.5 ? 0 : 1;
    // Newer recorders store dBµV and leave the K-factor to the conversions; a
    // K-factor is a field-strength correction and is never added to a level
    // recorded in dBm, dBmV or dBµV.
    entry.levelOffset = entry.oldFile == 0 && entry.levelUnit == kRecordLevelDbuVPerM ? entry.kFactor : 0.0;
    return haveStandard && haveFrequency && haveDescription && haveCreated;
}

std::vector<RecordFileEntry> FileSelection_ReadDirectory(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* d = ::readdir(dir))
            if (EndsWithDtr(d->d_name)) names.emplace_back(d->d_name);
        ::closedir(dir);
    }
    // The listing order of the file system differs between machines; byte order keeps ties stable.
    std::sort(names.begin(), names.end());
    std::vector<RecordFileEntry> entries;
    for (const auto& name : names) {
        RecordFileEntry entry;
        if (FileSelection_ReadEntry(Platform_JoinPath(directory, name), entry)) entries.push_back(std::move(entry));
    }
    return entries;
}
