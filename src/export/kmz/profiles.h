#pragma once
// Colour profiles of the KMZ export: a named `ColorProfile` ("<name>.cas" in
// the data directory) keeps the three anchor colours and the anchor texts of
// every channel row; cad.ini remembers which profile was last used for each
// broadcast standard; older "colors*.ini" files are turned into profiles once.
//
// The state lives in KmzProfileState, owned by the conversion module; the
// colour page is reached through KmzColourView and KmzProfileComboView.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/kmz/colours.h"

constexpr std::int32_t kKmzProfileVersion = 301;
constexpr std::int32_t kKmzProfileMemoryVersion = 210;
constexpr std::int32_t kKmzLegacyProfileVersion = 210;  // profiles made from "colors*.ini"
constexpr std::int32_t kKmzProfileMaxVersion = 320;     // readers accept versions below 321
constexpr std::size_t kKmzProfileBufferBytes = 10000;
constexpr std::int32_t kKmzTagColours = 7;
constexpr std::int32_t kKmzTagEntry = 5;
constexpr std::int32_t kKmzTagMemory = 6;
constexpr std::int32_t kKmzColoursBlockBytes = 12;
constexpr std::int32_t kKmzLegacyEntryBytes = 404;
inline constexpr const char* kKmzProfileMemoryFile = "cad.ini";
inline constexpr const char* kKmzDefaultProfileName = "Default";

inline constexpr const char* kKmzInvalidProfileNameMessage =
    "The new profile name must consist of at least one character.\n"
    "Do not use the following characters: \\ / * ? \" < > | :";
inline constexpr const char* kKmzDeleteProfileQuestion = "Do you really want to delete this profile?";
inline constexpr const char* kKmzDeleteProfileFailedMessage = "Could not delete this profile. Access denied.";

// One channel row of a profile (tag 5, 400 bytes): texts as the tree shows them.
struct ColorProfileEntry {
    char tag[100] = {};  // channel display name
    char bad[100] = {};
    char average[100] = {};
    char good[100] = {};
};
static_assert(sizeof(ColorProfileEntry) == 400);

struct ColorProfile {
    bool hasColours = false;  // the file starts with a colour block
    KmzColourSet colours;     // defaults when it does not
    std::vector<ColorProfileEntry> entries;
};

// One remembered (standard, profile) pair of cad.ini (tag 6, 600 bytes).
struct ProfileMemoryPair {
    char standard[100] = {};
    char profile[500] = {};
};
static_assert(sizeof(ProfileMemoryPair) == 600);

struct KmzProfileState {
    std::string directory;                       // empty: Platform_DataDirectory()
    std::vector<ProfileMemoryPair> memory;       // cad.ini
    std::vector<ColorProfileEntry> sideList;     // loaded entries without a row in the current tree
    std::vector<std::string> profiles;           // names offered in the combo, byte order
};

// The profile combo box (`COMBO_PROFILES`) and the delete question.
class KmzProfileComboView {
public:
    virtual ~KmzProfileComboView() = default;
    virtual void setItems(const std::vector<std::string>& names) = 0;
    virtual std::string text() = 0;
    // Shows name as the combo's text (selects the item of that name when there is one).
    virtual void setText(const std::string& name) = 0;
    virtual bool confirm(const std::string& question) = 0;
};

std::string KmzProfile_Directory(const KmzProfileState& state);
// "<directory>/<name>.cas"
std::string KmzProfile_Path(const KmzProfileState& state, std::string_view name);

// Reads a profile file. False when it is missing, not a block file or too
// new. Without a leading colour block, or with colours off the hue ring, the
// default colours apply. Entries are read up to the first block that fails.
bool ColorProfile_Read(const std::string& path, ColorProfile& profile);
// Writes the colour block and then the entries, atomically: a failed write
// keeps the previous file.
bool ColorProfile_Write(const std::string& path, const ColorProfile& profile, std::int32_t version = kKmzProfileVersion);

// cad.ini. Reading keeps the pairs read before a damaged block.
bool KmzProfile_ReadMemory(const std::string& path, std::vector<ProfileMemoryPair>& memory);
bool KmzProfile_WriteMemory(const std::string& path, const std::vector<ProfileMemoryPair>& memory);
// The remembered profile of a standard; empty when none.
std::string KmzProfile_Remembered(const KmzProfileState& state, std::string_view standard);
// Replaces the pair of that standard or adds one.
void KmzProfile_Remember(KmzProfileState& state, std::string_view standard, std::string_view profile);

// Names of the profiles in the directory, sorted in byte order.
std::vector<std::string> KmzProfile_List(const KmzProfileState& state);

// Start-up: reads cad.ini, converts legacy colour files, writes cad.ini back
// (a failure is told once per run).
void loadProfileMemory(KmzProfileState& state);
// Turns every "colors*.ini" into a profile; returns how many were converted.
int convertLegacyColourFiles(KmzProfileState& state);

// A valid profile name to start from: the standard's name with the characters
// a file name may not hold replaced by '-' ("DVB-T / DVB-H" gives
// "DVB-T - DVB-H"); "Default" for a standard without a name.
std::string KmzProfile_SuggestedName(std::string_view standard);

// Entering the colour page: lists the profiles, applies Auto, then loads the
// profile remembered for standard (the first selected file's "Standard").
// Without one, the combo offers KmzProfile_SuggestedName, so that a first
// conversion can go on; a profile of that name is loaded, not overwritten
// unseen.
void fillProfileCombo(KmzProfileState& state, std::string_view standard, const KmzColourScope& scope,
                      KmzColourView& colourView, KmzProfileComboView& combo);
// Applies a profile to the colour buttons and the tree rows of the same tag;
// entries without a row go to the side list. True when at least one entry was read.
bool loadColorProfile(KmzProfileState& state, std::string_view name, const KmzColourScope& scope,
                      KmzColourView& colourView);
// Leaving the page: saves under the combo's text. False (with the message)
// only for an invalid name; a failed write keeps the old file and is told
// once per run by the settings notice.
bool saveColorProfile(KmzProfileState& state, std::string_view standard, const KmzColourScope& scope,
                      KmzColourView& colourView, KmzProfileComboView& combo);
// Deletes the profile named by the combo's text after confirmation.
void deleteColorProfile(KmzProfileState& state, KmzColourView& colourView, KmzProfileComboView& combo);
