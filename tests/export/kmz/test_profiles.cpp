#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/kmz/profiles.h"
#include "platform/text.h"
#include "records/fileio.h"
#include "support/testsupport.h"

namespace {

class FakeCombo : public KmzProfileComboView {
public:
    void setItems(const std::vector<std::string>& names) override { items = names; }
    std::string text() override { return current; }
    void setText(const std::string& name) override { current = name; }
    bool confirm(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }

    std::vector<std::string> items;
    std::string current;
    std::vector<std::string> questions;
    bool answer = true;
};

KmzColourChannel Row(int channel, const char* tag, int validCount = 0, double worst = 0, double best = 0) {
    KmzColourChannel row;
    row.channel = channel;
    row.tag = tag;
    row.decimals = 1;
    row.statistics.validCount = validCount;
    row.statistics.worst = worst;
    row.statistics.best = best;
    return row;
}

using T = std::vector<std::string>;

T Texts(KmzColourView& view, int channel) {
    return {view.cellText(channel, kKmzColBad), view.cellText(channel, kKmzColAverage),
            view.cellText(channel, kKmzColGood)};
}

void SetTexts(KmzColourView& view, int channel, const T& texts) {
    view.setCellText(channel, kKmzColBad, texts[0]);
    view.setCellText(channel, kKmzColAverage, texts[1]);
    view.setCellText(channel, kKmzColGood, texts[2]);
}

struct RawBlock {
    std::int32_t tag;
    std::vector<std::uint8_t> payload;
};

void WriteBlocks(const std::string& path, std::int32_t version, const std::vector<RawBlock>& blocks) {
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenWrite(path.c_str(), 10000, version, ctx));
    for (const RawBlock& b : blocks)
        ASSERT_TRUE(FileIO_WriteBlock(ctx, b.payload.data(), b.tag, static_cast<std::int32_t>(b.payload.size())));
    ASSERT_TRUE(FileIO_Close(ctx));
}

RawBlock EntryBlock(const char* tag, const char* bad, const char* avg, const char* good) {
    RawBlock b{kKmzTagEntry, std::vector<std::uint8_t>(400, 0)};
    const char* texts[4] = {tag, bad, avg, good};
    for (int i = 0; i < 4; ++i) std::memcpy(b.payload.data() + 100 * i, texts[i], std::strlen(texts[i]));
    return b;
}

RawBlock LegacyBlock(const char* tag, const char* bad, const char* avg, const char* good) {
    RawBlock b{kKmzTagEntry, std::vector<std::uint8_t>(kKmzLegacyEntryBytes, 0xEE)};
    const char* texts[4] = {tag, bad, avg, good};
    const std::size_t offsets[4] = {0, 104, 204, 304};
    for (int i = 0; i < 4; ++i) {
        std::memset(b.payload.data() + offsets[i], 0, 100);
        std::memcpy(b.payload.data() + offsets[i], texts[i], std::strlen(texts[i]));
    }
    return b;
}

RawBlock ColourBlock(std::uint32_t bad, std::uint32_t avg, std::uint32_t good) {
    RawBlock b{kKmzTagColours, std::vector<std::uint8_t>(12)};
    const std::uint32_t c[3] = {bad, avg, good};
    for (int i = 0; i < 12; ++i) b.payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(c[i / 4] >> (8 * (i % 4)));
    return b;
}

struct KmzProfiles : ::testing::Test {
    TempDir dir;
    KmzProfileState state;
    KmzColourMemoryView view;
    FakeCombo combo;
    KmzColourScope scope;

    void SetUp() override {
        state.directory = dir.path();
        scope.channelCount = 3;
        scope.rows = {Row(0, "Speed [km/h]"), Row(2, "Level [dBm]", 5, -80, -40)};
    }
    std::string Cas(const std::string& name) { return dir.file(name + ".cas"); }
    std::string Memory() { return dir.file("cad.ini"); }
};

