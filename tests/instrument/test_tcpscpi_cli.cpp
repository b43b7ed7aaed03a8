// fieldtrace-cli scpi against a scripted peer: replies on stdout, the
// session's error text on stderr, exit status 0, 1 or 2.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <string>
#include <vector>

#include "support/testsupport.h"
#include "test_tcpscpi_peer.h"

extern char** environ;

namespace {

using Lines = std::vector<std::string>;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string FileText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

CliRun RunScpi(const std::vector<std::string>& arguments) {
    TempDir dir;
    const std::string outPath = dir.file("out"), errPath = dir.file("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all = {FIELDTRACE_CLI, "scpi"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    CliRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, FIELDTRACE_CLI, &actions, nullptr, argv.data(), environ) == 0) {
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = FileText(outPath);
    run.err = FileText(errPath);
    return run;
}

std::string Target(int port) { return "127.0.0.1:" + std::to_string(port); }

}  // namespace

TEST(ScpiCli, SendsCommandsInOrderAndPrintsReplies) {
    std::string frequency = "0";
    ScriptedPeer peer(Responder([&](const std::string& line) -> std::optional<std::string> {
        if (line == "*IDN?") return "Korvane,ETL,100123,3.20";
        if (line.rfind("FREQ ", 0) == 0) frequency = line.substr(5);
        if (line == "FREQ?") return frequency;
        if (line == "UNIT?") return "dB\xB5V";
        return std::nullopt;
    }));
    const CliRun run = RunScpi({Target(peer.port()), "*IDN?", "FREQ 474000000", "FREQ?", "UNIT?"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Korvane,ETL,100123,3.20\n474000000\ndB\xC2\xB5V\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(peer.Finish(), (Lines{"*IDN?", "FREQ 474000000", "FREQ?", "UNIT?"}));
}

TEST(ScpiCli, UnansweredQueryPrintsSessionErrorAndStops) {
    ScriptedPeer peer(Responder([](const std::string& line) -> std::optional<std::string> {
        if (line == "A?") return "a";
        return std::nullopt;
    }));
    const CliRun run = RunScpi({"--timeout-ms", "200", Target(peer.port()), "A?", "SILENT?", "NEVER SENT"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "a\n");
    EXPECT_NE(run.err.find("TCP read timeout"), std::string::npos) << run.err;
    EXPECT_EQ(peer.Finish(), (Lines{"A?", "SILENT?"}));
}

TEST(ScpiCli, NobodyListeningIsSocketConnectError) {
    const CliRun run = RunScpi({"--timeout-ms=200", Target(UnusedLoopbackPort()), "*IDN?"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Socket connect error"), std::string::npos) << run.err;
}

TEST(ScpiCli, BadCommandLinesExitWithStatus2) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"127.0.0.1"},
        {"analyzer.local", "*IDN?"},
        {"127.0.0.1:0", "*IDN?"},
        {"127.0.0.1:65536", "*IDN?"},
        {"127.0.0.1:50x", "*IDN?"},
        {"--timeout-ms", "abc", "127.0.0.1", "*IDN?"},
        {"--timeout-ms", "0", "127.0.0.1", "*IDN?"},
        {"--port", "5025", "127.0.0.1", "*IDN?"},
    };
    for (const auto& arguments : bad) {
        const CliRun run = RunScpi(arguments);
        std::string shown;
        for (const auto& a : arguments) shown += "'" + a + "' ";
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_EQ(run.out, "") << shown;
        // One line: "fieldtrace-cli scpi: <reason>".
        EXPECT_EQ(run.err.rfind("fieldtrace-cli scpi: ", 0), 0u) << shown << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << shown << run.err;
    }
}

TEST(ScpiCli, HelpDescribesTheCommand) {
    const CliRun run = RunScpi({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("ADDRESS[:PORT]"), std::string::npos);
    EXPECT_NE(run.out.find("--timeout-ms"), std::string::npos);
}
