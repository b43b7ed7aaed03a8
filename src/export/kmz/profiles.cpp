#include "export/kmz/profiles.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "platform/settingsnotice.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

constexpr const char* kProfileSuffix = ".cas";
constexpr const char* kLegacyPrefix = "colors";
constexpr const char* kLegacySuffix = ".ini";
// Texts of a legacy entry: tag, bad, average, good.
constexpr std::size_t kLegacyTextOffsets[4] = {0, 104, 204, 304};

void PutInt32(std::uint8_t* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetInt32(const std::uint8_t* in) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    return v;
}

// Fields read from a file may lack their terminator.
template <std::size_t N>
void Terminate(char (&field)[N]) { field[N - 1] = '\0'; }

void Terminate(ColorProfileEntry& e) {
    Terminate(e.tag);
    Terminate(e.bad);
    Terminate(e.average);
    Terminate(e.good);
}

bool OpenAccepted(const std::string& path, FileContainer& ctx) {
    if (!FileIO_OpenRead(path.c_str(), kKmzProfileBufferBytes, ctx)) return false;
    if (ctx.version > kKmzProfileMaxVersion) {
        FileIO_CloseRead(ctx);
        return false;
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Legacy files come from a platform whose file names ignore case.
bool IsLegacyFileName(std::string_view name) {
    const std::size_t p = std::strlen(kLegacyPrefix), s = std::strlen(kLegacySuffix);
    return name.size() >= p + s && EqualsIgnoringCase(name.substr(0, p), kLegacyPrefix) &&
           EqualsIgnoringCase(name.substr(name.size() - s), kLegacySuffix);
}

// "colors_DVB-T.ini" -> "DVB-T" (fromStandard set); "colors.ini" -> "Default".
std::string LegacyProfileName(std::string_view fileName, bool& fromStandard) {
    const std::size_t underscore = fileName.rfind('_');
    fromStandard = underscore != std::string_view::npos;
    if (!fromStandard) return kKmzDefaultProfileName;
    std::string_view rest = fileName.substr(underscore + 1);
    return std::string(rest.substr(0, rest.size() >= 4 ? rest.size() - 4 : 0));
}

std::vector<std::string> RegularFilesIn(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) names.push_back(it->path().filename().string());
    }
    return names;
}

bool ReadLegacyFile(const std::string& path, std::vector<ColorProfileEntry>& entries) {
    FileContainer ctx;
    if (!OpenAccepted(path, ctx)) return false;
    if (ctx.nextTag != kKmzTagEntry) {
        FileIO_CloseRead(ctx);
        return false;
    }
    std::uint8_t block[kKmzLegacyEntryBytes];
    while (ctx.nextLength >= 0 && ctx.nextTag == kKmzTagEntry &&
           FileIO_ReadBlock(ctx, block, kKmzTagEntry, kKmzLegacyEntryBytes)) {
        ColorProfileEntry e;
        char* fields[4] = {e.tag, e.bad, e.average, e.good};
        for (int i = 0; i < 4; ++i) std::memcpy(fields[i], block + kLegacyTextOffsets[i], 100);
        Terminate(e);
        entries.push_back(e);
    }
    FileIO_CloseRead(ctx);
    return true;
}

// Rewrites cad.ini in full; a failure is told once per run.
void WriteMemory(const KmzProfileState& state) {
    const std::string path = Platform_JoinPath(KmzProfile_Directory(state), kKmzProfileMemoryFile);
    if (!KmzProfile_WriteMemory(path, state.memory)) Platform_SettingsNotSaved(path, errno);
}

const KmzColourChannel* RowWithTag(const KmzColourScope& scope, std::string_view tag) {
    for (const KmzColourChannel& row : scope.rows)
        if (row.tag == tag) return &row;
    return nullptr;
}

}  // namespace

std::string KmzProfile_Directory(const KmzProfileState& state) {
    return state.directory.empty() ? Platform_DataDirectory() : state.directory;
}

std::string KmzProfile_Path(const KmzProfileState& state, std::string_view name) {
    return Platform_JoinPath(KmzProfile_Directory(state), std::string(name) + kProfileSuffix);
}

bool ColorProfile_Read(const std::string& path, ColorProfile& profile) {
    FileContainer ctx;
    if (!OpenAccepted(path, ctx)) return false;
    profile = ColorProfile{};
    std::uint8_t colours[kKmzColoursBlockBytes];
    if (ctx.nextTag == kKmzTagColours && FileIO_ReadBlock(ctx, colours, kKmzTagColours, kKmzColoursBlockBytes)) {
        const KmzColourSet set{GetInt32(colours), GetInt32(colours + 4), GetInt32(colours + 8)};
        // Only the six hues can be chosen; anything else is a damaged or foreign file.
        if (KmzColour_IsRingColour(set.bad) && KmzColour_IsRingColour(set.average) &&
            KmzColour_IsRingColour(set.good)) {
            profile.hasColours = true;
            profile.colours = set;
        }
    }
    ColorProfileEntry e;
    while (ctx.nextLength >= 0 && ctx.nextTag == kKmzTagEntry &&
           FileIO_ReadBlock(ctx, &e, kKmzTagEntry, static_cast<std::int32_t>(sizeof e))) {
        Terminate(e);
        profile.entries.push_back(e);
    }
    FileIO_CloseRead(ctx);
    return true;
}