TEST_F(KmzProfiles, SaveAndLoadRoundTrip) {
    view.setColours({kKmzMagenta, kKmzCyan, kKmzLightBlue});
    SetTexts(view, 0, {"90.0", "45.0", "0.0"});
    SetTexts(view, 2, {"-75.5", "-60.0", "-45.0"});
    combo.current = "Night drive";
    ASSERT_TRUE(saveColorProfile(state, "DVB-T", scope, view, combo));

    ColorProfile stored;
    ASSERT_TRUE(ColorProfile_Read(Cas("Night drive"), stored));
    EXPECT_TRUE(stored.hasColours);
    ASSERT_EQ(stored.entries.size(), 2u);
    EXPECT_STREQ(stored.entries[1].tag, "Level [dBm]");
    EXPECT_STREQ(stored.entries[1].bad, "-75.5");

    KmzColourMemoryView fresh;
    ASSERT_TRUE(loadColorProfile(state, "Night drive", scope, fresh));
    EXPECT_EQ(fresh.colours(), (KmzColourSet{kKmzMagenta, kKmzCyan, kKmzLightBlue}));
    EXPECT_EQ(Texts(fresh, 0), (T{"90.0", "45.0", "0.0"}));
    EXPECT_EQ(Texts(fresh, 2), (T{"-75.5", "-60.0", "-45.0"}));

    std::vector<ProfileMemoryPair> memory;
    ASSERT_TRUE(KmzProfile_ReadMemory(Memory(), memory));
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_STREQ(memory[0].standard, "DVB-T");
    EXPECT_STREQ(memory[0].profile, "Night drive");
}

TEST_F(KmzProfiles, EntriesOfAbsentChannelsSurviveASecondSave) {
    WriteBlocks(Cas("P"), kKmzProfileVersion,
                {ColourBlock(kKmzRed, kKmzYellow, kKmzGreen), EntryBlock("Level [dBm]", "-70.0", "-60.0", "-50.0"),
                 EntryBlock("MER [dB]", "20.0", "25.0", "30.0")});
    ASSERT_TRUE(loadColorProfile(state, "P", scope, view));
    EXPECT_EQ(Texts(view, 2), (T{"-70.0", "-60.0", "-50.0"}));
    ASSERT_EQ(state.sideList.size(), 1u);
    EXPECT_STREQ(state.sideList[0].tag, "MER [dB]");

    combo.current = "P";
    ASSERT_TRUE(saveColorProfile(state, "DAB", scope, view, combo));
    EXPECT_TRUE(state.sideList.empty());

    KmzColourScope wider = scope;
    wider.rows.push_back(Row(1, "MER [dB]"));
    KmzColourMemoryView fresh;
    ASSERT_TRUE(loadColorProfile(state, "P", wider, fresh));
    EXPECT_EQ(Texts(fresh, 1), (T{"20.0", "25.0", "30.0"}));
    EXPECT_TRUE(state.sideList.empty());
}

TEST_F(KmzProfiles, InvalidNamesAreRefused) {
    for (const char* name : {"", "a/b", "x:y", "why?"}) {
        combo.current = name;
        view.lastMessage.clear();
        EXPECT_FALSE(saveColorProfile(state, "DVB-T", scope, view, combo)) << name;
        EXPECT_EQ(view.lastMessage,
                  "The new profile name must consist of at least one character.\n"
                  "Do not use the following characters: \\ / * ? \" < > | :");
    }
    EXPECT_FALSE(FileExists(Cas("")));
    EXPECT_FALSE(FileExists(Memory()));
}

TEST_F(KmzProfiles, FailedSaveKeepsTheOldFileAndTheSideList) {
    combo.current = "Keep";
    SetTexts(view, 2, {"-70.0", "-60.0", "-50.0"});
    ASSERT_TRUE(saveColorProfile(state, "DVB-T", scope, view, combo));
    const auto before = ReadWholeFile(Cas("Keep"));
    ASSERT_FALSE(before.empty());

    // The temporary file cannot be created while a directory holds its name.
    ASSERT_EQ(mkdir((Cas("Keep") + ".tmp").c_str(), 0700), 0);
    state.sideList.push_back({});
    Text_Copy(state.sideList[0].tag, "Absent");
    SetTexts(view, 2, {"1", "2", "3"});
    EXPECT_TRUE(saveColorProfile(state, "DAB", scope, view, combo));  // silent: leaving the page is allowed
    EXPECT_EQ(ReadWholeFile(Cas("Keep")), before);
    EXPECT_EQ(state.sideList.size(), 1u);
    EXPECT_EQ(KmzProfile_Remembered(state, "DAB"), "");
}

