// fieldtrace-cli list and csv, run as programs on files of `generate`.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "support/testsupport.h"

extern char** environ;

namespace {

struct CliRun {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
};

// Starts the command-line program with stdout and stderr into files of dir.
pid_t Spawn(const TempDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> all = {FIELDTRACE_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, dir.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, dir.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

CliRun Finish(const TempDir& dir, pid_t pid) {
    CliRun r;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    auto out = ReadWholeFile(dir.file("stdout")), err = ReadWholeFile(dir.file("stderr"));
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    return r;
}

CliRun Cli(const TempDir& io, const std::vector<std::string>& args) { return Finish(io, Spawn(io, args)); }

std::string Generate(const TempDir& io, const std::string& out, std::vector<std::string> options) {
    std::vector<std::string> args = {"generate", "--out", out};
    args.insert(args.end(), options.begin(), options.end());
    CliRun r = Cli(io, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out.substr(0, r.out.find('\n'));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST(CsvCli, ListPrintsTheTableAsJson) {
    TempDir io, records;
    Generate(io, records.path(), {"--samples", "12", "--description", "Ch21", "--start", "2026-06-01 10:00:00"});
    Generate(io, records.path(), {"--samples", "5", "--description", "Ch21", "--start", "2026-06-02 09:00:00"});
    Generate(io, records.path(),
             {"--samples", "3", "--description", "Mux 1", "--frequency", "1000", "--level-unit", "dBuV/m",
              "--antenna", "HL223", "--kfactor", "12.5"});
    Generate(io, records.path(), {"--samples", "2", "--standard", "DAB", "--frequency", "223.936", "--description", "Radio"});

    CliRun r = Cli(io, {"list", records.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["entries"].size(), 4u);
    const auto& first = j["entries"][0];
    EXPECT_EQ(first["row"], 1);
    EXPECT_EQ(first["description"], "Ch21");
    EXPECT_EQ(first["created"], "02.06.2026 09:00:00");  // same description: newer created text first
    EXPECT_EQ(first["sampleCount"], 5);
    EXPECT_EQ(first["standard"], "DVB-T / DVB-H");
    EXPECT_EQ(first["frequency"], "474.000000 MHz");
    EXPECT_EQ(first["levelIndex"], 0);
    EXPECT_EQ(first["levelUnit"], 3);
    EXPECT_EQ(first["softwareVersion"], "3.20");
    EXPECT_EQ(first["oldFile"], 0);
    EXPECT_EQ(first["kFactorText"], "");
    EXPECT_EQ(j["entries"][1]["sampleCount"], 12);
    EXPECT_EQ(j["entries"][3]["description"], "Radio");
    const auto& mux = j["entries"][2];
    EXPECT_EQ(mux["description"], "Mux 1");
    EXPECT_EQ(mux["levelUnit"], 0);
    EXPECT_EQ(mux["kFactorText"], "12.50");
    EXPECT_EQ(mux["levelOffset"], 12.5);
    EXPECT_EQ(j["standards"], nlohmann::json::array({"-- All --", "DAB", "DVB-T / DVB-H"}));
    EXPECT_EQ(j["frequencies"],
              nlohmann::json::array({"-- All --", "1000.000000 MHz", "223.936000 MHz", "474.000000 MHz"}));

    r = Cli(io, {"list", records.path(), "--standard", "DVB-T / DVB-H", "--frequency", "474.000000 MHz"});
    ASSERT_EQ(r.status, 0);
    j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["entries"].size(), 2u);
    EXPECT_EQ(j["frequencies"], nlohmann::json::array({"-- All --", "1000.000000 MHz", "474.000000 MHz"}));

    TempDir empty;
    r = Cli(io, {"list", empty.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(nlohmann::json::parse(r.out)["entries"].empty());
}

TEST(CsvCli, CommandLineErrors) {
    TempDir io;
    struct Row {
        std::vector<std::string> args;
        int status;
    } const rows[] = {
        {{"list"}, 2},
        {{"list", "a", "b"}, 2},
        {{"list", io.path(), "--bogus"}, 2},
        {{"list", io.file("missing")}, 1},
        {{"list", "--help"}, 0},
        {{"csv"}, 2},
        {{"csv", "--frequency", "1"}, 2},
        {{"csv", "--help"}, 0},
        {{"csv", io.file("missing.dtr")}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
        CliRun r = Cli(io, row.args);
        EXPECT_EQ(r.status, row.status);
        if (row.status == 2) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        if (row.status == 0) {
            EXPECT_EQ(r.out.rfind("usage: fieldtrace-cli " + row.args[0], 0), 0u);
        }
    }
    CliRun r = Cli(io, {"csv", io.file("missing.dtr")});
    EXPECT_EQ(r.err, "Drive test result file conversion failure:\nCould not open file\n");
}

TEST(CsvCli, ConvertsGeneratedFiles) {
    TempDir io, records;
    const std::string file = Generate(io, records.path(), {"--samples", "50", "--bad-status", "0.1"});
    CliRun r = Cli(io, {"csv", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string b = file.substr(0, file.size() - 4);
    EXPECT_EQ(r.out, "Drive test result files have been successfully written to\n\n[Drive Test Configuration]\n" + b +
                         " - Configuration.csv\n\n[Drive Test Measurements]\n" + b +
                         " - Measurements.csv\n\n[Drive Test Graphics]\n" + b + " - Echo Pattern.csv\n");
    EXPECT_TRUE(r.err.empty());  // no progress when stderr is not a terminal
    EXPECT_TRUE(Exists(b + " - Echo Pattern.csv"));
}

// Ctrl-C cancels like Home: the first file's outputs stay, the second's are deleted, the third is never started.
TEST(CsvCli, InterruptDuringTheSecondOfThreeFiles) {
    TempDir io, records;
    std::vector<std::string> files;
    for (const char* description : {"A", "B", "C"}) {
        const char* samples = *description == 'B' ? "60000" : "10";
        files.push_back(Generate(io, records.path(), {"--samples", samples, "--description", description}));
    }
    const auto base = [&](int i) { return files[static_cast<std::size_t>(i)].substr(0, files[static_cast<std::size_t>(i)].size() - 4); };
    pid_t pid = Spawn(io, {"csv", files[0], files[1], files[2]});
    ASSERT_GT(pid, 0);
    // The measurements file of B appears when B's conversion has begun.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Exists(base(1) + " - Measurements.csv") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(Exists(base(1) + " - Measurements.csv"));
    kill(pid, SIGINT);
    CliRun r = Finish(io, pid);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.err, "Drive test result file conversion aborted by user.\n");
    for (const char* suffix : {" - Configuration.csv", " - Measurements.csv", " - Echo Pattern.csv"}) {
        EXPECT_TRUE(Exists(base(0) + suffix)) << suffix;
        EXPECT_FALSE(Exists(base(1) + suffix)) << suffix;
        EXPECT_FALSE(Exists(base(2) + suffix)) << suffix;
    }
}

}  // namespace