bool ColorProfile_Write(const std::string& path, const ColorProfile& profile, std::int32_t version) {
    FileContainer ctx;
    if (!FileIO_OpenWriteAtomic(path.c_str(), kKmzProfileBufferBytes, version, ctx)) return false;
    bool ok = true;
    if (profile.hasColours) {
        std::uint8_t colours[kKmzColoursBlockBytes];
        PutInt32(colours, profile.colours.bad);
        PutInt32(colours + 4, profile.colours.average);
        PutInt32(colours + 8, profile.colours.good);
        ok = FileIO_WriteBlock(ctx, colours, kKmzTagColours, kKmzColoursBlockBytes);
    }
    for (std::size_t i = 0; ok && i < profile.entries.size(); ++i)
        ok = FileIO_WriteBlock(ctx, &profile.entries[i], kKmzTagEntry, static_cast<std::int32_t>(sizeof(ColorProfileEntry)));
    if (!ok) {
        FileIO_AbandonAtomic(ctx);
        return false;
    }
    return FileIO_CommitAtomic(ctx, path.c_str());
}

bool KmzProfile_ReadMemory(const std::string& path, std::vector<ProfileMemoryPair>& memory) {
    memory.clear();
    FileContainer ctx;
    if (!OpenAccepted(path, ctx)) return false;
    ProfileMemoryPair pair;
    while (ctx.nextLength >= 0 && FileIO_ReadBlock(ctx, &pair, kKmzTagMemory, static_cast<std::int32_t>(sizeof pair))) {
        Terminate(pair.standard);
        Terminate(pair.profile);
        memory.push_back(pair);
    }
    FileIO_CloseRead(ctx);
    return true;
}

bool KmzProfile_WriteMemory(const std::string& path, const std::vector<ProfileMemoryPair>& memory) {
    FileContainer ctx;
    if (!FileIO_OpenWriteAtomic(path.c_str(), kKmzProfileBufferBytes, kKmzProfileMemoryVersion, ctx)) return false;
    for (const ProfileMemoryPair& pair : memory) {
        if (!FileIO_WriteBlock(ctx, &pair, kKmzTagMemory, static_cast<std::int32_t>(sizeof pair))) {
            FileIO_AbandonAtomic(ctx);
            return false;
        }
    }
    return FileIO_CommitAtomic(ctx, path.c_str());
}

std::string KmzProfile_Remembered(const KmzProfileState& state, std::string_view standard) {
    for (const ProfileMemoryPair& pair : state.memory)
        if (Text_View(pair.standard) == standard) return std::string(Text_View(pair.profile));
    return {};
}

void KmzProfile_Remember(KmzProfileState& state, std::string_view standard, std::string_view profile) {
    ProfileMemoryPair pair;
    Text_Copy(pair.standard, standard);
    Text_Copy(pair.profile, profile);
    for (ProfileMemoryPair& existing : state.memory) {
        if (Text_View(existing.standard) == Text_View(pair.standard)) {
            existing = pair;
            return;
        }
    }
    state.memory.push_back(pair);
}

std::vector<std::string> KmzProfile_List(const KmzProfileState& state) {
    const std::string directory = KmzProfile_Directory(state);
    const std::size_t suffix = std::strlen(kProfileSuffix);
    std::vector<std::string> names;
    for (const std::string& file : RegularFilesIn(directory)) {
        if (file.size() <= suffix || file.compare(file.size() - suffix, suffix, kProfileSuffix) != 0) continue;
        FileContainer ctx;
        if (!OpenAccepted(Platform_JoinPath(directory, file), ctx)) continue;
        const bool profile = ctx.nextLength >= 0 && (ctx.nextTag == kKmzTagColours || ctx.nextTag == kKmzTagEntry);
        FileIO_CloseRead(ctx);
        if (profile) names.push_back(file.substr(0, file.size() - suffix));
    }
    std::sort(names.begin(), names.end());  // std::string compares bytes as unsigned
    return names;
}

void loadProfileMemory(KmzProfileState& state) {
    const std::string path = Platform_JoinPath(KmzProfile_Directory(state), kKmzProfileMemoryFile);
    KmzProfile_ReadMemory(path, state.memory);
    convertLegacyColourFiles(state);
    WriteMemory(state);
}