TEST_F(KmzProfiles, ProfileMemoryPerStandard) {
    view.setColours({kKmzGreen, kKmzYellow, kKmzRed});
    SetTexts(view, 2, {"1.0", "2.0", "3.0"});
    combo.current = "A";
    saveColorProfile(state, "DVB-T", scope, view, combo);
    view.setColours({kKmzCyan, kKmzYellow, kKmzRed});
    combo.current = "B";
    saveColorProfile(state, "DAB", scope, view, combo);
    combo.current = "C";
    saveColorProfile(state, "DVB-T", scope, view, combo);
    ASSERT_EQ(state.memory.size(), 2u);
    EXPECT_EQ(KmzProfile_Remembered(state, "DVB-T"), "C");
    EXPECT_EQ(KmzProfile_Remembered(state, "DAB"), "B");

    // A fresh start reads the memory and selects the profile of the first file's standard.
    KmzProfileState restarted;
    restarted.directory = dir.path();
    loadProfileMemory(restarted);
    KmzColourMemoryView page;
    FakeCombo pageCombo;
    fillProfileCombo(restarted, "DAB", scope, page, pageCombo);
    EXPECT_EQ(pageCombo.items, (T{"A", "B", "C"}));
    EXPECT_EQ(pageCombo.current, "B");
    EXPECT_EQ(page.colours(), (KmzColourSet{kKmzCyan, kKmzYellow, kKmzRed}));
    EXPECT_EQ(Texts(page, 2), (T{"1.0", "2.0", "3.0"}));
    EXPECT_EQ(Texts(page, 0), (T{"", "", ""}));  // the profile's (empty) speed row overrides Auto

    // An unknown standard gets Auto and its own name to save under.
    KmzColourMemoryView other;
    fillProfileCombo(restarted, "ISDB-T", scope, other, pageCombo);
    EXPECT_EQ(pageCombo.current, "ISDB-T");
    EXPECT_EQ(Texts(other, 2), (T{"-80.0", "-60.0", "-40.0"}));
    EXPECT_EQ(other.colours(), KmzColourSet{});

    // A remembered profile that is gone is not selected.
    ASSERT_EQ(std::remove(Cas("B").c_str()), 0);
    fillProfileCombo(restarted, "DAB", scope, other, pageCombo);
    EXPECT_EQ(pageCombo.current, "DAB");
    EXPECT_FALSE(FileExists(Cas("DAB")));
}

// A first conversion meets a valid name, never an empty box that Next refuses.
TEST_F(KmzProfiles, AFirstConversionIsOfferedTheStandardsNameAsAValidProfileName) {
    const struct {
        const char* standard;
        const char* name;
    } cases[] = {{"DVB-T / DVB-H", "DVB-T - DVB-H"},
                 {"FM Radio Stereo & RDS", "FM Radio Stereo & RDS"},
                 {"a\\b:c*d?e\"f<g>h|i", "a-b-c-d-e-f-g-h-i"},
                 {"", "Default"}};
    for (const auto& c : cases) {
        EXPECT_EQ(KmzProfile_SuggestedName(c.standard), c.name) << c.standard;
        KmzProfileState first;
        first.directory = dir.path();
        KmzColourMemoryView page;
        FakeCombo pageCombo;
        fillProfileCombo(first, c.standard, scope, page, pageCombo);
        EXPECT_EQ(pageCombo.current, c.name) << c.standard;
        EXPECT_EQ(Texts(page, 2), (T{"-80.0", "-60.0", "-40.0"})) << "Auto still applies";
        ASSERT_TRUE(saveColorProfile(first, c.standard, scope, page, pageCombo)) << c.standard;
        EXPECT_TRUE(FileExists(Cas(c.name))) << c.standard;
    }
}

// The offered name may already be a profile (cad.ini lost, or saved for another
// standard): it is loaded and shown, so that Next does not overwrite it unseen.
TEST_F(KmzProfiles, AnExistingProfileOfTheOfferedNameIsLoaded) {
    WriteBlocks(Cas("DVB-T - DVB-H"), kKmzProfileVersion,
                {ColourBlock(kKmzMagenta, kKmzCyan, kKmzLightBlue), EntryBlock("Level [dBm]", "-70.0", "-60.0", "-50.0")});
    fillProfileCombo(state, "DVB-T / DVB-H", scope, view, combo);
    EXPECT_EQ(combo.items, (T{"DVB-T - DVB-H"}));
    EXPECT_EQ(combo.current, "DVB-T - DVB-H");
    EXPECT_EQ(view.colours(), (KmzColourSet{kKmzMagenta, kKmzCyan, kKmzLightBlue}));
    EXPECT_EQ(Texts(view, 2), (T{"-70.0", "-60.0", "-50.0"}));
}

