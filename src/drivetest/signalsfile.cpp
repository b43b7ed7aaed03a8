#include "drivetest/signalsfile.h"

#include <cstring>

#include "platform/paths.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

// A field of a pair as text: up to its NUL, or all 100 bytes when a foreign
// or damaged file left it unterminated.
std::string PairField(const std::uint8_t* field) {
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, Text_FieldLength(text, kSignalsFieldBytes));
}

int FieldOf(const std::vector<std::string>& titles, const std::string& name) {
    for (std::size_t i = 0; i < titles.size(); ++i)
        if (titles[i] == name) return static_cast<int>(i);
    return -1;
}

}  // namespace

std::string SignalsFile_Path(const std::string& directory, const std::string& modelLetter,
                             const std::string& standardCode) {
    return Platform_JoinPath(directory, "signals.s" + modelLetter + standardCode);
}

void SignalsFile_MakePair(const std::string& name, const std::string& value, std::uint8_t pair[kSignalsPairBytes]) {
    char* fields = reinterpret_cast<char*>(pair);
    Text_CopyN(fields, kSignalsFieldBytes, name);
    Text_CopyN(fields + kSignalsFieldBytes, kSignalsFieldBytes, value);
}

bool SignalsFile_Read(const std::string& path, const std::vector<std::string>& titles,
                      std::vector<std::vector<std::string>>& entries, std::size_t maxEntries) {
    entries.clear();
    FileContainer ctx;
    if (!FileIO_OpenRead(path.c_str(), kSignalsFileBufferBytes, ctx)) return false;
    if (ctx.version > kSignalsFileMaxVersion) {
        FileIO_CloseRead(ctx);
        return false;
    }
    const int start = FieldOf(titles, kSignalsEntryStart);
    std::uint8_t pair[kSignalsPairBytes];
    while (FileIO_ReadBlock(ctx, pair, kSignalsTagPair, kSignalsPairBytes)) {
        const std::string name = PairField(pair);
        if (name == kSignalsEntryStart) {
            if (entries.size() >= maxEntries) break;
            entries.emplace_back(titles.size());
        }
        if (entries.empty()) continue;  // no entry has started yet
        const int field = name == kSignalsEntryStart ? start : FieldOf(titles, name);
        if (field >= 0) entries.back()[static_cast<std::size_t>(field)] = PairField(pair + kSignalsFieldBytes);
    }
    FileIO_CloseRead(ctx);
    return true;
}

bool SignalsFile_Write(const std::string& path, const std::vector<std::string>& titles,
                       const std::vector<std::vector<std::string>>& entries) {
    FileContainer ctx;
    if (!FileIO_OpenWriteAtomic(path.c_str(), kSignalsFileBufferBytes, kSignalsFileVersion, ctx)) return false;
    std::uint8_t pair[kSignalsPairBytes];
    for (const auto& entry : entries) {
        for (std::size_t field = 0; field < titles.size(); ++field) {
            SignalsFile_MakePair(titles[field], field < entry.size() ? entry[field] : std::string(), pair);
            if (!FileIO_WriteBlock(ctx, pair, kSignalsTagPair, kSignalsPairBytes)) {
                FileIO_AbandonAtomic(ctx);
                return false;
            }
        }
    }
    return FileIO_CommitAtomic(ctx, path.c_str());
}
