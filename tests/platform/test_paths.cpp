// Where settings and results live: the data directory of a portable copy, of
// an installed program (the XDG data directory) or the one chosen for tests,
// the default output directory beside it, directories made on first use, and
// the one notice of a settings file that could not be saved.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/settingsnotice.h"
#include "support/testsupport.h"

namespace {

constexpr uid_t kNobody = 65534;

struct Environment {
    std::string home, xdg, chosen;  // empty: unset
};

// The data and output directories for programDirectory, decided in a child
// process: as an ordinary user when the test runs as root (who may write any
// directory, so a read-only program directory would not be one), unless
// keepRoot. Returns "data\noutput".
std::string DecideAs(const std::string& programDirectory, const Environment& env, bool keepRoot) {
    int out[2];
    if (pipe(out) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        if (geteuid() == 0 && !keepRoot && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(3);
        auto set = [](const char* name, const std::string& value) {
            if (value.empty()) unsetenv(name);
            else setenv(name, value.c_str(), 1);
        };
        set("HOME", env.home);
        set("XDG_DATA_HOME", env.xdg);
        set("FIELDTRACE_DATA_DIR", env.chosen);
        Platform_SetDataDirectory("");
        const std::string answer =
            Platform_DataDirectoryFor(programDirectory) + "\n" + Platform_OutputDirectoryFor(programDirectory);
        const bool written = write(out[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
        _exit(written ? 0 : 4);
    }
    close(out[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? answer : "child failed " + std::to_string(status);
}

TEST(DataDirectory, PortableCopyInstalledProgramAndChosenDirectory) {
    TempDir tmp;
    ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);  // the ordinary user reaches what lies below
    const std::string writable = tmp.file("portable"), readOnly = tmp.file("installed");
    ASSERT_EQ(mkdir(writable.c_str(), 0777), 0);
    ASSERT_EQ(chmod(writable.c_str(), 0777), 0);
    ASSERT_EQ(mkdir(readOnly.c_str(), 0555), 0);
    const std::string home = tmp.file("home"), xdg = tmp.file("xdg"), chosen = tmp.file("chosen");

    const struct {
        const char* what;
        std::string program;
        Environment env;
        bool keepRoot;
        std::string data, output;
    } cases[] = {
        {"a portable copy keeps everything beside the program", writable, {home, xdg, ""}, false, writable, writable},
        {"an installed program uses XDG_DATA_HOME", readOnly, {home, xdg, ""}, false, xdg + "/fieldtrace",
         home + "/Fieldtrace"},
        {"without XDG_DATA_HOME it is ~/.local/share", readOnly, {home, "", ""}, false,
         home + "/.local/share/fieldtrace", home + "/Fieldtrace"},
        {"a relative XDG_DATA_HOME is ignored", readOnly, {home, "relative/data", ""}, false,
         home + "/.local/share/fieldtrace", home + "/Fieldtrace"},
        {"FIELDTRACE_DATA_DIR wins over a portable copy", writable, {home, xdg, chosen}, false, chosen, chosen},
        {"FIELDTRACE_DATA_DIR wins over an installed program", readOnly, {home, xdg, chosen}, false, chosen, chosen},
        // Root may write /usr/bin, which still is no place for a user's settings.
        {"a program under /usr is installed, also for root", "/usr/bin", {home, xdg, ""}, true, xdg + "/fieldtrace",
         home + "/Fieldtrace"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideAs(c.program, c.env, c.keepRoot), c.data + "\n" + c.output) << c.what;
}

TEST(DataDirectory, TheOverrideOfTestsWinsOverTheEnvironment) {
    TempDir tmp;
    Platform_SetDataDirectory(tmp.path());
    EXPECT_EQ(Platform_DataDirectory(), tmp.path());
    EXPECT_EQ(Platform_OutputDirectory(), tmp.path()) << "results of a test stay in its own directory";
    Platform_SetDataDirectory("");
}

TEST(DataDirectory, MadeWithItsParentsOnlyWhereADirectoryCanBe) {
    TempDir tmp;
    const std::string nested = tmp.file("a/b/fieldtrace");
    const mode_t mask = umask(022);
    umask(mask);
    ASSERT_TRUE(Platform_MakeDirectory(nested));
    struct stat st {};
    ASSERT_EQ(stat(nested.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700 & ~mask) << "settings are the user's own";
    EXPECT_TRUE(Platform_MakeDirectory(nested)) << "an existing directory is fine";

    WriteWholeFile(tmp.file("file"), {'x'});
    errno = 0;
    EXPECT_FALSE(Platform_MakeDirectory(tmp.file("file")));
    EXPECT_EQ(errno, ENOTDIR) << "a file in the way";
    errno = 0;
    EXPECT_FALSE(Platform_MakeDirectory(tmp.file("file/fieldtrace")));
    EXPECT_EQ(errno, ENOTDIR) << "a parent that is a file";
    EXPECT_FALSE(Platform_MakeDirectory(""));
}

TEST(Paths, TheFolderOfAPathAndWhetherItTakesANewFile) {
    const std::pair<const char*, const char*> folders[] = {
        {"/d/e/a.gpkg", "/d/e"}, {"d/a.gpkg", "d"}, {"/a.gpkg", "/"}, {"a.gpkg", "."},
    };
    for (const auto& [path, folder] : folders) EXPECT_EQ(folder, Platform_DirectoryOf(path)) << path;

    TempDir tmp;
    EXPECT_TRUE(Platform_CanCreateFileIn(tmp.path()));
    EXPECT_TRUE(Platform_CanCreateFileIn(tmp.path())) << "the probe of the first call is gone";
    EXPECT_TRUE(DirectoryNames(tmp.path()).empty()) << "a probe was left behind";
    // Refused to everyone, root included: a file system without new files, a missing folder.
    EXPECT_FALSE(Platform_CanCreateFileIn("/proc"));
    EXPECT_FALSE(Platform_CanCreateFileIn(tmp.file("missing")));
}

TEST(SettingsNotice, TheFirstFailureOfARunIsToldOnceWithPathAndReason) {
    std::vector<std::string> told;
    Platform_SetSettingsNotice([&](const std::string& text) { told.push_back(text); });
    Platform_ResetSettingsNotice();
    Platform_SettingsNotSaved("/data/basic.ini", EACCES);
    Platform_SettingsNotSaved("/data/antennas.ini", ENOSPC);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("/data/basic.ini"), std::string::npos);
    EXPECT_NE(told[0].find("Permission denied"), std::string::npos);

    // A data directory that cannot be made is the same failure, told with the directory.
    TempDir tmp;
    WriteWholeFile(tmp.file("file"), {'x'});
    Platform_SetDataDirectory(tmp.file("file/fieldtrace"));
    Platform_ResetSettingsNotice();
    EXPECT_FALSE(Platform_PrepareDataDirectory());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[1].find(tmp.file("file/fieldtrace")), std::string::npos);
    EXPECT_NE(told[1].find("Not a directory"), std::string::npos);

    Platform_SetDataDirectory(tmp.file("made"));
    EXPECT_TRUE(Platform_PrepareDataDirectory());
    EXPECT_TRUE(FileExists(tmp.file("made")));
    EXPECT_EQ(told.size(), 2u);
    Platform_SetDataDirectory("");
    Platform_SetSettingsNotice({});
}

}  // namespace