TEST_F(KmzProfiles, UnreadableMemoryStartsEmptyAndIsRewritten) {
    WriteWholeFile(Memory(), std::vector<std::uint8_t>(300, 0x5A));
    loadProfileMemory(state);
    EXPECT_TRUE(state.memory.empty());
    EXPECT_TRUE(FileExists(Memory()));
    EXPECT_TRUE(ReadWholeFile(Memory()).empty());  // rewritten: no pairs, no blocks
}

TEST_F(KmzProfiles, DamagedMemoryKeepsThePairsBeforeTheDamage) {
    KmzProfile_Remember(state, "DVB-T", "A");
    KmzProfile_Remember(state, "DAB", "B");
    ASSERT_TRUE(KmzProfile_WriteMemory(Memory(), state.memory));
    auto bytes = ReadWholeFile(Memory());
    bytes.back() ^= 0x01;  // inside the second pair's profile field
    WriteWholeFile(Memory(), bytes);
    std::vector<ProfileMemoryPair> memory;
    ASSERT_TRUE(KmzProfile_ReadMemory(Memory(), memory));
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_STREQ(memory[0].profile, "A");
}

TEST_F(KmzProfiles, ListHoldsReadableProfilesInByteOrder) {
    WriteBlocks(Cas("alpha"), kKmzProfileVersion, {ColourBlock(kKmzRed, kKmzYellow, kKmzGreen)});
    WriteBlocks(Cas("Zulu"), 210, {EntryBlock("Level [dBm]", "1", "2", "3")});
    WriteBlocks(Cas("too new"), 321, {EntryBlock("Level [dBm]", "1", "2", "3")});
    WriteBlocks(Cas("memory"), 210, {RawBlock{kKmzTagMemory, std::vector<std::uint8_t>(600, 0)}});
    WriteWholeFile(Cas("garbage"), std::vector<std::uint8_t>(500, 1));
    WriteBlocks(dir.file("other.txt"), 210, {EntryBlock("x", "1", "2", "3")});
    EXPECT_EQ(KmzProfile_List(state), (T{"Zulu", "alpha"}));
}

TEST_F(KmzProfiles, MissingOrForeignColoursGiveTheDefaults) {
    WriteBlocks(Cas("NoColours"), 210, {EntryBlock("Level [dBm]", "1", "2", "3")});
    WriteBlocks(Cas("OffRing"), kKmzProfileVersion,
                {ColourBlock(0x123456, kKmzYellow, kKmzGreen), EntryBlock("Level [dBm]", "1", "2", "3")});
    for (const char* name : {"NoColours", "OffRing"}) {
        view.setColours({kKmzCyan, kKmzMagenta, kKmzRed});
        EXPECT_TRUE(loadColorProfile(state, name, scope, view)) << name;
        EXPECT_EQ(view.colours(), KmzColourSet{}) << name;
        EXPECT_EQ(Texts(view, 2), (T{"1", "2", "3"})) << name;
    }
    EXPECT_FALSE(loadColorProfile(state, "Missing", scope, view));
}

TEST_F(KmzProfiles, UnterminatedTextsAreCut) {
    RawBlock b{kKmzTagEntry, std::vector<std::uint8_t>(400, 'A')};
    std::memcpy(b.payload.data(), "Level [dBm]\0", 12);
    WriteBlocks(Cas("Long"), kKmzProfileVersion, {b});
    ASSERT_TRUE(loadColorProfile(state, "Long", scope, view));
    EXPECT_EQ(view.cellText(2, kKmzColBad), std::string(99, 'A'));
    EXPECT_EQ(view.cellText(2, kKmzColGood), std::string(99, 'A'));
}