int convertLegacyColourFiles(KmzProfileState& state) {
    const std::string directory = KmzProfile_Directory(state);
    std::vector<std::string> files = RegularFilesIn(directory);
    std::sort(files.begin(), files.end());  // a stable order when two files give the same profile name
    int converted = 0;
    for (const std::string& file : files) {
        if (!IsLegacyFileName(file)) continue;
        bool fromStandard = false;
        const std::string name = LegacyProfileName(file, fromStandard);
        if (!FileIO_IsValidFileName(name.c_str())) continue;  // the name must also be one a user could type

        const std::string legacyPath = Platform_JoinPath(directory, file);
        ColorProfile profile;
        if (!ReadLegacyFile(legacyPath, profile.entries)) continue;
        if (!ColorProfile_Write(KmzProfile_Path(state, name), profile, kKmzLegacyProfileVersion)) continue;

        ::unlink(legacyPath.c_str());
        if (fromStandard) {
            bool known = false;
            for (const ProfileMemoryPair& pair : state.memory) known = known || Text_View(pair.standard) == name;
            if (!known) KmzProfile_Remember(state, name, name);
        }
        ++converted;
    }
    return converted;
}

void fillProfileCombo(KmzProfileState& state, std::string_view standard, const KmzColourScope& scope,
                      KmzColourView& colourView, KmzProfileComboView& combo) {
    combo.setItems({});
    combo.setText({});
    state.profiles = KmzProfile_List(state);
    combo.setItems(state.profiles);
    autoAssignAnchors(scope, colourView);

    const auto listed = [&state](const std::string& name) {
        return std::find(state.profiles.begin(), state.profiles.end(), name) != state.profiles.end();
    };
    std::string name = KmzProfile_Remembered(state, standard);
    if (name.empty() || !listed(name)) name = KmzProfile_SuggestedName(standard);
    combo.setText(name);
    if (listed(name)) loadColorProfile(state, name, scope, colourView);
}

std::string KmzProfile_SuggestedName(std::string_view standard) {
    std::string name(standard);
    for (char& c : name)
        if (!FileIO_IsValidFileName(std::string(1, c).c_str())) c = '-';
    return name.empty() ? kKmzDefaultProfileName : name;
}

bool loadColorProfile(KmzProfileState& state, std::string_view name, const KmzColourScope& scope,
                      KmzColourView& colourView) {
    ColorProfile profile;
    if (!ColorProfile_Read(KmzProfile_Path(state, name), profile)) return false;
    colourView.setColours(profile.colours);
    state.sideList.clear();
    for (const ColorProfileEntry& e : profile.entries) {
        const KmzColourChannel* row = RowWithTag(scope, Text_View(e.tag));
        if (!row) {
            state.sideList.push_back(e);
            continue;
        }
        colourView.setCellText(row->channel, kKmzColBad, std::string(Text_View(e.bad)));
        colourView.setCellText(row->channel, kKmzColAverage, std::string(Text_View(e.average)));
        colourView.setCellText(row->channel, kKmzColGood, std::string(Text_View(e.good)));
    }
    return !profile.entries.empty();
}

bool saveColorProfile(KmzProfileState& state, std::string_view standard, const KmzColourScope& scope,
                      KmzColourView& colourView, KmzProfileComboView& combo) {
    const std::string name = combo.text();
    if (!FileIO_IsValidFileName(name.c_str())) {
        colourView.showMessage(kKmzInvalidProfileNameMessage);
        return false;
    }
    ColorProfile profile;
    profile.hasColours = true;
    profile.colours = colourView.colours();
    for (const KmzColourChannel& row : scope.rows) {
        ColorProfileEntry e;
        Text_Copy(e.tag, row.tag);
        Text_Copy(e.bad, colourView.cellText(row.channel, kKmzColBad));
        Text_Copy(e.average, colourView.cellText(row.channel, kKmzColAverage));
        Text_Copy(e.good, colourView.cellText(row.channel, kKmzColGood));
        profile.entries.push_back(e);
    }
    profile.entries.insert(profile.entries.end(), state.sideList.begin(), state.sideList.end());
    const std::string path = KmzProfile_Path(state, name);
    if (!ColorProfile_Write(path, profile)) {
        Platform_SettingsNotSaved(path, errno);
        return true;  // leaving the page is not held up: the old profile stays as it was
    }
    // Kept until written, so that a failed save loses no entry of the old profile.
    state.sideList.clear();
    KmzProfile_Remember(state, standard, name);
    WriteMemory(state);
    return true;
}

void deleteColorProfile(KmzProfileState& state, KmzColourView& colourView, KmzProfileComboView& combo) {
    const std::string name = combo.text();
    auto it = std::find(state.profiles.begin(), state.profiles.end(), name);
    if (it == state.profiles.end()) return;
    if (!combo.confirm(kKmzDeleteProfileQuestion)) return;
    if (::unlink(KmzProfile_Path(state, name).c_str()) != 0) {
        colourView.showMessage(kKmzDeleteProfileFailedMessage);
    } else {
        state.profiles.erase(it);
        combo.setItems(state.profiles);
    }
    combo.setText({});
}