TEST_F(KmzProfiles, DeleteAsksAndReportsFailure) {
    for (const char* name : {"One", "Two", "Three"})
        WriteBlocks(Cas(name), kKmzProfileVersion, {ColourBlock(kKmzRed, kKmzYellow, kKmzGreen)});
    fillProfileCombo(state, "DVB-T", scope, view, combo);
    ASSERT_EQ(state.profiles, (T{"One", "Three", "Two"}));

    combo.current = "Unknown";
    deleteColorProfile(state, view, combo);
    EXPECT_TRUE(combo.questions.empty());

    combo.current = "One";
    combo.answer = false;
    deleteColorProfile(state, view, combo);
    EXPECT_EQ(combo.questions, (T{"Do you really want to delete this profile?"}));
    EXPECT_TRUE(FileExists(Cas("One")));

    combo.answer = true;
    deleteColorProfile(state, view, combo);
    EXPECT_FALSE(FileExists(Cas("One")));
    EXPECT_EQ(state.profiles, (T{"Three", "Two"}));
    EXPECT_EQ(combo.items, (T{"Three", "Two"}));
    EXPECT_EQ(combo.current, "");

    // A name that cannot be unlinked (a directory took its place) stays listed.
    ASSERT_EQ(std::remove(Cas("Two").c_str()), 0);
    ASSERT_EQ(mkdir(Cas("Two").c_str(), 0700), 0);
    combo.current = "Two";
    deleteColorProfile(state, view, combo);
    EXPECT_EQ(view.lastMessage, "Could not delete this profile. Access denied.");
    EXPECT_EQ(state.profiles, (T{"Three", "Two"}));
    EXPECT_EQ(combo.current, "");
}

TEST_F(KmzProfiles, LegacyColourFilesBecomeProfiles) {
    WriteBlocks(dir.file("colors_DVB-T.ini"), 200,
                {LegacyBlock("Level [dBm]", "-80", "-60", "-40"), LegacyBlock("MER [dB]", "20", "25", "30")});
    WriteBlocks(dir.file("colors.ini"), 200, {LegacyBlock("Level [dBm]", "1", "2", "3")});
    WriteBlocks(dir.file("colors_DAB.ini"), 200, {LegacyBlock("Level [dBm]", "4", "5", "6")});
    WriteBlocks(dir.file("colors_ATSC.ini"), 321, {LegacyBlock("Level [dBm]", "4", "5", "6")});  // too new
    WriteBlocks(dir.file("colors_FM.ini"), 200, {ColourBlock(kKmzRed, kKmzYellow, kKmzGreen)});   // not tag 5
    // DAB already remembers a profile of its own.
    state.memory.push_back({});
    Text_Copy(state.memory[0].standard, "DAB");
    Text_Copy(state.memory[0].profile, "Mine");
    KmzProfile_WriteMemory(Memory(), state.memory);
    state.memory.clear();

    loadProfileMemory(state);

    for (const char* gone : {"colors_DVB-T.ini", "colors.ini", "colors_DAB.ini"})
        EXPECT_FALSE(FileExists(dir.file(gone))) << gone;
    for (const char* kept : {"colors_ATSC.ini", "colors_FM.ini"}) EXPECT_TRUE(FileExists(dir.file(kept))) << kept;

    ColorProfile p;
    ASSERT_TRUE(ColorProfile_Read(Cas("DVB-T"), p));
    EXPECT_FALSE(p.hasColours);
    ASSERT_EQ(p.entries.size(), 2u);
    EXPECT_STREQ(p.entries[0].tag, "Level [dBm]");
    EXPECT_STREQ(p.entries[0].bad, "-80");
    EXPECT_STREQ(p.entries[0].average, "-60");
    EXPECT_STREQ(p.entries[1].good, "30");
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenRead(Cas("DVB-T").c_str(), 10000, ctx));
    EXPECT_EQ(ctx.version, 210);
    FileIO_CloseRead(ctx);
    ASSERT_TRUE(ColorProfile_Read(Cas("Default"), p));
    EXPECT_STREQ(p.entries[0].good, "3");

    EXPECT_EQ(KmzProfile_Remembered(state, "DVB-T"), "DVB-T");
    EXPECT_EQ(KmzProfile_Remembered(state, "DAB"), "Mine");
    EXPECT_EQ(KmzProfile_Remembered(state, "Default"), "");
    std::vector<ProfileMemoryPair> stored;
    ASSERT_TRUE(KmzProfile_ReadMemory(Memory(), stored));
    EXPECT_EQ(stored.size(), 2u);

    EXPECT_EQ(convertLegacyColourFiles(state), 0);  // nothing left to convert
}

}  // namespace
